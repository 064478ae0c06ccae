#pragma once

#include <functional>

#include <QApplication>
#include <QDialog>
#include <QScopedValueRollback>
#include <QTimer>

/// Waits for the next modal dialog, hands it to `inspect`, then closes it with its close
/// box; a test can thus drive code that opens a dialog with exec(). Stops looking when it
/// goes out of scope.
class TModalWatcher {
public:
    explicit TModalWatcher(std::function<void(QDialog&)> inspect = {}) : inspect_(std::move(inspect))
    {
        timer_.setInterval(5);
        QObject::connect(&timer_, &QTimer::timeout, [this] { Look(); });
        timer_.start();
    }

    /// How many dialogs were seen and closed.
    int Seen() const { return seen_; }
    QString LastTitle() const { return lastTitle_; }

private:
    void Look()
    {
        // An inspection that runs the event loop must not see its own dialog again.
        if (looking_)
            return;
        const QScopedValueRollback busy(looking_, true);
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (dialog == nullptr || !dialog->isVisible())
            return;
        ++seen_;
        lastTitle_ = dialog->windowTitle();
        if (inspect_)
            inspect_(*dialog);
        dialog->close();
    }

    std::function<void(QDialog&)> inspect_;
    QTimer timer_;
    bool looking_ = false;
    int seen_ = 0;
    QString lastTitle_;
};
