// The graph window inside the shell: opened from the main window's "IVUS Graphs" button
// over a fixture database (filled by the sqlite3 tool) with circle contours on analysed
// frames 0, 1 and 3. The workbook is read back by openpyxl, the bitmaps by OpenCV.
// Screenshots: build/.../screenshots/graph-window.png and graph-sheet.png.
#include "reconstruction/ui/graph.h"

#include "reconstruction/core/export_testutil.h"
#include "reconstruction/core/graph_files.h"
#include "reconstruction/core/graph_testutil.h"
#include "card_fixture.h"

#include "app/child_registry.h"
#include "app/data.h"
#include "app/forms.h"
#include "app/main_form.h"
#include "app/paths.h"
#include "app/progress.h"
#include "app/prompter.h"

#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QLineSeries>
#include <QLocale>
#include <QMdiSubWindow>
#include <QProcess>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QValueAxis>

#include <opencv2/imgcodecs.hpp>

#include <map>
#include "study/point_list.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

using graph_test::CircleRow;

// The chart numbers of analysed frames 0, 1 and 3.
constexpr double kFrames[] = {1, 2, 4};

QString WallInsert(const char* table, const char* column, const graphs::StoredWallRow& row)
{
    return QStringLiteral("INSERT INTO %1(patientID, frame, telodiastolicFrame, %2X, %2Y, user%3X, user%3Y) "
                          "VALUES (7, %4, %5, '%6', '%7', '%6', '%7');\n")
        .arg(QString::fromLatin1(table), QString::fromLatin1(column),
             QString::fromLatin1(column).replace(0, 1, QString::fromLatin1(column).left(1).toUpper()))
        .arg(row.frame)
        .arg(10 + row.frame)
        .arg(QString::fromStdString(PointListTexts(row.points).first),
             QString::fromStdString(PointListTexts(row.points).second));
}

class GraphWindow : public CardDatabaseTest {
protected:
    void SetUp() override
    {
        CardDatabaseTest::SetUp();
        if (HasFatalFailure())
            return;
        savedSave = TGraphForm::SaveDialog();
        savedFolder = TGraphForm::FolderBrowser();
        TGraphForm::SaveDialog() = [this](QWidget*, const QString& caption, const QString& proposed,
                                          const QString& filter) {
            dialogs << caption + QLatin1Char('|') + proposed + QLatin1Char('|') + filter;
            return answer;
        };
        TGraphForm::FolderBrowser() = [this](QWidget*, const QString& caption) {
            dialogs << caption;
            return answer;
        };
        Sql("INSERT INTO patient(code, surname, name, pixelSpacing) VALUES (7, 'Doe', 'John', 0.1);"
            "INSERT INTO patient(code, surname, name, pixelSpacing) VALUES (8, 'Roe', 'Jane', 0.1);"
            "INSERT INTO ivus(patientID, catheterCenterX, catheterCenterY, catheterEdgeX, catheterEdgeY) "
            "VALUES (7, 200, 150, 210, 150);");
        for (int k : {3, 0, 1}) {
            const double cx = 200.3 + 15 * k, cy = 150.6 + 5 * k;
            AddWalls(CircleRow(k, cx, cy, 80 + 2 * k, 160), CircleRow(k, cx, cy, 50 - k, 100));
        }

        ChildWindowRegistry registry;
        registry.Register(ChildWindow::Graphs, CreateGraphForm);
        MainForm = new TMainForm(registry);
        MainForm->PatientCode = 7;
        MainForm->IVUSFrameCount = 4;
        MainForm->EndDiastolicFrames = {10, 11, 12, 13};
        output = fs::path(QFile::encodeName(root.path()).toStdString()) / "chosen";
        fs::create_directories(output);
    }

    void TearDown() override
    {
        TGraphForm::SaveDialog() = savedSave;
        TGraphForm::FolderBrowser() = savedFolder;
        CardDatabaseTest::TearDown();
    }

    void AddWalls(const graphs::StoredWallRow& outer, const graphs::StoredWallRow& inner)
    {
        Sql(WallInsert("outerWall", "outerWall", outer) + WallInsert("innerWall", "innerWall", inner));
    }

