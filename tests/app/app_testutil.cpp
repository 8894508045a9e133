#include "app_fixture.h"

#include "app/connection.h"
#include "app/data.h"
#include "app/forms.h"
#include "app/main_form.h"
#include "app/paths.h"
#include "support/test_workstation.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QWidget>

namespace {
// The shell's tests draw nothing that needs a display server: they run on the offscreen
// platform (fonts and pixels as on screen), so a shared X display is never in their way.
const bool g_offscreen = [] {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    return true;
}();
} // namespace

QString SqliteCli(const QString& dbFile, const QString& sql)
{
    QProcess p;
    p.start(QStringLiteral("sqlite3"), {QStringLiteral("-batch"), dbFile, sql});
    if (!p.waitForFinished(30000) || p.exitCode() != 0) {
        ADD_FAILURE() << "sqlite3 failed on: " << sql.toStdString() << "\n" << p.readAllStandardError().toStdString();
        return {};
    }
    QString out = QString::fromUtf8(p.readAllStandardOutput());
    if (out.endsWith(QLatin1Char('\n')))
        out.chop(1);
    return out;
}

void TouchFile(const QString& path, const QByteArray& content)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
    f.write(content);
}

void AppTest::SetUp()
{
    ASSERT_TRUE(root_.isValid());
    ASSERT_TRUE(runtime_.isValid());
    BeginTestWorkstation(root_.path(), runtime_.path(), &prompter_);
}

void AppTest::TearDown()
{
    EndTestWorkstation();
}

void AppTest::ConnectDatabase() { ConnectTestDatabase(); }

QString AppTest::DbFile() const { return AppPaths::DatabaseFile(); }

void AppTest::AddPatient(int code, const QString& name, const QString& surname, const QString& extra_columns,
                         const QString& extra_values)
{
    QString cols = QStringLiteral("code,name,surname");
    QString vals = QStringLiteral("%1,'%2','%3'").arg(code).arg(name, surname);
    if (!extra_columns.isEmpty()) {
        cols += QLatin1Char(',') + extra_columns;
        vals += QLatin1Char(',') + extra_values;
    }
    Sql(QStringLiteral("INSERT INTO patient(%1) VALUES(%2);").arg(cols, vals));
}
