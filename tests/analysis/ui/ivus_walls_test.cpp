// Hand-drawn walls and the measurement memo of the IVUS window: strokes with the mouse,
// the wall buttons, the memo after each action, and a screenshot of a measured frame
// (build/.../screenshots/ivus-measured.png).
#include "ivus_fixture.h"

#include "study/contour.h"
#include "analysis/ui/ivus_form.h"
#include "app/forms.h"
#include "app/main_form.h"

#include <QApplication>
#include <QDir>
#include <QDoubleSpinBox>
#include <QSpinBox>
#include <QLabel>
#include <QLocale>
#include <QPlainTextEdit>
#include <QRegularExpression>

#include <cmath>
using Wall = WallContour;

namespace {

Wall Circle(double cx, double cy, double r, int n, bool pointSymmetric)
{
    Wall c;
    for (int i = 0; i < n; ++i) {
        if (pointSymmetric && i >= n / 2) {
            const PixelPoint q = c[static_cast<std::size_t>(i - n / 2)];
            c.push_back({static_cast<int>(2 * cx) - q.x, static_cast<int>(2 * cy) - q.y});
            continue;
        }
        const double t = 2.0 * M_PI * i / n + M_PI / 4;
        c.push_back({static_cast<int>(std::lround(cx + r * std::cos(t))), static_cast<int>(std::lround(cy + r * std::sin(t)))});
    }
    return c;
}

// The value of the memo line that starts with `label`, read with `locale`.
double MemoValue(const QString& memo, const QString& label, const QLocale& locale)
{
    for (const QString& line : memo.split(QLatin1Char('\n'))) {
        if (!line.startsWith(label))
            continue;
        QString v = line.mid(label.size());
        v = v.left(v.indexOf(QLatin1Char(' ')));
        bool ok = false;
        const double d = locale.toDouble(v, &ok);
        return ok ? d : NAN;
    }
    return NAN;
}

} // namespace

class IvusWalls : public IvusWindowTest {
protected:
    // A card with two 256 x 256 IVUS-like frames, catheter at the centre.
    TIVUSForm* OpenMeasuredCard(int code, double spacing)
    {
        AddPatient(code, spacing);
        for (int n = 0; n < 2; ++n)
            WriteFrame(code, n, IvusLikeFrame({256, 256}, {128, 128}, 45, 85, 70u + static_cast<unsigned>(n)));
        AddIvusRow(code, QStringLiteral("0 1 -1"), 128, 128, 138, 128);
        MainForm->resize(1500, 900);
        TIVUSForm* w = OpenCard(code);
        prompter_.Clear();  // the card's missing angiography is not what these tests are about
        return w;
    }

    // Draws a stroke of `n` mouse positions on a circle about (cx, cy) in the image of
    // cell 0 and releases the button.
    void Stroke(TIVUSForm* w, double cx, double cy, double r, int n)
    {
        const QRect img = w->ImageRect(0);
        for (int i = 0; i < n; ++i) {
            const double a = 2.0 * M_PI * i / n;
            const int x = img.left() + static_cast<int>(std::lround(cx + r * std::cos(a)));
            const int y = img.top() + static_cast<int>(std::lround(cy + r * std::sin(a)));
            if (i == 0)
                w->ImgViewMouseDown(Qt::LeftButton, x, y);
            else
                w->ImgViewMouseMove(x, y);
        }
        w->ImgViewMouseUp(Qt::LeftButton, 0, 0);
    }

    void Press(QAction* button, TIVUSForm* w, void (TIVUSForm::*handler)())
    {
        button->setChecked(!button->isChecked());
        (w->*handler)();
    }
};