    // Presses "IVUS Graphs"; records the progress window's text while the window is built.
    TGraphForm* Open()
    {
        QTimer::singleShot(0, [this] {
            if (ProgressForm)
                progressTexts << ProgressForm->cxLabel1->text();
        });
        MainForm->dxBarLargeButton11Click();
        EXPECT_TRUE(ProgressForm.isNull());  // closed on every way out
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
        QApplication::processEvents();  // the closing message, when there is one
        return qobject_cast<TGraphForm*>(GraphForm.data());
    }

    // The sheet as numbers, parsed back from the shown texts.
    static std::vector<std::vector<double>> SheetNumbers(const TGraphForm& w)
    {
        std::vector<std::vector<double>> rows;
        const QLocale locale = QLocale::system();
        for (int r = 0; r < w.cxSpreadSheet1->rowCount(); ++r) {
            std::vector<double> row;
            for (int c = 0; c < w.cxSpreadSheet1->columnCount(); ++c) {
                bool ok = false;
                row.push_back(locale.toDouble(w.cxSpreadSheet1->item(r, c)->text(), &ok));
                EXPECT_TRUE(ok) << r << "," << c;
            }
            rows.push_back(row);
        }
        return rows;
    }

    TGraphForm::SaveFileChooser savedSave;
    TGraphForm::FolderChooser savedFolder;
    fs::path output;
    QString answer;
    QStringList dialogs;
    QStringList progressTexts;
};

TEST_F(GraphWindow, ChartsAndSheetOfTheStoredCard)
{
    EXPECT_TRUE(MainForm->ButtonAvailable(TMainForm::Button::Graphs));
    MainForm->resize(1400, 900);
    MainForm->show();
    TGraphForm* w = Open();
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(prompter.messages.empty()) << prompter.Texts().join("\n").toStdString();
    EXPECT_EQ(progressTexts, QStringList{"Graphs creation in progress"});
    EXPECT_EQ(w->windowTitle(), "IVUS Graphs");
    EXPECT_EQ(w->FrameCount, 4);
    EXPECT_EQ(w->GraphPixelSpacing, 0.1);
    EXPECT_EQ(w->cxPageControl1->tabText(0), "Graphical mode");
    EXPECT_EQ(w->cxPageControl1->tabText(1), "Numerical mode");

    // The same numbers as the measurement of the stored rows, without the window.
    const graphs::GraphData oracle =
        graphs::MeasureFrames(graphs::LoadGraphContours(4, ReadGraphCard(*dm, 7).walls), 0.1);
    const char* titles[] = {"Lumen Radius", "Lumen Diameter", "Vessel Radius", "Vessel Diameter", "Wall Thickness",
                            "Areas"};
    for (size_t i = 0; i < 6; ++i) {
        SCOPED_TRACE(titles[i]);
        QChart* chart = w->Charts[i]->chart();
        EXPECT_EQ(w->Charts[i]->objectName(), "Chart" + QString::number(i + 1));
        EXPECT_EQ(chart->title(), titles[i]);
        EXPECT_EQ(static_cast<QValueAxis*>(chart->axes(Qt::Horizontal)[0])->titleText(), "frames");
        EXPECT_EQ(static_cast<QValueAxis*>(chart->axes(Qt::Vertical)[0])->titleText(), i < 5 ? "mm" : "mm^2");
        const QList<QAbstractSeries*> series = chart->series();
        ASSERT_EQ(series.size(), 3);
        const QStringList legend = i < 5 ? QStringList{"Max", "Mean", "Min"} : QStringList{"Vessel", "Wall", "Lumen"};
        const QColor colours[] = {QColor(0, 128, 0), QColor(0, 0, 255), QColor(255, 0, 0)};
        for (int s = 0; s < 3; ++s) {
            auto* line = static_cast<QLineSeries*>(series[s]);
            EXPECT_EQ(line->name(), legend[s]);
            EXPECT_EQ(line->color(), colours[s]);
            const auto& expected = oracle.series[graphs::ChartLayouts()[i].plotted[s].series];
            ASSERT_EQ(line->count(), 3);
            for (int p = 0; p < 3; ++p) {
                EXPECT_EQ(line->at(p).x(), kFrames[p]);
                EXPECT_EQ(line->at(p).y(), expected[p].y);
            }
        }
        // Every point lies inside the axes' ranges.
        const auto* y = static_cast<QValueAxis*>(chart->axes(Qt::Vertical)[0]);
        for (QAbstractSeries* s : series)
            for (const QPointF& p : static_cast<QLineSeries*>(s)->points())
                EXPECT_TRUE(p.y() >= y->min() && p.y() < y->max()) << p.y();
        if (i < 5) {
            EXPECT_EQ(y->min(), 0.0);
        }
    }

    // The sheet: the 19 headers, "Frame #" as on the charts, the chart values.
    ASSERT_EQ(w->cxSpreadSheet1->columnCount(), 19);
    for (int c = 0; c < 19; ++c)
        EXPECT_EQ(w->cxSpreadSheet1->horizontalHeaderItem(c)->text(), graphs::SheetHeaders()[c]);
    const auto numbers = SheetNumbers(*w);
    const std::vector<graphs::SheetRow> rows = graphs::SheetRows(oracle.series);
    ASSERT_EQ(numbers.size(), 3u);
    for (size_t r = 0; r < 3; ++r) {
        EXPECT_EQ(numbers[r][0], kFrames[r]);
        for (int c = 1; c < 19; ++c)
            EXPECT_NEAR(numbers[r][c], rows[r].values[c - 1], 1e-12 * std::max(1.0, rows[r].values[c - 1]));
    }
    EXPECT_NEAR(numbers[0][3], 5.0, 0.05);   // mean lumen radius
    EXPECT_NEAR(numbers[0][6], 8.0, 0.05);   // mean vessel radius
    EXPECT_NEAR(numbers[0][15], 3.0, 0.05);  // mean wall thickness

    const QString dir = QStringLiteral(KESTROVA_BINARY_DIR "/screenshots");
    QDir().mkpath(dir);
    QApplication::processEvents();
    EXPECT_TRUE(MainForm->grab().toImage().save(dir + "/graph-window.png"));
    w->cxPageControl1->setCurrentIndex(1);
    QApplication::processEvents();
    EXPECT_TRUE(MainForm->grab().toImage().save(dir + "/graph-sheet.png"));

    // A second press brings the same window forward.
    MainForm->dxBarLargeButton11Click();
    EXPECT_EQ(GraphForm.data(), w);
    // Closing frees it and clears the global.
    QPointer<TGraphForm> watch = w;
    w->close();
    EXPECT_TRUE(GraphForm.isNull());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(watch.isNull());
}

