// One running instance per user. The guard is the lock file "OneInstanceOnly.lock" in the
// user's runtime folder; the running instance listens on the local socket "Tarvinex"
// beside it. A second start finds the lock taken, sends "Tarvinex" to the socket (the
// running instance then comes to the front) and ends.
#pragma once

#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <QString>

#include <memory>

class SingleInstance : public QObject {
    Q_OBJECT
public:
    explicit SingleInstance(const QString& runtimeDir, QObject* parent = nullptr);
    ~SingleInstance() override;

    // Takes the guard: true when no other instance runs (this one now answers "Tarvinex").
    // Finding and taking the guard are one step, also between simultaneous starts.
    bool TryAcquire();
    // From a second instance: asks the running one to come to the front. Retries for up
    // to `timeoutMs` while the first instance is still starting; true when delivered.
    bool NotifyRunning(int timeoutMs = 2000);
    void Release();

    QString LockPath() const;
    QString SocketPath() const;

signals:
    void activationRequested();

private:
    void OnConnection();

    QString dir_;
    std::unique_ptr<QLockFile> lock_;
    QLocalServer server_;
};
