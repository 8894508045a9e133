#include "ivus_fixture.h"

#include "analysis/ui/ivus_form.h"
#include "app/data.h"
#include "app/forms.h"
#include "app/main_form.h"
#include "app/paths.h"
#include "support/test_workstation.h"

#include <QApplication>
#include <QDir>
#include <QSqlError>
#include <QSqlQuery>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include <random>

cv::Mat IvusLikeFrame(cv::Size size, cv::Point centre, int lumen, int ring, unsigned seed)
{
    std::mt19937 rng(seed);
    std::normal_distribution<double> noise(0.0, 12.0);
    cv::Mat frame(size, CV_8UC1);
    for (int y = 0; y < size.height; ++y) {
        for (int x = 0; x < size.width; ++x) {
            const double r = std::hypot(x - centre.x, y - centre.y);
            double v;
            if (r < 8)
                v = 20;
            else if (r < 11)
                v = 220;
            else if (r < lumen)
                v = 25 + noise(rng) * 0.3;
            else if (r < ring)
                v = 120 + noise(rng) * 2.5;
            else if (r < ring + 10)
                v = 235 + noise(rng) * 0.5;
            else
                v = 70 + noise(rng);
            frame.at<std::uint8_t>(y, x) = cv::saturate_cast<std::uint8_t>(v);
        }
    }
    return frame;
}

void IvusWindowTest::SetUp()
{
    ASSERT_TRUE(root_.isValid());
    ASSERT_TRUE(runtime_.isValid());
    BeginTestWorkstation(root_.path(), runtime_.path(), &prompter_);
    ConnectTestDatabase();
    ChildWindowRegistry registry;
    registry.Register(ChildWindow::IVUS, [](const WindowContext& c) { return new TIVUSForm(c); });
    new TMainForm(registry);
    MainForm->resize(1300, 950);
    MainForm->show();
    QApplication::processEvents();
}

void IvusWindowTest::TearDown()
{
    EndTestWorkstation();
    PixelSpacing = 0.0;
}

void IvusWindowTest::WriteFrame(int code, int file, const cv::Mat& frame)
{
    QDir().mkpath(AppPaths::RecordingDir(code, QStringLiteral("IVUS")));
    const QString path = AppPaths::FrameFile(code, QStringLiteral("IVUS"), file);
    ASSERT_TRUE(cv::imwrite(path.toStdString(), frame, {cv::IMWRITE_JPEG_QUALITY, 100})) << path.toStdString();
}

void IvusWindowTest::WriteFrames(int code, const std::vector<int>& files, cv::Size size)
{
    const cv::Point centre(size.width / 2, size.height / 2);
    for (int n : files)
        WriteFrame(code, n, IvusLikeFrame(size, centre, 30 + n % 5, 60 + n % 7, 100u + static_cast<unsigned>(n)));
}

void IvusWindowTest::Exec(const QString& sql) const
{
    QSqlQuery q(dm->MyEmbConnection1.Database());
    ASSERT_TRUE(q.exec(sql)) << sql.toStdString() << ": " << q.lastError().text().toStdString();
}

QString IvusWindowTest::Query(const QString& sql) const
{
    QSqlQuery q(dm->MyEmbConnection1.Database());
    if (!q.exec(sql)) {
        ADD_FAILURE() << sql.toStdString() << ": " << q.lastError().text().toStdString();
        return {};
    }
    QStringList rows;
    while (q.next())
        rows << q.value(0).toString();
    return rows.join(QLatin1Char('|'));
}

void IvusWindowTest::AddPatient(int code, double pixelSpacing)
{
    Exec(QStringLiteral("INSERT INTO patient(code, name, surname, pixelSpacing) VALUES(%1, 'Ann', 'Roe', %2)")
             .arg(code)
             .arg(pixelSpacing));
}

void IvusWindowTest::AddIvusRow(int code, const QString& telodiastolic, int cx, int cy, int ex, int ey)
{
    Exec(QStringLiteral("INSERT INTO ivus(patientID, telodiastolic, catheterCenterX, catheterCenterY, catheterEdgeX, "
                        "catheterEdgeY) VALUES(%1, '%2', %3, %4, %5, %6)")
             .arg(code)
             .arg(telodiastolic)
             .arg(cx)
             .arg(cy)
             .arg(ex)
             .arg(ey));
}

void IvusWindowTest::AddWallRow(const char* table, int code, int frame, const QString& x, const QString& y)
{
    const QString t = QLatin1String(table);
    const QString user = t == QLatin1String("outerWall") ? QStringLiteral("userOuterWall") : QStringLiteral("userInnerWall");
    Exec(QStringLiteral("INSERT INTO %1(patientID, frame, telodiastolicFrame, %1X, %1Y, %2X, %2Y) "
                        "VALUES(%3, %4, 0, '%5', '%6', '%5', '%6')")
             .arg(t, user)
             .arg(code)
             .arg(frame)
             .arg(x, y));
}

TIVUSForm* IvusWindowTest::OpenCard(int code)
{
    MainForm->OpenPatientCard(code, QStringLiteral("Ann Roe"));
    return OpenIvusWindow();
}

TIVUSForm* IvusWindowTest::OpenIvusWindow()
{
    MainForm->dxBarLargeButton3Click();
    QApplication::processEvents();
    auto* w = qobject_cast<TIVUSForm*>(IVUSForm.data());
    if (w) {
        w->showMaximized();
        QApplication::processEvents();
    }
    return w;
}

void IvusWindowTest::PressCell(TIVUSForm* w, int cell)
{
    const QRect r = w->ImageRect(cell);
    w->ImgViewMouseDown(Qt::LeftButton, r.left() + 5, r.top() + 5);
}
