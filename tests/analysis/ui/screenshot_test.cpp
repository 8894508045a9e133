// Screenshots for a person to look at: build/.../screenshots/ivus-window.png (the IVUS
// window over an open card with detected contours) and ivus-calibration.png.
#include "ivus_fixture.h"

#include "analysis/ui/calibration_form.h"
#include "analysis/ui/ivus_form.h"
#include "app/forms.h"
#include "app/main_form.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QSlider>
#include <QSpinBox>

class IvusScreenshot : public IvusWindowTest {};

TEST_F(IvusScreenshot, WindowWithACardOpenAndContoursShown)
{
    AddPatient(7, 0.02);
    const cv::Size size(256, 256);
    for (int n = 0; n < 12; ++n)
        WriteFrame(7, n, IvusLikeFrame(size, {128, 128}, 38 + n % 4, 80 + n % 5, 200u + static_cast<unsigned>(n)));
    AddIvusRow(7, QStringLiteral("0 2 4 6 8 10 -1"), 128, 128, 140, 128);
    MainForm->resize(1500, 900);
    TIVUSForm* w = OpenCard(7);
    ASSERT_NE(w, nullptr);
    PressCell(w, 0);
    w->dxBarSpinEdit12->setValue(6);
    w->dxBarLargeButton5Click();
    ASSERT_EQ(w->OuterWalls[3].size(), 400u);
    PressCell(w, 1);
    w->cxBarEditItem1->setValue(15);
    w->cxBarEditItem2->setValue(20);
    w->dxBarSpinEdit10->setValue(2);
    QApplication::processEvents();

    const QString dir = QStringLiteral(KESTROVA_BINARY_DIR "/screenshots");
    QDir().mkpath(dir);
    const QImage shot = MainForm->grab().toImage();
    ASSERT_FALSE(shot.isNull());
    EXPECT_TRUE(shot.save(dir + "/ivus-window.png"));

    // The strip shows the contours in their colours inside the cells.
    const QImage strip = w->ImgView->grab().toImage();
    int red = 0, green = 0;
    const QRect cell = w->ImageRect(2);
    for (int y = cell.top(); y <= cell.bottom(); ++y)
        for (int x = cell.left(); x <= cell.right(); ++x) {
            const QRgb p = strip.pixel(x, y);
            red += p == qRgb(255, 0, 0);
            green += p == qRgb(0, 255, 0);
        }
    EXPECT_GT(red, 200);
    EXPECT_GT(green, 150);

    TCalibrationForm calibration(w, false);
    calibration.show();
    QApplication::processEvents();
    EXPECT_TRUE(calibration.grab().toImage().save(dir + "/ivus-calibration.png"));
}
