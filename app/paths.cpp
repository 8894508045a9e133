#include "app/paths.h"

#include "study/open_card.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryFile>
#include <QStandardPaths>

namespace {
QString g_root;
QString g_runtime;
} // namespace

namespace AppPaths {

QString Root()
{
    if (!g_root.isEmpty())
        return g_root;
    return QCoreApplication::applicationDirPath();
}

void SetRoot(const QString& folder) { g_root = folder; }

QString RuntimeDir()
{
    if (!g_runtime.isEmpty())
        return g_runtime;
    QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty())
        dir = QDir::tempPath();
    return dir;
}

void SetRuntimeDir(const QString& folder) { g_runtime = folder; }

QString DataDir() { return QDir(Root()).filePath(QStringLiteral("data")); }
QString DatabaseFile() { return QDir(DataDir()).filePath(QStringLiteral("angiodb.sqlite")); }
QString BackgroundFile() { return QDir(Root()).filePath(QStringLiteral("background.png")); }
QString PatientDataDir() { return QDir(Root()).filePath(QStringLiteral("patientData")); }
QString PatientDir(int code) { return QDir(PatientDataDir()).filePath(QString::number(code)); }

QString RecordingDir(int code, const QString& recording)
{
    return QDir(PatientDir(code)).filePath(recording) + QLatin1Char('/');
}

QString CacheDir() { return QDir(Root()).filePath(QStringLiteral("cache")); }

QString FrameFileName(const QString& recording, long long n)
{
    return recording + QLatin1Char('.') + QString::number(n) + QStringLiteral(".jpg");
}

QString AnalysedFramePath(const OpenCard& card, std::size_t k)
{
    return RecordingDir(card.PatientCode, QStringLiteral("IVUS")) +
           FrameFileName(QStringLiteral("IVUS"), card.AnalysedFrameFile(k));
}

QStringList UnwritableDataPlaces()
{
    QStringList places;
    QFile db(DatabaseFile());
    if (db.exists()) {
        if (db.open(QIODevice::ReadWrite)) // neither truncates nor writes
            db.close();
        else
            places << QDir::toNativeSeparators(db.fileName());
    }
    for (const QString& folder : {DataDir(), PatientDataDir(), CacheDir()}) {
        QDir().mkpath(folder);
        QTemporaryFile probe(folder + QStringLiteral("/.write-probe-XXXXXX"));
        if (!probe.open())
            places << QDir::toNativeSeparators(folder);
    }
    return places;
}

} // namespace AppPaths