TEST_F(IvusWalls, DrawingBothWallsFitsRefinesAndMeasures)
{
    TIVUSForm* w = OpenMeasuredCard(31, 0.1);
    ASSERT_NE(w, nullptr);
    PressCell(w, 0);
    w->ImgViewMouseUp(Qt::LeftButton, 0, 0);
    EXPECT_TRUE(w->cxMemo1->toPlainText().isEmpty());  // nothing to measure yet

    Press(w->dxBarLargeButton3, w, &TIVUSForm::dxBarLargeButton3Click);
    EXPECT_EQ(w->DrawMode, 1);
    Stroke(w, 128, 128, 85, 60);
    const Wall& initial = w->UserOuterWalls[0];
    EXPECT_TRUE(initial.size() == 200 || initial.size() == 201) << initial.size();
    for (const PixelPoint& p : initial)
        EXPECT_LE(std::fabs(std::hypot(p.x + 0.5 - 128, p.y + 0.5 - 128) - 85), 1.5);
    // The shown wall is the refined and smoothed fit: as many points, closed.
    ASSERT_EQ(w->OuterWalls[0].size(), initial.size());
    EXPECT_EQ(w->OuterWalls[0].back(), w->OuterWalls[0].front());
    EXPECT_TRUE(w->cxMemo1->toPlainText().isEmpty());  // no lumen yet

    // "Inner wall" releases "Outer wall".
    Press(w->dxBarLargeButton4, w, &TIVUSForm::dxBarLargeButton4Click);
    EXPECT_EQ(w->DrawMode, 2);
    EXPECT_FALSE(w->dxBarLargeButton3->isChecked());
    Stroke(w, 128, 128, 45, 60);
    EXPECT_GE(w->UserInnerWalls[0].size(), 200u);
    const QStringList lines = w->cxMemo1->toPlainText().split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 24);
    EXPECT_EQ(lines[0], QStringLiteral("Frame #1"));
    EXPECT_TRUE(lines[23].startsWith(QStringLiteral("Wall Area: ")));
    EXPECT_EQ(w->cxLabel1->text(), w->cxMemo1->toPlainText());
    EXPECT_TRUE(prompter_.Texts().isEmpty()) << prompter_.Texts().join(QLatin1Char('\n')).toStdString();

    // Pressing the inner wall button again switches drawing off.
    Press(w->dxBarLargeButton4, w, &TIVUSForm::dxBarLargeButton4Click);
    EXPECT_EQ(w->DrawMode, 0);

    // Delete (no drawing mode: both walls) empties the memo.
    w->dxBarLargeButton8Click();
    EXPECT_TRUE(w->cxMemo1->toPlainText().isEmpty());
    EXPECT_TRUE(w->cxLabel1->text().isEmpty());
}

TEST_F(IvusWalls, FailedFitWarnsAndShortStrokesStayRaw)
{
    TIVUSForm* w = OpenMeasuredCard(32, 0.1);
    ASSERT_NE(w, nullptr);
    PressCell(w, 0);
    Press(w->dxBarLargeButton3, w, &TIVUSForm::dxBarLargeButton3Click);
    const Wall before{{3, 4}, {5, 6}};
    w->UserOuterWalls[0] = before;

    // Six events on one pixel: the toolkit cannot make a curve of it.
    const QRect img = w->ImageRect(0);
    w->ImgViewMouseDown(Qt::LeftButton, img.left() + 100, img.top() + 100);
    for (int i = 0; i < 5; ++i)
        w->ImgViewMouseMove(img.left() + 100, img.top() + 100);
    w->ImgViewMouseUp(Qt::LeftButton, 0, 0);
    ASSERT_EQ(prompter_.messages.size(), 1u);
    EXPECT_EQ(prompter_.messages[0].text, QStringLiteral("Please, draw wall again!"));
    EXPECT_EQ(prompter_.messages[0].icon, Prompter::Icon::Warning);
    ASSERT_EQ(w->OuterWalls[0].size(), 6u);
    EXPECT_EQ(w->OuterWalls[0], Wall(6, w->OuterWalls[0].front()));
    EXPECT_EQ(w->UserOuterWalls[0], before);

    // Four points are not fitted and stay as drawn.
    prompter_.Clear();
    Stroke(w, 128, 128, 60, 4);
    EXPECT_TRUE(prompter_.Texts().isEmpty());
    EXPECT_EQ(w->OuterWalls[0].size(), 4u);
    EXPECT_EQ(w->UserOuterWalls[0], before);
}

