// GoogleTest main for tests that need a QApplication (widgets, SQL, local sockets).
// Runs under xvfb-run from `make test`; falls back to the offscreen platform when
// no display is set so a developer can run one binary by hand.
#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
