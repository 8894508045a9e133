// Entry function of the workstation.
#include <QApplication>
#include <QMainWindow>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("3D Kestrova v2.1"));
    QMainWindow w;
    w.setWindowTitle(QApplication::applicationName());
    w.show();
    return app.exec();
}
