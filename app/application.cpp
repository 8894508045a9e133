#include "app/application.h"

#include "app/data.h"
#include "app/forms.h"
#include "app/instance.h"
#include "app/main_form.h"
#include "app/paths.h"
#include "app/prompter.h"
#include "app/splash.h"

QString ApplicationTitle() { return QStringLiteral("3D Kestrova v2.1"); }

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool TApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        Prompt().ErrorDialog(ExceptionText(std::current_exception()));
        return false;
    }
}

int WinMain(int& argc, char** argv, const std::function<void(ChildWindowRegistry&)>& registerWindows)
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    TApplication app(argc, argv);
    QCoreApplication::setApplicationName(ApplicationTitle());
    try {
        SingleInstance guard(AppPaths::RuntimeDir());
        if (!guard.TryAcquire()) {
            guard.NotifyRunning();
            return 0;
        }
        QCoreApplication::processEvents();
        QCoreApplication::setApplicationName(ApplicationTitle());

        auto* splash = new TSplashScreen;
        splash->show();
        splash->repaint();
        QCoreApplication::processEvents();

        ChildWindowRegistry registry;
        if (registerWindows)
            registerWindows(registry);
        MainForm = new TMainForm(std::move(registry));
        dm = new Tdm;
        QObject::connect(&guard, &SingleInstance::activationRequested, MainForm.data(), [] {
            if (MainForm)
                MainForm->AppMessageHook();
        });
        MainForm->showMaximized();
        app.exec();
        delete MainForm.data();
        delete dm.data();
        if (SplashScreen)
            delete SplashScreen.data();
        guard.Release();
    } catch (...) {
        Prompt().ErrorDialog(ExceptionText(std::current_exception()));
    }
    return 0;
}
