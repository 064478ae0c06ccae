#include "ui/Tray.h"

#include <QMenu>

#include "ui/ToolIcons.h"

TTray::TTray(QMenu* menu, QObject* parent) : QObject(parent), icon_(AppIcon())
{
    icon_.setObjectName(QStringLiteral("TrayIcon"));
    icon_.setToolTip(QStringLiteral("Veltrane Desktop Pro"));
    icon_.setContextMenu(menu);
    connect(&icon_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::DoubleClick)
            emit DoubleClicked();
    });
}

bool TTray::Available()
{
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void TTray::Activate()
{
    icon_.show();
}

void TTray::Deactivate()
{
    icon_.hide();
}
