// The splash window shown during start-up (global pointer `SplashScreen`); the main
// window's first showing closes it.
#pragma once

#include <QSplashScreen>

class TSplashScreen : public QSplashScreen {
    Q_OBJECT
public:
    TSplashScreen();
    ~TSplashScreen() override;

protected:
    void closeEvent(QCloseEvent* e) override;
};
