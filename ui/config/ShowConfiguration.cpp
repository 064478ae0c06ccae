#include "ui/config/ShowConfiguration.h"

#include <utility>

#include <QScopedValueRollback>

void ShowConfiguration(QWidget* parent, TSettingsStore& settings, TConfigServices services,
                       const std::function<void()>& reapply)
{
    static bool showing = false;
    if (showing)
        return;
    {
        const QScopedValueRollback oneAtATime(showing, true);
        TConfigForm form(settings, std::move(services), parent);
        form.exec();
    }
    reapply();
}

void ShowConfiguration(QWidget* parent, TSettingsStore& settings,
                       const std::function<void()>& reapply,
                       const std::function<void(const std::string&)>& reportError)
{
    TConfigServices services;
    services.ReportError = reportError;
    ShowConfiguration(parent, settings, std::move(services), reapply);
}
