// The 3D view inside the shell, opened from the main window's "3D reconstruction" button over
// a fixture database that holds the helix card of the reconstruction tests: the catheter
// traced along a helix in both views and circles for the walls of every analysed frame.
// Rendering runs on the real GL widget (Mesa under xvfb-run); messages are recorded by the
// scripted prompter, the fly-through runs on an injected clock.
#include "reconstruction/ui/viewer.h"
#include "reconstruction/ui/export.h"
#include "reconstruction/ui/scene_renderer.h"
#include "reconstruction/ui/scene_viewer.h"
#include "reconstruction/core/export_testutil.h"
#include "reconstruction/core/helix_testutil.h"

#include "app/child_registry.h"
#include "app/data.h"
#include "app/forms.h"
#include "app/main_form.h"
#include "app/paths.h"
#include "app/prompter.h"
#include "study/frame_files.h"
#include "support/test_workstation.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>
#include <dlfcn.h>
#include <link.h>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

namespace fs = std::filesystem;
using namespace kestrova::reconstruction;

namespace {

constexpr int kCode = 7;
constexpr int kFrames = 40;
constexpr int kTracingPoints = 150;  // the reconstruction tests' size (the benchmark uses 300)

std::string ListText(const std::vector<int>& values)
{
    std::string text;
    for (int v : values)
        text += std::to_string(v) + " ";
    return text + "-1";
}

// "'x list', 'y list'" of a contour.
std::string Columns(const WallContour& points)
{
    std::vector<int> xs, ys;
    for (const PixelPoint& p : points)
        xs.push_back(p.x), ys.push_back(p.y);
    return "'" + ListText(xs) + "', '" + ListText(ys) + "'";
}

// The helix card: tracings of `laoPoints` and kTracingPoints points, outer circles of 8 and
// inner circles of 5 model units on every frame (inner walls left out when asked).
std::string HelixCardSql(int laoPoints = kTracingPoints, bool innerWalls = true)
{
    const WallContour lao = helix_test::LaoTracing(kTracingPoints), rao = helix_test::RaoTracing(kTracingPoints);
    const WallContour laoUsed(lao.begin(), lao.begin() + laoPoints);
    std::string sql = "INSERT INTO patient(code, surname, name) VALUES (7, 'Doe', 'John');\n"
                      "INSERT INTO ivus(patientID, catheterCenterX, catheterCenterY, catheterEdgeX, catheterEdgeY) "
                      "VALUES (7, 256, 256, 266, 256);\n"
                      "INSERT INTO angio(patientID, LcatheterX, LcatheterY, RcatheterX, RcatheterY, LAOframe, RAOframe) "
                      "VALUES (7, " + Columns(laoUsed) + ", " + Columns(rao) + ", 0, 0);\n";
    for (int k = 0; k < kFrames; ++k) {
        const std::string outer = Columns(helix_test::Circle({256, 256}, 16 * 8.0));
        sql += "INSERT INTO outerWall(patientID, frame, telodiastolicFrame, outerWallX, outerWallY, userOuterWallX, "
               "userOuterWallY) VALUES (7, " + std::to_string(k) + ", " + std::to_string(2 * k) + ", " + outer + ", " +
               outer + ");\n";
        if (!innerWalls)
            continue;
        const std::string inner = Columns(helix_test::Circle({256, 256}, 16 * 5.0));
        sql += "INSERT INTO innerWall(patientID, frame, telodiastolicFrame, innerWallX, innerWallY, userInnerWallX, "
               "userInnerWallY) VALUES (7, " + std::to_string(k) + ", " + std::to_string(2 * k) + ", " + inner + ", " +
               inner + ");\n";
    }
    return sql;
}

// An IVUS-like frame: dark lumen around the catheter, a bright speckled wall ring between
// the inner (80 px) and outer (128 px) circles, the catheter as a bright dot at (256, 256).
void WriteIvusFrame(const fs::path& file, int k)
{
    fs::create_directories(file.parent_path());
    cv::Mat image(512, 512, CV_8UC1, cv::Scalar(0));
    cv::RNG rng(k + 1);
    cv::Mat noise(512, 512, CV_8UC1);
    rng.fill(noise, cv::RNG::UNIFORM, 0, 60);
    image += noise;
    cv::circle(image, {256, 256}, 128 + 40, cv::Scalar(70), -1);
    cv::circle(image, {256, 256}, 128, cv::Scalar(170), -1);
    cv::circle(image, {256, 256}, 80, cv::Scalar(25), -1);
    cv::Mat speckle(512, 512, CV_8UC1);
    rng.fill(speckle, cv::RNG::UNIFORM, 0, 50);
    image -= speckle;
    cv::circle(image, {256, 256}, 10, cv::Scalar(230), -1);
    cv::GaussianBlur(image, image, {5, 5}, 1.2);
    ASSERT_TRUE(cv::imwrite(file.string(), image));
}

// Keeps the loaded GL driver modules in memory until the process ends: the driver's
// caches are held by its own globals, which the leak checker scans only while the module
// is loaded (once unloaded, they show as leaks allocated in an unknown module).
void PinGlDriver()
{
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void*) {
            const std::string name = info->dlpi_name ? info->dlpi_name : "";
            if (name.find("_dri.so") != std::string::npos || name.find("gallium") != std::string::npos)
                dlopen(name.c_str(), RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
            return 0;
        },
        nullptr);
}

