#include "ui/main/Tray.h"

#include <utility>

#include <QMenu>

#include "ui/icons/ToolIcons.h"

TTray::TTray(QMenu* menu, QObject* parent, TAvailability availability)
    : QObject(parent), availability_(std::move(availability)), icon_(AppIcon())
{
    icon_.setObjectName(QStringLiteral("TrayIcon"));
    icon_.setToolTip(QStringLiteral("Veltrane Desktop Pro"));
    icon_.setContextMenu(menu);
    connect(&icon_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::DoubleClick)
            emit DoubleClicked();
    });
}

bool TTray::Available() const
{
    return availability_ ? availability_() : QSystemTrayIcon::isSystemTrayAvailable();
}

void TTray::Activate()
{
    icon_.show();
}

void TTray::Deactivate()
{
    icon_.hide();
}
