// Screenshots of the shell for a person to look at: build/.../screenshots/*.png.
#include "app_fixture.h"

#include "app/about.h"
#include "app/cards.h"
#include "app/data.h"
#include "app/forms.h"
#include "app/main_form.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QTabWidget>

class Screenshot : public AppTest {};

TEST_F(Screenshot, MainWindowWithTheCardsList)
{
    dm = new Tdm;
    new TMainForm;
    MainForm->resize(1280, 820);
    MainForm->show();
    ASSERT_TRUE(dm->MyEmbConnection1.Connected());
    AddPatient(7, "John", "Doe", "sex, birthdate, hematocrit, glucose, cholesterol", "'m', '1950-02-03', 42.5, 5.4, 5.2");
    AddPatient(12, "Ann", "Roe", "sex, birthdate, hematocrit, glucose", "'f', '1961-07-21', 39.0, 6.1");
    AddPatient(31, "Peter", "Novak", "sex, birthdate", "'m', '1944-11-30'");
    MainForm->SetSelectedPatient(7, "John Doe");
    MainForm->dxBarLargeButton8Click();
    ASSERT_FALSE(CardsForm.isNull());
    QApplication::processEvents();

    const QString dir = QStringLiteral(KESTROVA_BINARY_DIR "/screenshots");
    QDir().mkpath(dir);
    const QImage shot = MainForm->grab().toImage();
    ASSERT_FALSE(shot.isNull());
    EXPECT_TRUE(shot.save(dir + "/main-window.png"));
    CardsForm->Pages->setCurrentIndex(1);
    QApplication::processEvents();
    EXPECT_TRUE(MainForm->grab().toImage().save(dir + "/cards-card-view.png"));
}

TEST_F(Screenshot, AboutWindow)
{
    TAboutForm about;
    about.show();
    QApplication::processEvents();
    const QString dir = QStringLiteral(KESTROVA_BINARY_DIR "/screenshots");
    QDir().mkpath(dir);
    EXPECT_TRUE(about.grab().toImage().save(dir + "/about.png"));
}