int CountPixels(const QImage& image, const std::function<bool(QColor)>& test)
{
    int count = 0;
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < rgb.height(); ++y)
        for (int x = 0; x < rgb.width(); ++x)
            count += test(QColor(rgb.pixel(x, y)));
    return count;
}

bool IsWhitish(QColor c)
{
    return c.red() > 190 && c.green() > 190 && c.blue() > 190;
}

bool IsCatheterColour(QColor c)
{
    return std::abs(c.red() - 127) <= 2 && c.green() <= 2 && c.blue() >= 253;
}

class ViewerWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(root.isValid() && runtime.isValid());
        BeginTestWorkstation(root.path(), runtime.path(), &prompter);
        savedBrowser = TExportForm::FolderBrowser();
        TExportForm::FolderBrowser() = [this](QWidget*, const QString& caption) {
            captions << caption;
            return answer;
        };
        savedClock = TViewerForm::FlyThroughClock();
        TViewerForm::FlyThroughClock() = [this] { return now; };

        ConnectTestDatabase();

        ChildWindowRegistry registry;
        registry.Register(ChildWindow::Viewer3D, CreateViewerForm);
        MainForm = new TMainForm(registry);
        MainForm->resize(1400, 900);
        MainForm->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(MainForm.data()));
        MainForm->PatientCode = kCode;
        MainForm->IVUSFrameCount = kFrames;
        for (int k = 0; k < kFrames; ++k)
            MainForm->EndDiastolicFrames.push_back(static_cast<std::uint32_t>(2 * k));
        program = fs::path(QFile::encodeName(root.path()).toStdString());
        for (int k = 0; k < kFrames; ++k)
            WriteIvusFrame(FrameFilePath(program, 7, "IVUS", 2 * k), k);
        output = program / "chosen";
        fs::create_directories(output);
        answer = QString::fromStdString(output.string());
    }

    void TearDown() override
    {
        EndTestWorkstation();
        TViewerForm::FlyThroughClock() = savedClock;
        TExportForm::FolderBrowser() = savedBrowser;
    }

    void Sql(const std::string& sql)
    {
        QProcess p;
        p.start(QStringLiteral("sqlite3"), {QStringLiteral("-batch"), AppPaths::DatabaseFile()});
        ASSERT_TRUE(p.waitForStarted());
        p.write(QByteArray::fromStdString(sql));
        p.closeWriteChannel();
        ASSERT_TRUE(p.waitForFinished(30000));
        ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    }

    // Presses "3D reconstruction"; returns the open view (null when none opened).
    TViewerForm* Open()
    {
        MainForm->dxBarLargeButton12Click();
        auto* view = qobject_cast<TViewerForm*>(ViewerForm.data());
        if (view) {
            view->showMaximized();
            EXPECT_TRUE(QTest::qWaitForWindowExposed(view));
            QCoreApplication::processEvents();
            PinGlDriver();
        }
        return view;
    }

    // Frames the whole helix (as the user would with the arrow keys and the wheel): the
    // camera's target moves to the middle of the path, the camera away from it.
    static void FrameTheVessel(TViewerForm& view)
    {
        Scene& scene = *view.GLScene1();
        const auto& path = view.Model()->catheterPath;
        const TPointXYZ mid = path[path.size() / 2];
        scene.DCCamera->position = scene.TopLevel().back()->WorldMatrix().Point({mid.x * 0.25, mid.y * 0.25, mid.z * 0.25});
        scene.GLCamera->AdjustDistanceToTarget(3.5);
        scene.GLCamera->MoveAroundTarget(20, 0);
    }

    static QImage Grab(TViewerForm& view)
    {
        view.GLSceneViewer1->update();
        QCoreApplication::processEvents();
        return view.GLSceneViewer1->grabFramebuffer();
    }

    static void SaveScreenshot(TViewerForm& view, const char* name)
    {
        QCoreApplication::processEvents();
        const QPixmap shot = view.grab();
        EXPECT_TRUE(shot.save(QString::fromUtf8(KESTROVA_BINARY_DIR) + "/" + name)) << name;
    }

    std::vector<std::string> Texts() const
    {
        std::vector<std::string> t;
        for (const auto& m : prompter.messages)
            t.push_back(m.text.toStdString());
        return t;
    }

    QTemporaryDir root;
    QTemporaryDir runtime;
    ScriptedPrompter prompter;
    ExportFolderBrowser savedBrowser;
    TViewerForm::Clock savedClock;
    double now = 100.0;
    fs::path program;
    fs::path output;
    QString answer;
    QStringList captions;
};

} // namespace

