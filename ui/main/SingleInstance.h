#pragma once

#include <QLocalServer>
#include <QLocalSocket>
#include <QObject>
#include <QString>

/// One running window per user: the first instance listens on a local socket, a later
/// one finds it there, tells it to show its window, and ends. A socket file left behind
/// by an instance that died is taken over. GUI thread only.
class TSingleInstance final : public QObject {
    Q_OBJECT

public:
    enum class TOutcome {
        First,           // this is the one instance; it listens from now on
        AlreadyRunning,  // another instance answered
        Unavailable,     // no socket could be set up: run without the lock
    };

    /// The lock's name in the user's runtime folder.
    static QString DefaultPath();

    explicit TSingleInstance(QString path, QObject* parent = nullptr);

    TOutcome Acquire();
    /// After AlreadyRunning: asks the running instance to show its window and raise it.
    void AskFirstToShow();

signals:
    /// A later instance asked this one to show its window.
    void ShowRequested();

private:
    bool ReachFirst();
    void Accept();

    QString path_;
    QLocalServer server_;
    QLocalSocket toFirst_;
};
