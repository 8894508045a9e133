// The application object and the entry function of the workstation.
#pragma once

#include "app/child_registry.h"

#include <QApplication>

#include <functional>

// "3D Kestrova v2.1": the application title, caption of every message box.
QString ApplicationTitle();

// The application: an exception that escapes an event handler is shown in the
// application's error dialog instead of ending the program.
class TApplication : public QApplication {
    Q_OBJECT
public:
    TApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

// The program: one instance per user (a second start brings the first window to the
// front and returns 0 at once), the splash, the main window and the data module, the
// message loop. `registerWindows` fills the child-window registry. Returns 0.
int WinMain(int& argc, char** argv, const std::function<void(ChildWindowRegistry&)>& registerWindows);
