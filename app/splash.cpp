#include "app/splash.h"

#include "app/forms.h"
#include "app/pictures.h"

#include <QCloseEvent>

TSplashScreen::TSplashScreen() : QSplashScreen(Pictures::Splash(QSize(580, 340)))
{
    setObjectName(QStringLiteral("SplashScreen"));
    setAttribute(Qt::WA_DeleteOnClose);
    SplashScreen = this;
}

TSplashScreen::~TSplashScreen()
{
    if (SplashScreen == this)
        SplashScreen = nullptr;
}

void TSplashScreen::closeEvent(QCloseEvent* e)
{
    if (SplashScreen == this)
        SplashScreen = nullptr;
    QSplashScreen::closeEvent(e);
}
