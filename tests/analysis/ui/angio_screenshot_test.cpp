// A picture of the angiography window with a traced LAO view, for a person to judge:
// build/test/screenshots/angio-window.png. The frames are synthetic angiograms (a dark,
// contrast-filled vessel with a side branch on a mottled background).
#include "analysis/ui/angio.h"

#include "app/child_registry.h"
#include "app/data.h"
#include "app/forms.h"
#include "app/main_form.h"
#include "app/paths.h"
#include "app/prompter.h"
#include "support/test_workstation.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QGraphicsView>
#include <QMdiArea>
#include <QMouseEvent>
#include <QSlider>
#include <QSpinBox>
#include <QTemporaryDir>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include <gtest/gtest.h>

#include <cmath>

namespace an = kestrova::analysis;

namespace {

constexpr int kCode = 11;
constexpr int kSize = 512;

// The vessel's centre line: x as a function of y, gently curved.
double CentreX(double y) { return 210 + 70 * std::sin(y / 140.0) + 0.08 * y; }
// Lumen half-width narrowing down the vessel, with a stenosis near y = 300.
double HalfWidth(double y) { return 11 - 4 * y / kSize - 4.5 * std::exp(-std::pow((y - 300) / 18.0, 2)); }

cv::Mat SyntheticAngiogram(int frame)
{
    cv::Mat image(kSize, kSize, CV_8UC1);
    cv::RNG rng(1234 + frame);
    cv::Mat noise(kSize / 16, kSize / 16, CV_8UC1);
    rng.fill(noise, cv::RNG::UNIFORM, 150, 200);
    cv::resize(noise, image, image.size(), 0, 0, cv::INTER_CUBIC);
    const double shift = 3 * std::sin(frame * 0.7);  // the heart moves the vessel a little
    for (int y = 0; y < kSize; ++y) {
        const double cx = CentreX(y) + shift;
        const double hw = HalfWidth(y);
        for (int x = 0; x < kSize; ++x) {
            const double d = std::abs(x - cx);
            if (d < hw + 2) {
                const double t = std::clamp((hw + 2 - d) / 3.0, 0.0, 1.0);
                image.at<uchar>(y, x) = static_cast<uchar>(image.at<uchar>(y, x) * (1 - 0.65 * t));
            }
        }
    }
    // A side branch.
    cv::line(image, {static_cast<int>(CentreX(150) + shift), 150}, {430, 260}, cv::Scalar(70), 7, cv::LINE_AA);
    // The catheter tip entering from the top (darker, narrow).
    for (int y = 0; y < 90; ++y)
        cv::circle(image, {static_cast<int>(CentreX(y) + shift), y}, 3, cv::Scalar(35), -1, cv::LINE_AA);
    cv::GaussianBlur(image, image, {5, 5}, 1.2);
    return image;
}

class AngioScreenshot : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(root.isValid() && runtime.isValid());
        BeginTestWorkstation(root.path(), runtime.path(), &prompter);
        ConnectTestDatabase();
        ChildWindowRegistry registry;
        registry.Register(ChildWindow::ANGIO, CreateAngioForm);
        MainForm = new TMainForm(registry);
        MainForm->PatientCode = kCode;
    }

    void TearDown() override
    {
        EndTestWorkstation();
    }

    // Shows the main window at a set size and opens the ANGIO window from its button.
    static TANGIOForm* OpenWindow()
    {
        MainForm->resize(1400, 920);
        MainForm->show();
        MainForm->dxBarLargeButton4Click();
        QCoreApplication::processEvents();
        return qobject_cast<TANGIOForm*>(ANGIOForm.data());
    }

    QTemporaryDir root;
    QTemporaryDir runtime;
    ScriptedPrompter prompter;
};