// 4x multisampling where the driver renders in hardware; none on a software renderer.
TEST(SceneRendererFormat, MultisamplesOnlyWhereTheDriverRendersInHardware)
{
    const struct {
        const char* renderer;
        bool software;
    } cases[] = {
        {"llvmpipe (LLVM 15.0.6, 256 bits)", true},
        {"softpipe", true},
        {"Mesa X11 swrast", true},
        {"Software Rasterizer", true},
        {"Mesa Intel(R) UHD Graphics 620 (KBL GT2)", false},
        {"AMD Radeon RX 6600 (navi23, LLVM 15.0.6, DRM 3.49, 6.1.0-13-amd64)", false},
        {"NVIDIA GeForce GTX 1080/PCIe/SSE2", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SceneRenderer::IsSoftwareRenderer(QString::fromLatin1(c.renderer)), c.software) << c.renderer;
    EXPECT_EQ(SceneRenderer::Format(4).samples(), 4);
    EXPECT_EQ(SceneRenderer::Format().samples(), SceneRenderer::SamplesForThisDriver());

    // The driver the tests run on (Mesa's software renderer under xvfb) keeps today's choice.
    QOpenGLContext context;
    QOffscreenSurface surface;
    surface.create();
    ASSERT_TRUE(context.create() && context.makeCurrent(&surface));
    const QString renderer = QString::fromLatin1(reinterpret_cast<const char*>(context.functions()->glGetString(GL_RENDERER)));
    context.doneCurrent();
    EXPECT_EQ(SceneRenderer::SamplesForThisDriver(), SceneRenderer::IsSoftwareRenderer(renderer) ? 0 : 4) << renderer.toStdString();
}

TEST_F(ViewerWindow, TheHelixCardShowsTheCatheterAndItsContours)
{
    Sql(HelixCardSql());
    TViewerForm* view = Open();
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->windowTitle(), "3D display");
    EXPECT_TRUE(prompter.messages.empty()) << ::testing::PrintToString(Texts());
    ASSERT_TRUE(view->Model().has_value());
    const Scene& scene = *view->GLScene1();
    EXPECT_EQ(scene.LinesFromLast().size(), 1u + 2u * kFrames);
    EXPECT_TRUE(view->Model()->outerSurface && view->Model()->innerSurface);
    EXPECT_FALSE(scene.GLActor1->GetMesh().Empty());
    EXPECT_FALSE(scene.GLActor1->visible);
    // Frame 0 is shown, its lines red; the slider ends at the last frame.
    EXPECT_EQ(view->ShownFrame(), 0);
    EXPECT_EQ(view->Label2->text(), "Frame #1");
    EXPECT_TRUE(view->ShownFramePath().endsWith("/IVUS/IVUS.0.jpg"));
    EXPECT_FALSE(view->ImgView->pixmap().isNull());
    EXPECT_EQ(static_cast<SceneLines*>(scene.Find("outer1"))->nodeColour, kHighlightColour);
    EXPECT_EQ(view->TrackBar1->maximum(), kFrames - 1);
    // Camera 2 sits on path point 0, looking at point 1.
    const auto& path = view->Model()->catheterPath;
    EXPECT_NEAR(scene.GLDummyCube1->position.y, path[1].y * 0.25, 1e-5);

    FrameTheVessel(*view);
    const QImage shown = Grab(*view);
    const int catheterPixels = CountPixels(shown, IsCatheterColour);
    EXPECT_GT(catheterPixels, 300);
    const int whitePixels = CountPixels(shown, IsWhitish);
    EXPECT_GT(whitePixels, 100);
    SaveScreenshot(*view, "viewer-window.png");

    // "Show catheter" off: its pixels are gone; on again: back.
    view->CheckBox10->click();
    EXPECT_EQ(CountPixels(Grab(*view), IsCatheterColour), 0);
    view->CheckBox10->click();
    EXPECT_EQ(CountPixels(Grab(*view), IsCatheterColour), catheterPixels);
    // Contours hidden by wall.
    view->CheckBox5->click();
    EXPECT_LT(CountPixels(Grab(*view), IsWhitish), whitePixels / 10);
    view->CheckBox5->click();
}

