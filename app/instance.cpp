#include "app/instance.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QLocalSocket>
#include <QThread>

SingleInstance::SingleInstance(const QString& runtimeDir, QObject* parent) : QObject(parent), dir_(runtimeDir)
{
    connect(&server_, &QLocalServer::newConnection, this, &SingleInstance::OnConnection);
}

SingleInstance::~SingleInstance() { Release(); }

QString SingleInstance::LockPath() const { return QDir(dir_).filePath(QStringLiteral("OneInstanceOnly.lock")); }
QString SingleInstance::SocketPath() const { return QDir(dir_).filePath(QStringLiteral("Tarvinex")); }

bool SingleInstance::TryAcquire()
{
    QDir().mkpath(dir_);
    lock_ = std::make_unique<QLockFile>(LockPath());
    lock_->setStaleLockTime(0); // stale only when its holder has ended (by pid), never by age
    if (!lock_->tryLock(0)) {
        lock_.reset();
        return false;
    }
    QLocalServer::removeServer(SocketPath());
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    server_.listen(SocketPath());
    return true;
}

bool SingleInstance::NotifyRunning(int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    do {
        QLocalSocket socket;
        socket.connectToServer(SocketPath());
        if (socket.waitForConnected(200)) {
            socket.write("Tarvinex 1 1\n");
            const bool ok = socket.waitForBytesWritten(1000);
            socket.disconnectFromServer();
            if (socket.state() != QLocalSocket::UnconnectedState)
                socket.waitForDisconnected(500);
            return ok;
        }
        QThread::msleep(50);
    } while (!deadline.hasExpired());
    return false;
}

void SingleInstance::Release()
{
    server_.close();
    if (lock_) {
        lock_->unlock();
        lock_.reset();
    }
}

void SingleInstance::OnConnection()
{
    while (QLocalSocket* s = server_.nextPendingConnection()) {
        connect(s, &QLocalSocket::disconnected, s, &QObject::deleteLater);
        auto read = [this, s] {
            while (s->canReadLine()) {
                const QByteArray line = s->readLine().trimmed();
                if (line.startsWith("Tarvinex"))
                    emit activationRequested();
            }
        };
        connect(s, &QLocalSocket::readyRead, this, read);
        read();
    }
}