TEST_F(GraphWindow, SaveAsXlsxReadBackByOpenpyxl)
{
    TGraphForm* w = Open();
    ASSERT_NE(w, nullptr);
    answer = QString::fromStdString((output / "card7").string());  // no extension typed
    w->dxBarLargeButton2Click();
    EXPECT_EQ(w->cxPageControl1->currentIndex(), 1);
    ASSERT_EQ(dialogs.size(), 1);
    EXPECT_EQ(dialogs[0], "Save as XLS file|" + QDir(root.path()).filePath("7.xlsx") +
                              "|All files (*.*);;XLSX files (*.xlsx)");
    ASSERT_EQ(prompter.messages.size(), 1u);
    EXPECT_EQ(prompter.messages[0].kind, Prompter::Kind::InfoDialog);
    EXPECT_EQ(prompter.messages[0].text, "XLS file saved successfully");

    std::string error;
    const auto cells = graph_test::ReadWorkbook(output / "card7.xlsx", &error);
    ASSERT_EQ(error, "");
    ASSERT_EQ(cells.size(), 4u);
    for (int c = 0; c < 19; ++c)
        EXPECT_EQ(cells[0][c].value, graphs::SheetHeaders()[c]);
    const auto numbers = SheetNumbers(*w);
    for (size_t r = 0; r < 3; ++r) {
        ASSERT_EQ(cells[r + 1].size(), 19u);
        for (int c = 0; c < 19; ++c) {
            EXPECT_EQ(cells[r + 1][c].type, "n");
            EXPECT_NEAR(std::strtod(cells[r + 1][c].value.c_str(), nullptr), numbers[r][c], 1e-9);
        }
    }

    // Cancel writes nothing; a file that cannot be written is an error, not a success.
    answer.clear();
    prompter.Clear();
    w->dxBarLargeButton2Click();
    EXPECT_TRUE(prompter.messages.empty());
    answer = QString::fromStdString((output / "missing" / "7.xlsx").string());
    w->dxBarLargeButton2Click();
    ASSERT_EQ(prompter.messages.size(), 1u);
    EXPECT_EQ(prompter.messages[0].kind, Prompter::Kind::Error);
    EXPECT_TRUE(prompter.messages[0].text.contains("missing/7.xlsx")) << prompter.messages[0].text.toStdString();
}

