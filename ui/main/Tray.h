#pragma once

#include <functional>

#include <QObject>
#include <QSystemTrayIcon>

class QMenu;

/// The notification-area icon, shown only while the window is in the tray. Its hint is
/// "Veltrane Desktop Pro"; a double click asks for the window back. GUI thread only.
class TTray final : public QObject {
    Q_OBJECT

public:
    /// Tells whether there is a notification area to hide to; the desktop's by default.
    using TAvailability = std::function<bool()>;

    TTray(QMenu* menu, QObject* parent, TAvailability availability = {});

    /// Whether the desktop has a notification area to hide to.
    bool Available() const;

    void Activate();
    void Deactivate();
    bool Active() const { return icon_.isVisible(); }
    const QSystemTrayIcon& Icon() const { return icon_; }

signals:
    void DoubleClicked();

private:
    TAvailability availability_;
    QSystemTrayIcon icon_;
};
