#include "app/paths.h"

#include "study/frame_files.h"
#include "study/open_card.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryFile>
#include <QStandardPaths>

namespace {
QString g_root;
QString g_runtime;

std::filesystem::path ToPath(const QString& folder) { return std::filesystem::path(folder.toStdU16String()); }
QString FromPath(const std::filesystem::path& path) { return QString::fromStdU16String(path.u16string()); }
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
QString PatientDataDir() { return FromPath(PatientDataFolder(ToPath(Root()))); }
QString PatientDir(int code) { return FromPath(PatientFolder(ToPath(Root()), code)); }

QString RecordingDir(int code, const QString& recording)
{
    return FromPath(RecordingFolder(ToPath(Root()), code, recording.toStdString())) + QLatin1Char('/');
}

QString FrameFile(int code, const QString& recording, long long n)
{
    return FromPath(FrameFilePath(ToPath(Root()), code, recording.toStdString(), n));
}

QString CacheDir() { return QDir(Root()).filePath(QStringLiteral("cache")); }

QString FramePrefix(const QString& recording) { return QString::fromStdString(::FramePrefix(recording.toStdString())); }

QString FrameFileName(const QString& prefix, long long n)
{
    return QString::fromStdString(::FrameFileName(prefix.toStdString(), n));
}

QString AnalysedFramePath(const OpenCard& card, std::size_t k)
{
    return FrameFile(card.PatientCode, QStringLiteral("IVUS"), card.AnalysedFrameFile(k));
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