void Click(TAngioFrame* view, PixelPoint p)
{
    QWidget* vp = view->ImgView->viewport();
    const QPoint pos = view->ViewPosOf(p);
    QMouseEvent press(QEvent::MouseButtonPress, pos, vp->mapToGlobal(pos), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(vp, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, pos, vp->mapToGlobal(pos), Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(vp, &release);
}

} // namespace

TEST_F(AngioScreenshot, TracedLaoView)
{
    for (const char* recording : {"LAO", "RAO"}) {
        const QString folder = AppPaths::RecordingDir(kCode, QLatin1String(recording));
        QDir().mkpath(folder);
        for (int k = 0; k < 8; ++k) {
            cv::Mat frame = SyntheticAngiogram(k);
            if (QLatin1String(recording) == QLatin1String("RAO"))
                cv::flip(frame, frame, 1);
            const QString file = AppPaths::FrameFile(kCode, QLatin1String(recording), k);
            ASSERT_TRUE(cv::imwrite(QFile::encodeName(file).toStdString(), frame));
        }
    }
    MainForm->LAOFrameCount = 8;
    MainForm->RAOFrameCount = 8;
    TANGIOForm* w = OpenWindow();
    ASSERT_NE(w, nullptr);

    TAngioFrame* lao = w->AngioFrame1;
    lao->dxBarSpinEdit1->setValue(1);  // frame 1: file 0, where the vessel is unshifted
    lao->ContrastBar->setValue(25);
    // Catheter along the centre line from the tip to the distal end, every 12 rows.
    lao->CatheterButton->trigger();
    for (int y = 6; y < kSize - 6; y += 12)
        Click(lao, {static_cast<int>(std::lround(CentreX(y))), y});
    // Lumen borders on both sides.
    lao->LumenAButton->trigger();
    for (int y = 100; y < kSize - 6; y += 10)
        Click(lao, {static_cast<int>(std::lround(CentreX(y) - HalfWidth(y))), y});
    lao->LumenBButton->trigger();
    for (int y = 100; y < kSize - 6; y += 10)
        Click(lao, {static_cast<int>(std::lround(CentreX(y) + HalfWidth(y))), y});
    for (QAction* line : lao->ShowAsLineItems)
        line->setChecked(true);
    // Catheter width across the catheter near its tip.
    lao->SetWidthButton->trigger();
    {
        QWidget* vp = lao->ImgView->viewport();
        const int y = 60;
        const QPoint a = lao->ViewPosOf({static_cast<int>(CentreX(y)) - 4, y});
        const QPoint b = lao->ViewPosOf({static_cast<int>(CentreX(y)) + 4, y});
        QMouseEvent press(QEvent::MouseButtonPress, a, vp->mapToGlobal(a), Qt::LeftButton, Qt::LeftButton, {});
        QApplication::sendEvent(vp, &press);
        QMouseEvent move(QEvent::MouseMove, b, vp->mapToGlobal(b), Qt::NoButton, Qt::LeftButton, {});
        QApplication::sendEvent(vp, &move);
        QMouseEvent release(QEvent::MouseButtonRelease, b, vp->mapToGlobal(b), Qt::LeftButton, Qt::NoButton, {});
        QApplication::sendEvent(vp, &release);
    }
    lao->CatheterButton->trigger();  // mode text "Drawing catheter"
    EXPECT_EQ(lao->CatheterPoints().size(), 42u);
    EXPECT_EQ(lao->WidthPoints().size(), 2u);
    EXPECT_TRUE(prompter.messages.empty());

    w->AngioFrame2->dxBarSpinEdit1->setValue(3);
    w->AngioFrame2->cxTrackBar1->setValue(80);

    QCoreApplication::processEvents();
    const QString dir = QStringLiteral(KESTROVA_BINARY_DIR "/screenshots");
    QDir().mkpath(dir);
    const QImage shot = w->grab().toImage();
    ASSERT_FALSE(shot.isNull());
    ASSERT_TRUE(shot.save(dir + QStringLiteral("/angio-window.png")));
}

// What a user sees after clicking catheter points on a fresh card (no frame chosen yet, no
// "Show as line") and pressing "Outline": on a dark vessel each point must stand out in
// its colour, and the outline must appear.
TEST_F(AngioScreenshot, ClickedPointsAndOutlineShowOnADarkVessel)
{
    const QString folder = AppPaths::RecordingDir(kCode, QStringLiteral("LAO"));
    QDir().mkpath(folder);
    for (int k = 0; k < 4; ++k)
        ASSERT_TRUE(cv::imwrite(QFile::encodeName(folder + "LAO." + QString::number(k) + ".jpg").toStdString(),
                                SyntheticAngiogram(k)));
    MainForm->LAOFrameCount = 4;
    TANGIOForm* w = OpenWindow();
    ASSERT_NE(w, nullptr);
    TAngioFrame* lao = w->AngioFrame1;

    lao->CatheterButton->trigger();
    std::vector<PixelPoint> clicked;
    for (int y = 120; y < kSize - 20; y += 40)
        clicked.push_back({static_cast<int>(std::lround(CentreX(y))), y});
    for (const PixelPoint& p : clicked)
        Click(lao, p);
    ASSERT_EQ(lao->CatheterPoints().size(), clicked.size());
    lao->OutlineButton->trigger();
    QCoreApplication::processEvents();

    const QString dir = QStringLiteral(KESTROVA_BINARY_DIR "/screenshots");
    QDir().mkpath(dir);
    const QImage shot = w->grab().toImage();
    ASSERT_TRUE(shot.save(dir + QStringLiteral("/angio-points-outline.png")));

    // The outline of the frame shown (frame file 0) is on its layer.
    int outlinePixels = 0;
    const QImage outline = lao->LayerImage(5);
    for (int y = 0; y < outline.height(); ++y)
        for (int x = 0; x < outline.width(); ++x)
            outlinePixels += outline.pixel(x, y) == 0xFFFFFFFFu;
    EXPECT_GT(outlinePixels, 500) << "no outline shown and no message: " << prompter.Texts().join('|').toStdString();

    // Each clicked point shows as a clearly green mark in the view as drawn on screen.
    const QImage view = lao->ImgView->viewport()->grab().toImage();
    for (const PixelPoint& p : clicked) {
        const QPoint c = lao->ViewPosOf(p);
        int green = 0;
        for (int dy = -3; dy <= 3; ++dy)
            for (int dx = -3; dx <= 3; ++dx) {
                const QColor q = view.pixelColor(c + QPoint(dx, dy));
                green += q.green() > 180 && q.red() < 110 && q.blue() < 110;
            }
        EXPECT_GE(green, 4) << "point (" << p.x << "," << p.y << ")";
    }
}
