#include "card_fixture.h"

#include "app/data.h"
#include "app/forms.h"
#include "app/main_form.h"
#include "app/paths.h"

#include <QApplication>
#include <QProcess>

std::pair<int, QString> RunProcess(const QString& program, const QStringList& arguments)
{
    QProcess p;
    p.start(program, arguments);
    if (!p.waitForFinished(30000))
        return {-1, QStringLiteral("did not finish")};
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError())};
}

void CardDatabaseTest::SetUp()
{
    ASSERT_TRUE(root.isValid() && runtime.isValid());
    AppPaths::SetRoot(root.path());
    AppPaths::SetRuntimeDir(runtime.path());
    QCoreApplication::setApplicationName(QStringLiteral("3D Kestrova v2.1"));
    SetPrompter(&prompter);
    dm = new Tdm;
    dm->MyEmbConnection1.BaseDir = AppPaths::Root();
    dm->MyEmbConnection1.DataDir = AppPaths::DataDir();
    dm->MyEmbConnection1.Connect();
}

void CardDatabaseTest::TearDown()
{
    delete MainForm.data();
    for (QWidget* w : QApplication::topLevelWidgets())
        w->deleteLater();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    delete dm.data();
    SetPrompter(nullptr);
    AppPaths::SetRoot({});
    AppPaths::SetRuntimeDir({});
}

void CardDatabaseTest::Sql(const QString& sql)
{
    const auto [status, out] = RunProcess(QStringLiteral("sqlite3"), {QStringLiteral("-batch"), AppPaths::DatabaseFile(), sql});
    ASSERT_EQ(status, 0) << out.toStdString();
}