TEST_F(ViewerWindow, SurfacesCoverThePictureInTheirMaterialColours)
{
    Sql(HelixCardSql());
    TViewerForm* view = Open();
    ASSERT_NE(view, nullptr);
    FrameTheVessel(*view);
    // The outer wall's materials: red emission over a purple ambient, so its pixels are
    // bright red to pink whatever the light; the catheter (127, 0, 255) and the grey are not.
    auto reddish = [](QColor c) { return c.red() > 160 && c.red() > c.green() + 60; };
    const int before = CountPixels(Grab(*view), reddish);
    view->CheckBox3->click();
    EXPECT_TRUE(view->GLScene1()->GLActor1->visible);
    const QImage outer = Grab(*view);
    const int after = CountPixels(outer, reddish);
    EXPECT_GT(after, before + 5000) << before;
    // Wireframe draws the front faces as lines.
    view->CheckBox1->click();
    EXPECT_TRUE(view->GLScene1()->GLActor1->wireframe);
    EXPECT_NE(Grab(*view), outer);
    view->CheckBox1->click();
    // "Out" turns the normals: the picture changes, the surface stays.
    view->RadioButton2->click();
    EXPECT_FALSE(view->GLScene1()->GLActor1->normalsInverted);
    view->RadioButton1->click();
    EXPECT_TRUE(view->GLScene1()->GLActor1->normalsInverted);
    // Both surfaces, the outer one transparent.
    view->CheckBox7->click();
    view->CheckBox4->click();
    EXPECT_FLOAT_EQ(view->GLScene1()->GLActor1->front.diffuse.a, 0.5f);
    const QImage both = Grab(*view);
    EXPECT_NE(both, outer);
    SaveScreenshot(*view, "viewer-surfaces.png");
    view->CheckBox4->click();
    EXPECT_FLOAT_EQ(view->GLScene1()->GLActor1->front.diffuse.a, 1.0f);
}

