#include "card_fixture.h"

#include "app/data.h"
#include "app/forms.h"
#include "app/main_form.h"
#include "app/paths.h"
#include "support/test_workstation.h"

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
    BeginTestWorkstation(root.path(), runtime.path(), &prompter);
    ConnectTestDatabase();
}

void CardDatabaseTest::TearDown()
{
    EndTestWorkstation();
}

void CardDatabaseTest::Sql(const QString& sql)
{
    const auto [status, out] = RunProcess(QStringLiteral("sqlite3"), {QStringLiteral("-batch"), AppPaths::DatabaseFile(), sql});
    ASSERT_EQ(status, 0) << out.toStdString();
}
