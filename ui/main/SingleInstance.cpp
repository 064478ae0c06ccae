#include "ui/main/SingleInstance.h"

#include <utility>

#include <QDir>
#include <QStandardPaths>

namespace {

constexpr int kWaitMs = 2000;
constexpr char kShowRequest[] = "show\n";

}  // namespace

QString TSingleInstance::DefaultPath()
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        folder = QDir::tempPath();
    return folder + QStringLiteral("/RududezeAppMutex");
}

TSingleInstance::TSingleInstance(QString path, QObject* parent) : QObject(parent), path_(std::move(path))
{
    connect(&server_, &QLocalServer::newConnection, this, &TSingleInstance::Accept);
}

TSingleInstance::TOutcome TSingleInstance::Acquire()
{
    if (server_.listen(path_))
        return TOutcome::First;
    if (server_.serverError() != QAbstractSocket::AddressInUseError)
        return TOutcome::Unavailable;
    if (ReachFirst())
        return TOutcome::AlreadyRunning;
    // Nobody answers on the socket: its instance is gone, so the name is free again.
    QLocalServer::removeServer(path_);
    return server_.listen(path_) ? TOutcome::First : TOutcome::Unavailable;
}

bool TSingleInstance::ReachFirst()
{
    toFirst_.connectToServer(path_);
    return toFirst_.waitForConnected(kWaitMs);
}

void TSingleInstance::AskFirstToShow()
{
    if (toFirst_.state() != QLocalSocket::ConnectedState)
        return;
    toFirst_.write(kShowRequest);
    toFirst_.waitForBytesWritten(kWaitMs);
    toFirst_.disconnectFromServer();
}

void TSingleInstance::Accept()
{
    while (QLocalSocket* client = server_.nextPendingConnection()) {
        connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
        connect(client, &QLocalSocket::readyRead, this, [this, client] {
            while (client->canReadLine())
                if (client->readLine() == kShowRequest)
                    emit ShowRequested();
        });
    }
}