TEST_F(ViewerWindow, PickingAContourShowsItsFrameAndTheCatheterNothing)
{
    Sql(HelixCardSql());
    TViewerForm* view = Open();
    ASSERT_NE(view, nullptr);
    FrameTheVessel(*view);
    Grab(*view);
    Scene& scene = *view->GLScene1();
    const SceneCamera& camera = *view->GLSceneViewer1->Camera();
    const int w = view->GLSceneViewer1->width(), h = view->GLSceneViewer1->height();
    const Mat4 vp = camera.ProjectionMatrix(w, h) * camera.ViewMatrix();
    // A node of frame 12's outer contour that nothing else covers.
    auto* ring = static_cast<SceneLines*>(scene.Find("outer12"));
    ScreenPoint target;
    for (const Vec3& node : ring->nodes) {
        const ScreenPoint p = ProjectToWindow(vp * ring->WorldMatrix(), node, w, h);
        if (p.inFront && scene.PickLine(camera, w, h, p.x, p.y) == ring) {
            target = p;
            break;
        }
    }
    ASSERT_TRUE(target.inFront) << "no free node of outer12 on the screen";
    QTest::mouseClick(view->GLSceneViewer1, Qt::LeftButton, {}, QPoint(int(std::lround(target.x)), int(std::lround(target.y))));
    EXPECT_EQ(view->ShownFrame(), 11);
    EXPECT_EQ(view->Label2->text(), "Frame #12");
    EXPECT_TRUE(view->ShownFramePath().endsWith("/IVUS.22.jpg"));
    EXPECT_EQ(view->TrackBar1->value(), 11);
    EXPECT_EQ(ring->nodeColour, kHighlightColour);

    // The catheter: picked, but no frame is shown.
    auto* catheter = static_cast<SceneLines*>(scene.Find("catheter"));
    bool clicked = false;
    for (std::size_t i = 0; i < catheter->nodes.size() && !clicked; i += 3) {
        const ScreenPoint p = ProjectToWindow(vp * catheter->WorldMatrix(), catheter->nodes[i], w, h);
        if (p.inFront && p.x > 5 && p.y > 5 && p.x < w - 5 && p.y < h - 5 &&
            scene.PickLine(camera, w, h, p.x, p.y) == catheter) {
            QTest::mouseClick(view->GLSceneViewer1, Qt::LeftButton, {}, QPoint(int(std::lround(p.x)), int(std::lround(p.y))));
            clicked = true;
        }
    }
    ASSERT_TRUE(clicked);
    EXPECT_EQ(view->ShownFrame(), 11);

    // The slider shows the frame of its position.
    view->TrackBar1->setValue(5);
    EXPECT_EQ(view->ShownFrame(), 5);
    EXPECT_EQ(view->Label2->text(), "Frame #6");
}

TEST_F(ViewerWindow, TheFlyThroughShowsEveryFrameAndStopsAtTheLast)
{
    Sql(HelixCardSql());
    TViewerForm* view = Open();
    ASSERT_NE(view, nullptr);
    Scene& scene = *view->GLScene1();
    view->Button6->click();
    EXPECT_TRUE(view->FlyThroughRunning());
    EXPECT_EQ(view->GLSceneViewer1->Camera(), scene.GLCamera2);
    std::vector<int> shown;
    const double start = now;
    for (int tick = 0; tick < 2000 && view->FlyThroughRunning(); ++tick) {
        now = start + tick * 0.02;  // 0.08 s of cadencer time per tick
        view->GLCadencer2Progress();
        if (shown.empty() || shown.back() != view->ShownFrame())
            shown.push_back(view->ShownFrame());
    }
    EXPECT_FALSE(view->FlyThroughRunning());
    // Stopped once the cadencer's whole time reached N - 1 seconds.
    EXPECT_NEAR((now - start) * 4.0, kFrames - 1, 0.1);
    std::vector<int> expected;
    for (int k = 0; k < kFrames - 1; ++k)
        expected.push_back(k);
    if (view->Model()->catheterPath.size() > static_cast<std::size_t>(kFrames))
        expected.push_back(kFrames - 1);
    EXPECT_EQ(shown, expected);
    EXPECT_EQ(view->GLSceneViewer1->Camera(), scene.GLCamera);
    EXPECT_EQ(scene.GLCamera2->target, scene.DCFollowPath);
    // Cam 2 and Cam 1 switch the viewer's camera.
    view->Button7->click();
    EXPECT_EQ(view->GLSceneViewer1->Camera(), scene.GLCamera2);
    view->Button8->click();
    EXPECT_EQ(view->GLSceneViewer1->Camera(), scene.GLCamera);
}