TEST_F(GraphWindow, SaveAsImagesWritesSixBitmaps)
{
    MainForm->resize(1400, 900);
    MainForm->show();
    TGraphForm* w = Open();
    ASSERT_NE(w, nullptr);
    w->cxPageControl1->setCurrentIndex(1);
    answer = QString::fromStdString(output.string());
    for (int round = 0; round < 2; ++round) {  // the second save overwrites without asking
        prompter.Clear();
        w->dxBarLargeButton1Click();
        EXPECT_EQ(w->cxPageControl1->currentIndex(), 0);
        ASSERT_EQ(prompter.messages.size(), 1u);
        EXPECT_EQ(prompter.messages[0].kind, Prompter::Kind::InfoDialog);
        EXPECT_EQ(prompter.messages[0].text, "Images saved successfully");
    }
    EXPECT_EQ(dialogs, QStringList({"Select output folder", "Select output folder"}));

    const char* names[] = {"7_LumenRadius.bmp", "7_LumenDiameter.bmp", "7_VesselRadius.bmp",
                           "7_VesselDiameter.bmp", "7_WallThickness.bmp", "7_Areas.bmp"};
    for (int i = 0; i < 6; ++i) {
        SCOPED_TRACE(names[i]);
        const cv::Mat image = cv::imread((output / names[i]).string(), cv::IMREAD_COLOR);
        ASSERT_FALSE(image.empty());
        EXPECT_EQ(image.cols, w->Charts[i]->width());
        EXPECT_EQ(image.rows, w->Charts[i]->height());
        // The lines themselves, inside the plot area (the legend markers lie outside).
        const QRect plot = w->Charts[i]->chart()->plotArea().toRect();
        int red = 0, green = 0, blue = 0;
        for (int y = plot.top(); y <= plot.bottom(); ++y)
            for (int x = plot.left(); x <= plot.right(); ++x) {
                const cv::Vec3b p = image.at<cv::Vec3b>(y, x);  // B, G, R
                red += p == cv::Vec3b(0, 0, 255);
                green += p == cv::Vec3b(0, 128, 0);
                blue += p == cv::Vec3b(255, 0, 0);
            }
        EXPECT_GT(red, 20);
        EXPECT_GT(green, 20);
        EXPECT_GT(blue, 20);
    }

    // An unwritable folder is reported, not announced as saved.
    answer = QString::fromStdString((output / "missing").string());
    prompter.Clear();
    w->dxBarLargeButton1Click();
    ASSERT_EQ(prompter.messages.size(), 1u);
    EXPECT_EQ(prompter.messages[0].kind, Prompter::Kind::Error);

    // One image that cannot be written (a folder holds its name): the five good images
    // of the last save stay as they were, and the failure names the file and the reason.
    std::map<std::string, std::string> good;
    for (const char* name : names)
        good[name] = export_test::ReadBytes(output / name);
    fs::remove(output / names[4]);
    fs::create_directory(output / names[4]);
    good.erase(names[4]);
    w->resize(w->width() + 40, w->height());  // the charts change size: new images differ
    answer = QString::fromStdString(output.string());
    prompter.Clear();
    w->dxBarLargeButton1Click();
    ASSERT_EQ(prompter.messages.size(), 1u);
    EXPECT_EQ(prompter.messages[0].kind, Prompter::Kind::Error);
    EXPECT_EQ(prompter.messages[0].text.toStdString(),
              "The following images could not be saved:\n\n" + (output / names[4]).string() + ": Is a directory");
    for (const auto& [name, bytes] : good)
        EXPECT_TRUE(export_test::ReadBytes(output / name) == bytes) << name << " was changed";
}