TEST_F(IvusWalls, MemoOfConcentricCirclesUnderTwoLocales)
{
    const QLocale saved;
    struct Case {
        QLocale locale;
        double spacing;
    };
    const Case cases[] = {{QLocale(QLocale::English, QLocale::UnitedStates), 0.1}, {QLocale(QLocale::German, QLocale::Germany), 1.0}};
    int code = 40;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.locale.name().toStdString());
        QLocale::setDefault(c.locale);
        TIVUSForm* w = OpenMeasuredCard(++code, c.spacing);
        ASSERT_NE(w, nullptr);
        PressCell(w, 0);
        w->OuterWalls[0] = Circle(128, 128, 80, 48, true);
        w->InnerWalls[0] = Circle(128, 128, 50, 32, true);
        w->ImgViewMouseUp(Qt::LeftButton, 0, 0);  // no drawing mode: measures only
        const QString memo = w->cxMemo1->toPlainText();
        const double s = c.spacing;
        EXPECT_NEAR(MemoValue(memo, QStringLiteral("Mean Lumen Radius: "), c.locale), 50 * s, 0.05 * s * 10);
        EXPECT_NEAR(MemoValue(memo, QStringLiteral("Mean Vessel Radius: "), c.locale), 80 * s, 0.05 * s * 10);
        EXPECT_NEAR(MemoValue(memo, QStringLiteral("Mean Wall Thickness: "), c.locale), 30 * s, 0.05 * s * 10);
        EXPECT_NEAR(MemoValue(memo, QStringLiteral("Mean Lumen Diameter: "), c.locale), 100 * s, 0.05 * s * 10);
        if (c.spacing == 0.1) {
            EXPECT_TRUE(memo.contains(QRegularExpression(QStringLiteral("\nLumen Area: 78\\.[0-9]{2} mm\\^2\n")))) << memo.toStdString();
        } else {
            // Thousands grouped with the locale's separator, decimals after its comma.
            EXPECT_TRUE(memo.contains(QRegularExpression(QStringLiteral("\nVessel Area: 20\\.[0-9]{3},[0-9]{2} mm\\^2\n")))) << memo.toStdString();
            EXPECT_TRUE(memo.contains(QRegularExpression(QStringLiteral("\nMin Lumen Radius: 4[89],[0-9]{2} mm\n")))) << memo.toStdString();
        }
        w->close();
        QApplication::processEvents();
    }
    QLocale::setDefault(saved);
}

TEST_F(IvusWalls, NoSpacingShowsZerosAndAFanWithoutCrossingsIsAnError)
{
    TIVUSForm* w = OpenMeasuredCard(50, 0.0);
    ASSERT_NE(w, nullptr);
    PressCell(w, 0);
    w->OuterWalls[0] = Circle(128, 128, 80, 48, true);
    w->InnerWalls[0] = Circle(128, 128, 50, 32, true);
    w->ImgViewMouseUp(Qt::LeftButton, 0, 0);
    const QStringList lines = w->cxMemo1->toPlainText().split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 24);
    for (const QString& line : lines) {
        if (line.contains(QStringLiteral(": "))) {
            EXPECT_TRUE(line.contains(QStringLiteral(": 0.00 mm")) || line.contains(QStringLiteral(": 0,00 mm")))
                << line.toStdString();
        }
    }

    // A vessel that no line through the lumen centroid meets.
    const double a = 1.8 * M_PI / 180.0;
    w->OuterWalls[0] = Circle(60 + 190 * std::sin(a), 60 + 190 * std::cos(a), 4, 12, false);
    w->InnerWalls[0] = Circle(60, 60, 20, 24, true);
    w->ImgViewMouseUp(Qt::LeftButton, 0, 0);
    EXPECT_TRUE(w->cxMemo1->toPlainText().isEmpty());
    ASSERT_EQ(prompter_.messages.size(), 1u);
    EXPECT_EQ(prompter_.messages[0].kind, Prompter::Kind::ErrorDialog);
    EXPECT_EQ(prompter_.messages[0].text,
              QStringLiteral("Error while calculating measurements. Code: no ray crossed both walls twice"));
}

