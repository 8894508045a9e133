// GoogleTest main for tests that need a QApplication (widgets, SQL, local sockets).
// Runs under xvfb-run from `make test`; falls back to the offscreen platform when
// no display is set so a developer can run one binary by hand.
#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Without a session bus, the menu bar's look-up of a desktop's global menu makes
    // libdbus try to start a bus (dbus-launch), and that failed start loses the buffer it
    // read the error into: a leak the leak checker would rightly report in every window
    // test. A bus address that does not exist is refused at once, as the desktop-less
    // test machine has no bus anyway (the programs the tests start inherit it).
    if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
        qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/kestrova-tests-have-no-session-bus");
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