TEST_F(GraphWindow, NothingToMeasureShowsHeadersOnly)
{
    struct Case {
        const char* what;
        int code;
        int frames;
    };
    for (const Case& c : {Case{"no ivus row", 8, 4}, Case{"no analysed frame", 7, 0}}) {
        SCOPED_TRACE(c.what);
        MainForm->PatientCode = c.code;
        MainForm->IVUSFrameCount = c.frames;
        MainForm->EndDiastolicFrames.clear();
        prompter.Clear();
        progressTexts.clear();
        TGraphForm* w = Open();
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(progressTexts, QStringList{"Graphs creation in progress"});
        EXPECT_EQ(w->cxSpreadSheet1->rowCount(), 0);
        EXPECT_EQ(w->cxSpreadSheet1->horizontalHeaderItem(18)->text(), "Wall Area (mm^2)");
        for (QChartView* view : w->Charts)
            for (QAbstractSeries* s : view->chart()->series())
                EXPECT_EQ(static_cast<QLineSeries*>(s)->count(), 0);
        // Frame count 0 leaves every stored row outside the frames: said once, not fatal.
        EXPECT_EQ(prompter.messages.size(), c.frames == 0 ? 1u : 0u);
        w->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

TEST_F(GraphWindow, UnreadableFramesAreReportedInOneMessage)
{
    MainForm->IVUSFrameCount = 6;
    MainForm->EndDiastolicFrames = {10, 11, 12, 13, 14, 15};
    // Frame 4: a damaged stored lumen list; frame 2: a small vessel far from the lumen,
    // between two lines of the fan, so no line crosses both walls.
    Sql("INSERT INTO innerWall(patientID, frame, telodiastolicFrame, innerWallX, innerWallY, userInnerWallX, "
        "userInnerWallY) VALUES (7, 4, 14, '120 1x0 -1', '150 160 -1', '', '');");
    Sql(WallInsert("outerWall", "outerWall", CircleRow(4, 200, 150, 80, 160)));
    const double a = 1.8 * M_PI / 180.0;
    AddWalls(CircleRow(2, 400 + 300 * std::sin(a), 150 + 300 * std::cos(a), 5, 12), CircleRow(2, 400, 150, 20, 24));
    // Frame 5 is measured.
    AddWalls(CircleRow(5, 200, 150, 80, 160), CircleRow(5, 200, 150, 50, 100));

    TGraphForm* w = Open();
    ASSERT_NE(w, nullptr);
    ASSERT_EQ(prompter.messages.size(), 1u);
    EXPECT_EQ(prompter.messages[0].kind, Prompter::Kind::ErrorDialog);
    const QStringList lines = prompter.messages[0].text.split('\n');
    ASSERT_EQ(lines.size(), 2) << prompter.messages[0].text.toStdString();
    // Both name the frame as the charts and the sheet number it.
    EXPECT_EQ(lines[0], "The stored inner wall of frame 5 of card 7 cannot be read (innerWallX: \"1x0\" is not a valid "
                        "integer value); frame 5 is left out.");
    EXPECT_EQ(lines[1], "Error while calculating measurements at frame: 3. Code: no ray crossed both walls twice");
    const auto numbers = SheetNumbers(*w);
    ASSERT_EQ(numbers.size(), 4u);
    EXPECT_EQ(numbers[3][0], 6.0);
    auto* line = static_cast<QLineSeries*>(w->Charts[0]->chart()->series()[0]);
    ASSERT_EQ(line->count(), 4);
    EXPECT_EQ(line->at(3).x(), 6.0);
}

TEST_F(GraphWindow, OpeningFailureIsReported)
{
    dm->MyEmbConnection1.Disconnect();
    EXPECT_EQ(Open(), nullptr);
    EXPECT_TRUE(GraphForm.isNull());
    ASSERT_EQ(prompter.messages.size(), 1u);
    EXPECT_EQ(prompter.messages[0].kind, Prompter::Kind::ErrorDialog);
    EXPECT_TRUE(prompter.messages[0].text.startsWith("A problem occured while opening window!"));
}

}  // namespace