TEST_F(ViewerWindow, ArrowKeysPanTheCamera)
{
    Sql(HelixCardSql());
    TViewerForm* view = Open();
    ASSERT_NE(view, nullptr);
    Scene& scene = *view->GLScene1();
    // Other test programs share the X server: make this window the active one in Qt's eyes
    // so that the focus does not depend on which window the server activated last.
    QApplication::setActiveWindow(view->window());
    view->GLSceneViewer1->setFocus();
    ASSERT_TRUE(view->GLSceneViewer1->hasFocus());
    const Vec3 start = scene.DCCamera->position;
    const Vec3 right = scene.GLCamera->AbsoluteRight();
    QTest::keyPress(view->GLSceneViewer1, Qt::Key_Right);
    view->GLCadencer1Progress(0.5);
    QTest::keyRelease(view->GLSceneViewer1, Qt::Key_Right);
    view->GLCadencer1Progress(0.5);
    EXPECT_LT(Length(scene.DCCamera->position - (start + right * 5.0)), 1e-9);
}

TEST_F(ViewerWindow, ExportWritesBothWallsAndReplacesThem)
{
    Sql(HelixCardSql());
    TViewerForm* view = Open();
    ASSERT_NE(view, nullptr);
    view->Button1->click();
    view->Button2->click();
    view->Button2->click();
    EXPECT_EQ(captions, QStringList({"Select output folder", "Select output folder", "Select output folder"}));
    const fs::path outer = output / "outerSurface_7.vsf", inner = output / "innerSurface_7.vsf";
    EXPECT_TRUE(fs::exists(outer) && fs::exists(inner));
    EXPECT_EQ(Texts(), (std::vector<std::string>{outer.string() + " is exported!", inner.string() + " is exported!",
                                                  inner.string() + " is exported!"}));
    // Cancelled: nothing.
    answer.clear();
    prompter.Clear();
    view->Button1->click();
    EXPECT_TRUE(prompter.messages.empty());
}

TEST_F(ViewerWindow, ACardWithoutInnerWallsExportsNoInnerFile)
{
    Sql(HelixCardSql(kTracingPoints, false));
    TViewerForm* view = Open();
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->GLScene1()->LinesFromLast().size(), 1u + kFrames);
    EXPECT_TRUE(view->GLScene1()->GLActor2->GetMesh().Empty());
    view->Button2->click();
    ASSERT_EQ(prompter.messages.size(), 1u);
    EXPECT_EQ(prompter.messages[0].kind, Prompter::Kind::ErrorDialog);
    EXPECT_NE(prompter.messages[0].text.indexOf("inner wall"), -1) << prompter.messages[0].text.toStdString();
    EXPECT_FALSE(fs::exists(output / "innerSurface_7.vsf"));
    // A folder that cannot be written: the path is named.
    prompter.Clear();
    answer = QString::fromStdString((output / "missing").string());
    view->Button1->click();
    ASSERT_EQ(prompter.messages.size(), 1u);
    EXPECT_EQ(prompter.messages[0].text.toStdString(),
              "Unable to open output file.\n" + (output / "missing" / "outerSurface_7.vsf").string() +
                  ": No such file or directory");
}

