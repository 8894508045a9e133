#include "test_workstation.h"

#include "app/data.h"
#include "app/forms.h"
#include "app/main_form.h"
#include "app/paths.h"
#include "app/prompter.h"

#include <QApplication>

void BeginTestWorkstation(const QString& root, const QString& runtime, Prompter* prompter)
{
    AppPaths::SetRoot(root);
    AppPaths::SetRuntimeDir(runtime);
    QCoreApplication::setApplicationName(QStringLiteral("3D Kestrova v2.1"));
    if (prompter)
        SetPrompter(prompter);
}

void ConnectTestDatabase(Tdm& data)
{
    data.MyEmbConnection1.BaseDir = AppPaths::Root();
    data.MyEmbConnection1.DataDir = AppPaths::DataDir();
    data.MyEmbConnection1.Connect();
}

void ConnectTestDatabase()
{
    if (!dm)
        dm = new Tdm;
    ConnectTestDatabase(*dm);
}

void EndTestWorkstation()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible())
            w->hide();
    if (MainForm)
        delete MainForm.data();
    for (QWidget* w : QApplication::topLevelWidgets())
        w->deleteLater();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    if (dm)
        delete dm.data();
    SetPrompter(nullptr);
    AppPaths::SetRoot({});
    AppPaths::SetRuntimeDir({});
}
