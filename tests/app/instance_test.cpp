#include "app_fixture.h"

#include "app/instance.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QSysInfo>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest/QTest>

TEST(SingleInstanceGuard, SecondGuardFailsAndWakesTheFirst)
{
    QTemporaryDir rt;
    SingleInstance first(rt.path());
    ASSERT_TRUE(first.TryAcquire());
    EXPECT_TRUE(QFile::exists(rt.filePath("OneInstanceOnly.lock")));
    QSignalSpy spy(&first, &SingleInstance::activationRequested);

    SingleInstance second(rt.path());
    EXPECT_FALSE(second.TryAcquire());
    EXPECT_TRUE(second.NotifyRunning(2000));
    EXPECT_TRUE(spy.count() == 1 || spy.wait(2000));
    EXPECT_EQ(spy.count(), 1);

    // Once the first lets go, a new start takes the guard.
    first.Release();
    SingleInstance third(rt.path());
    EXPECT_TRUE(third.TryAcquire());
}

TEST(SingleInstanceGuard, ALongRunningInstanceKeepsItsGuardAndADeadOneLosesIt)
{
    QTemporaryDir rt;
    {
        SingleInstance first(rt.path());
        ASSERT_TRUE(first.TryAcquire());
        // However old the lock file, the instance that holds it still runs.
        QFile lock(first.LockPath());
        ASSERT_TRUE(lock.open(QIODevice::ReadWrite));
        ASSERT_TRUE(lock.setFileTime(QDateTime::currentDateTime().addDays(-2), QFileDevice::FileModificationTime));
        lock.close();
        SingleInstance second(rt.path());
        EXPECT_FALSE(second.TryAcquire());
    }
    // A lock left behind by a process that has ended is taken over.
    QProcess gone;
    gone.start("true", {});
    ASSERT_TRUE(gone.waitForFinished(10000));
    const qint64 deadPid = gone.processId() ? gone.processId() : 999999;
    QFile stale(QDir(rt.path()).filePath("OneInstanceOnly.lock"));
    ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
    stale.write(QByteArray::number(deadPid) + "\nkestrova\n" + QSysInfo::machineHostName().toUtf8() + "\n");
    stale.close();
    SingleInstance next(rt.path());
    EXPECT_TRUE(next.TryAcquire());
}

TEST(SingleInstanceGuard, NotifyWithoutARunningInstanceGivesUp)
{
    QTemporaryDir rt;
    SingleInstance lone(rt.path());
    EXPECT_FALSE(lone.NotifyRunning(300));
}

// Two real processes of the workstation, each from its own copy of the program folder.
TEST(SingleInstanceGuard, SecondProcessExitsAndTheFirstRunsOn)
{
    const QString exe = QStringLiteral(KESTROVA_BINARY_DIR "/bin/kestrova");
    ASSERT_TRUE(QFile::exists(exe)) << "build the kestrova target first";
    QTemporaryDir root, rt;
    QFile::setPermissions(rt.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QString copy = root.filePath("kestrova");
    ASSERT_TRUE(QFile::copy(exe, copy));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_RUNTIME_DIR", rt.path());
    env.insert("QT_QPA_PLATFORM", "offscreen");

    QProcess first;
    first.setProcessEnvironment(env);
    first.start(copy, {});
    ASSERT_TRUE(first.waitForStarted(10000));
    // Wait until the first instance answers on its socket.
    QDeadlineTimer ready(30000);
    while (!QFile::exists(rt.filePath("Tarvinex")) && !ready.hasExpired())
        QThread::msleep(50);
    ASSERT_TRUE(QFile::exists(rt.filePath("Tarvinex")));

    QProcess second;
    second.setProcessEnvironment(env);
    second.start(copy, {});
    ASSERT_TRUE(second.waitForFinished(30000));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    // Under the sanitizers the second instance's exit is also checked for leaks.
    EXPECT_EQ(second.exitCode(), 0) << second.readAllStandardError().toStdString();
    EXPECT_EQ(first.state(), QProcess::Running);
    // The first instance created its database beside the program.
    QDeadlineTimer db(30000);
    while (!QFile::exists(root.filePath("data/angiodb.sqlite")) && !db.hasExpired())
        QThread::msleep(50);
    EXPECT_TRUE(QFile::exists(root.filePath("data/angiodb.sqlite")));
    EXPECT_EQ(SqliteCli(root.filePath("data/angiodb.sqlite"), "pragma user_version"), "1");

    first.kill();
    first.waitForFinished(10000);
}