TEST_F(ViewerWindow, ARefusedReconstructionLeavesAnEmptyUsableView)
{
    Sql(HelixCardSql(2));  // an LAO tracing of two points
    TViewerForm* view = Open();
    ASSERT_NE(view, nullptr);
    ASSERT_EQ(prompter.messages.size(), 1u);
    EXPECT_EQ(prompter.messages[0].kind, Prompter::Kind::Plain);
    EXPECT_FALSE(view->Model().has_value());
    EXPECT_TRUE(view->GLScene1()->LinesFromLast().empty());
    // Every control still works on the empty scene.
    for (QCheckBox* box : {view->CheckBox1, view->CheckBox3, view->CheckBox4, view->CheckBox5, view->CheckBox10})
        box->click();
    view->Button6->click();
    now += 1.0;
    view->GLCadencer2Progress();
    EXPECT_FALSE(view->FlyThroughRunning());
    view->TrackBar1->setValue(3);
    QTest::mouseClick(view->GLSceneViewer1, Qt::LeftButton, {}, QPoint(50, 50));
    Grab(*view);
    prompter.Clear();
    view->Button1->click();
    ASSERT_EQ(prompter.messages.size(), 1u);
    EXPECT_NE(prompter.messages[0].text.indexOf("outer wall"), -1);
}

TEST_F(ViewerWindow, ClosingFreesEverythingAndReopeningRebuildsFromTheDatabase)
{
    Sql(HelixCardSql());
    QPointer<TViewerForm> view = Open();
    ASSERT_TRUE(view);
    view->close();
    ASSERT_TRUE(view);  // freed later, after the close
    EXPECT_EQ(view->GLScene1(), nullptr);
    EXPECT_FALSE(view->Model().has_value());
    EXPECT_TRUE(ViewerForm.isNull());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(view.isNull());

    Sql("DELETE FROM outerWall WHERE frame = 3;");
    TViewerForm* again = Open();
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(again->GLScene1()->LinesFromLast().size(), 2u * kFrames);
    EXPECT_EQ(again->GLScene1()->Find("outer4"), nullptr);
    EXPECT_NE(again->GLScene1()->Find("inner4"), nullptr);
}

// A damaged stored contour leaves out that frame only: the model is built, and the remark
// (told once the opening hourglass is gone) names the wall, the frame as the slider counts
// it and the card. A frame file that cannot be read is named in the image panel.
TEST_F(ViewerWindow, ADamagedContourAndAMissingFrameFileAreNamed)
{
    Sql(HelixCardSql());
    Sql("UPDATE outerWall SET outerWallY = '' WHERE frame = 3;");
    fs::remove(FrameFilePath(program, 7, "IVUS", 0));
    std::vector<bool> hourglassUp;
    prompter.on_message = [&](const ScriptedPrompter::Record&) {
        hourglassUp.push_back(QApplication::overrideCursor() != nullptr);
    };
    TViewerForm* view = Open();
    prompter.on_message = nullptr;
    ASSERT_NE(view, nullptr);
    ASSERT_TRUE(view->Model().has_value());
    EXPECT_EQ(view->GLScene1()->Find("outer4"), nullptr);
    EXPECT_NE(view->GLScene1()->Find("inner4"), nullptr);
    EXPECT_NE(view->GLScene1()->Find("outer5"), nullptr);
    ASSERT_EQ(prompter.messages.size(), 1u);
    EXPECT_EQ(prompter.messages[0].kind, Prompter::Kind::Warning);
    EXPECT_NE(prompter.messages[0].text.indexOf(
                  "The stored outer wall of frame 4 of card 7 cannot be read (outerWallY: \"\" is not a point list); "
                  "frame 4 is left out."),
              -1)
        << prompter.messages[0].text.toStdString();
    EXPECT_EQ(hourglassUp, std::vector<bool>{false});
    // Frame 1's file is missing: the panel names it.
    EXPECT_EQ(view->ShownFrame(), 0);
    EXPECT_TRUE(view->ImgView->text().contains(QString::fromStdString(FrameFilePath(program, 7, "IVUS", 0).string())))
        << view->ImgView->text().toStdString();
    SaveScreenshot(*view, "viewer_missing_frame.png");
}