TEST_F(IvusWalls, ScreenshotOfAMeasuredFrame)
{
    TIVUSForm* w = OpenMeasuredCard(60, 0.05);
    ASSERT_NE(w, nullptr);
    PressCell(w, 0);
    Press(w->dxBarLargeButton3, w, &TIVUSForm::dxBarLargeButton3Click);
    Stroke(w, 128, 128, 88, 70);
    Press(w->dxBarLargeButton4, w, &TIVUSForm::dxBarLargeButton4Click);
    Stroke(w, 128, 128, 44, 50);
    Press(w->dxBarLargeButton4, w, &TIVUSForm::dxBarLargeButton4Click);
    QApplication::processEvents();
    ASSERT_EQ(w->cxMemo1->toPlainText().split(QLatin1Char('\n')).size(), 24);

    const QString dir = QStringLiteral(KESTROVA_BINARY_DIR "/screenshots");
    QDir().mkpath(dir);
    const QImage shot = MainForm->grab().toImage();
    ASSERT_FALSE(shot.isNull());
    EXPECT_TRUE(shot.save(dir + "/ivus-measured.png"));
}

TEST_F(IvusWalls, MemoFollowsDetectionPropagationAndParameterChanges)
{
    TIVUSForm* w = OpenMeasuredCard(70, 0.05);
    ASSERT_NE(w, nullptr);
    PressCell(w, 0);
    w->dxBarSpinEdit12->setValue(1);
    w->dxBarLargeButton5Click();
    ASSERT_FALSE(w->InnerWalls[0].empty());
    EXPECT_EQ(w->cxMemo1->toPlainText().split(QLatin1Char('\n')).size(), 24);

    // A parameter change refines again and measures what is then shown.
    w->InnerWalls[0].clear();
    w->dxBarSpinEdit1->setValue(w->dxBarSpinEdit1->value() + 1.0);
    EXPECT_TRUE(w->cxMemo1->toPlainText().isEmpty());

    w->OuterWalls[0] = Circle(128, 128, 80, 48, true);
    w->InnerWalls[0] = Circle(128, 128, 50, 32, true);
    w->cxMemo1->setPlainText(QStringLiteral("stale"));
    w->dxBarSpinEdit11->setValue(1);
    w->dxBarLargeButton7Click();
    EXPECT_EQ(w->cxMemo1->toPlainText().split(QLatin1Char('\n')).size(), 24);
    EXPECT_NEAR(MemoValue(w->cxMemo1->toPlainText(), QStringLiteral("Mean Lumen Radius: "), QLocale()), 2.5, 0.05);
}

TEST_F(IvusWalls, WallButtonsOnAnUncalibratedCard)
{
    AddPatient(80, 0.1);
    WriteFrames(80, {0, 1});
    AddIvusRow(80, QStringLiteral("0 1 -1"));
    TIVUSForm* w = OpenCard(80);
    ASSERT_NE(w, nullptr);
    prompter_.Clear();
    PressCell(w, 0);
    Press(w->dxBarLargeButton3, w, &TIVUSForm::dxBarLargeButton3Click);
    Press(w->dxBarLargeButton3, w, &TIVUSForm::dxBarLargeButton3Click);
    EXPECT_EQ(w->DrawMode, 0);
    Press(w->dxBarLargeButton4, w, &TIVUSForm::dxBarLargeButton4Click);
    ASSERT_EQ(prompter_.messages.size(), 2u);
    for (const auto& m : prompter_.messages) {
        EXPECT_EQ(m.text, QStringLiteral("Without calibration, results might not be efficient"));
        EXPECT_EQ(m.icon, Prompter::Icon::Information);
    }
    // Drawing still works, and the fit does not need the centre.
    Stroke(w, 100, 100, 40, 30);
    EXPECT_GE(w->UserInnerWalls[0].size(), 200u);
}
