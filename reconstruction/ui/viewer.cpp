#include "reconstruction/ui/viewer.h"

#include "app/frame_image.h"
#include "app/paths.h"
#include "app/prompter.h"
#include "reconstruction/card/card_input.h"
#include "reconstruction/core/tessellation.h"
#include "reconstruction/ui/export.h"
#include "reconstruction/ui/scene_viewer.h"
#include "study/frame_reader.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QSlider>
#include <QTimer>
#include <QVBoxLayout>

#include <chrono>
#include <cmath>

using namespace kestrova::reconstruction;

namespace {

constexpr double kFlyThroughSpeed = 4.0;  // cadencer time per second of real time
constexpr int kCadencerInterval = 20;     // milliseconds between cadencer ticks

double SteadySeconds()
{
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

// 0.25 x a path point, each coordinate stored as a single-precision value.
Vec3 ScenePoint(const TPointXYZ& p)
{
    auto f = [](double v) { return static_cast<double>(static_cast<float>(v * kReconstructionScale)); };
    return {f(p.x), f(p.y), f(p.z)};
}

} // namespace

TViewerForm::Clock& TViewerForm::FlyThroughClock()
{
    static Clock clock = SteadySeconds;
    return clock;
}

QWidget* CreateViewerForm(const WindowContext& context)
{
    return new TViewerForm(context);
}

TViewerForm::TViewerForm(const WindowContext& context, QWidget* parent)
    : TChildForm(QStringLiteral("ViewerForm"), QStringLiteral("3D display"), QSize(991, 674), parent), context_(context)
{
    if (!context_.Card)
        throw std::runtime_error("The 3D view needs the main window");
    code_ = context_.Card->GetSelectedPatient();
    scene_ = std::make_unique<Scene>();
    BuildComponents();
    GLSceneViewer1->SetScene(scene_.get());
    qApp->installEventFilter(this);
    cadencer1Clock_.start();
    GLCadencer1->start();
}

TViewerForm::~TViewerForm()
{
    qApp->removeEventFilter(this);
}

QGroupBox* TViewerForm::BuildWallGroup(const QString& title, QCheckBox*& contours, QCheckBox*& surface,
                                       QCheckBox*& wireframe, QRadioButton*& in, QRadioButton*& out,
                                       QCheckBox*& transparent, QPushButton*& exportButton)
{
    auto* group = new QGroupBox(title);
    auto* layout = new QVBoxLayout(group);
    contours = new QCheckBox(QStringLiteral("Show contours"));
    contours->setChecked(true);
    surface = new QCheckBox(QStringLiteral("Show surface"));
    wireframe = new QCheckBox(QStringLiteral("Show wireframe"));
    auto* normals = new QHBoxLayout;
    in = new QRadioButton(QStringLiteral("In"));
    in->setChecked(true);
    out = new QRadioButton(QStringLiteral("Out"));
    normals->addWidget(new QLabel(QStringLiteral("Normals:")));
    normals->addWidget(in);
    normals->addWidget(out);
    normals->addStretch();
    transparent = new QCheckBox(QStringLiteral("Show transparent"));
    exportButton = new QPushButton(QStringLiteral("Export 3D model"));
    layout->addWidget(contours);
    layout->addWidget(surface);
    layout->addWidget(wireframe);
    layout->addLayout(normals);
    layout->addWidget(transparent);
    layout->addWidget(exportButton);
    return group;
}

void TViewerForm::BuildComponents()
{
    auto* client = new QWidget;
    auto* row = new QHBoxLayout(client);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);

    Panel2 = new QWidget;
    Panel2->setObjectName(QStringLiteral("Panel2"));
    Panel2->setFixedWidth(297);
    auto* panel2Layout = new QVBoxLayout(Panel2);
    panel2Layout->setContentsMargins(0, 0, 0, 0);
    ScrollBox1 = new QScrollArea;
    ScrollBox1->setObjectName(QStringLiteral("ScrollBox1"));
    ScrollBox1->setWidgetResizable(true);
    ScrollBox1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    panel2Layout->addWidget(ScrollBox1);
    auto* controls = new QWidget;
    auto* column = new QVBoxLayout(controls);

    ImgView = new QLabel;
    ImgView->setObjectName(QStringLiteral("ImgView"));
    ImgView->setFixedSize(256, 256);
    ImgView->setAlignment(Qt::AlignCenter);
    ImgView->setWordWrap(true);
    ImgView->setStyleSheet(QStringLiteral("background-color: black; color: white;"));
    column->addWidget(ImgView, 0, Qt::AlignHCenter);
    Label2 = new QLabel(QStringLiteral("Frame #"));
    Label2->setObjectName(QStringLiteral("Label2"));
    column->addWidget(Label2);
    TrackBar1 = new QSlider(Qt::Horizontal);
    TrackBar1->setObjectName(QStringLiteral("TrackBar1"));
    TrackBar1->setTickPosition(QSlider::NoTicks);
    TrackBar1->setRange(0, 103);
    column->addWidget(TrackBar1);

    GroupBox1 = BuildWallGroup(QStringLiteral("Outer Wall"), CheckBox5, CheckBox3, CheckBox1, RadioButton1, RadioButton2,
                               CheckBox4, Button1);
    CheckBox2 = new QCheckBox(QStringLiteral("texture"));
    CheckBox2->setVisible(false);
    GroupBox1->layout()->addWidget(CheckBox2);
    GroupBox2 = BuildWallGroup(QStringLiteral("Inner Wall"), CheckBox9, CheckBox7, CheckBox6, RadioButton3, RadioButton4,
                               CheckBox8, Button2);
    column->addWidget(GroupBox1);
    column->addWidget(GroupBox2);

    GroupBox3 = new QGroupBox(QStringLiteral("Catheter"));
    auto* catheter = new QGridLayout(GroupBox3);
    CheckBox10 = new QCheckBox(QStringLiteral("Show catheter"));
    CheckBox10->setChecked(true);
    Button6 = new QPushButton(QStringLiteral("Follow catheter path"));
    Button8 = new QPushButton(QStringLiteral("Cam 1"));
    Button7 = new QPushButton(QStringLiteral("Cam 2"));
    catheter->addWidget(CheckBox10, 0, 0, 1, 2);
    catheter->addWidget(Button6, 1, 0, 1, 2);
    catheter->addWidget(Button8, 2, 0);
    catheter->addWidget(Button7, 2, 1);
    column->addWidget(GroupBox3);
    column->addStretch();
    ScrollBox1->setWidget(controls);

    Panel1 = new QWidget;
    Panel1->setObjectName(QStringLiteral("Panel1"));
    auto* panel1Layout = new QVBoxLayout(Panel1);
    panel1Layout->setContentsMargins(0, 0, 0, 0);
    GLSceneViewer1 = new TSceneViewer;
    panel1Layout->addWidget(GLSceneViewer1);

    row->addWidget(Panel2);
    row->addWidget(Panel1, 1);
    setWidget(client);

    GLCadencer1 = new QTimer(this);
    GLCadencer1->setObjectName(QStringLiteral("GLCadencer1"));
    GLCadencer1->setInterval(kCadencerInterval);
    GLCadencer2 = new QTimer(this);
    GLCadencer2->setObjectName(QStringLiteral("GLCadencer2"));
    GLCadencer2->setInterval(kCadencerInterval);

    const struct {
        QObject* object;
        const char* name;
    } names[] = {{CheckBox1, "CheckBox1"},     {CheckBox2, "CheckBox2"},     {CheckBox3, "CheckBox3"},
                 {CheckBox4, "CheckBox4"},     {CheckBox5, "CheckBox5"},     {CheckBox6, "CheckBox6"},
                 {CheckBox7, "CheckBox7"},     {CheckBox8, "CheckBox8"},     {CheckBox9, "CheckBox9"},
                 {CheckBox10, "CheckBox10"},   {RadioButton1, "RadioButton1"}, {RadioButton2, "RadioButton2"},
                 {RadioButton3, "RadioButton3"}, {RadioButton4, "RadioButton4"}, {Button1, "Button1"},
                 {Button2, "Button2"},         {Button6, "Button6"},         {Button7, "Button7"},
                 {Button8, "Button8"},         {GroupBox1, "GroupBox1"},     {GroupBox2, "GroupBox2"},
                 {GroupBox3, "GroupBox3"}};
    for (const auto& n : names)
        n.object->setObjectName(QString::fromLatin1(n.name));

    WireWall(Wall::Outer, CheckBox5, CheckBox3, CheckBox1, RadioButton1, RadioButton2, CheckBox4);
    WireWall(Wall::Inner, CheckBox9, CheckBox7, CheckBox6, RadioButton3, RadioButton4, CheckBox8);
    connect(CheckBox2, &QCheckBox::clicked, this, [this] {
        if (MeshActor* a = Actor(Wall::Outer))
            a->textureDisabled = !a->textureDisabled;
    });
    connect(CheckBox10, &QCheckBox::toggled, this, [this](bool on) {
        if (scene_)
            scene_->SetCatheterVisible(on);
        Redraw();
    });
    connect(TrackBar1, &QSlider::valueChanged, this, [this] { TrackBar1Change(); });
    connect(GLSceneViewer1, &TSceneViewer::mousePressed, this, [this](QPoint p) { GLSceneViewer1MouseDown(p); });
    connect(Button1, &QPushButton::clicked, this, [this] { RunGuarded([this] { Button1Click(); }); });
    connect(Button2, &QPushButton::clicked, this, [this] { RunGuarded([this] { Button2Click(); }); });
    connect(Button6, &QPushButton::clicked, this, [this] { Button6Click(); });
    connect(Button7, &QPushButton::clicked, this, [this] { Button7Click(); });
    connect(Button8, &QPushButton::clicked, this, [this] { Button8Click(); });
    connect(GLCadencer1, &QTimer::timeout, this, [this] {
        const double dt = cadencer1Clock_.restart() / 1000.0;
        GLCadencer1Progress(dt);
    });
    connect(GLCadencer2, &QTimer::timeout, this, [this] { GLCadencer2Progress(); });
}

MeshActor* TViewerForm::Actor(Wall wall) const
{
    if (!scene_)
        return nullptr;
    return wall == Wall::Outer ? scene_->GLActor1 : scene_->GLActor2;
}

void TViewerForm::WireWall(Wall wall, QCheckBox* contours, QCheckBox* surface, QCheckBox* wireframe,
                           QRadioButton* in, QRadioButton* out, QCheckBox* transparent)
{
    const char prefix = wall == Wall::Outer ? 'o' : 'i';
    connect(contours, &QCheckBox::toggled, this, [this, prefix](bool on) {
        if (scene_)
            scene_->SetContoursVisible(prefix, on);
        Redraw();
    });
    auto onActor = [this, wall](auto change) {
        return [this, wall, change](bool on) {
            if (MeshActor* a = Actor(wall))
                change(*a, on);
            Redraw();
        };
    };
    connect(surface, &QCheckBox::toggled, this, onActor([](MeshActor& a, bool on) { a.visible = on; }));
    connect(wireframe, &QCheckBox::toggled, this, onActor([](MeshActor& a, bool on) { a.wireframe = on; }));
    connect(in, &QRadioButton::toggled, this, onActor([](MeshActor& a, bool on) {
                if (on)
                    a.normalsInverted = true;
            }));
    connect(out, &QRadioButton::toggled, this, onActor([](MeshActor& a, bool on) {
                if (on)
                    a.normalsInverted = false;
            }));
    connect(transparent, &QCheckBox::toggled, this,
            onActor([](MeshActor& a, bool on) { a.front.diffuse.a = on ? 0.5f : 1.0f; }));
}

void TViewerForm::Redraw()
{
    GLSceneViewer1->update();
}

void TViewerForm::showEvent(QShowEvent* e)
{
    TChildForm::showEvent(e);
    if (!shown_) {
        shown_ = true;
        FormShow();
    }
}

void TViewerForm::FormShow()
{
    frameCount_ = std::max(0, context_.Card->IVUSFrameCount);
    repaint();
    Reconstruct();
    if (model_ && frameCount_ > 1 && model_->catheterPath.size() > 1) {
        scene_->GLDummyCube1->position = ScenePoint(model_->catheterPath[1]);
        scene_->GLCamera2->position = ScenePoint(model_->catheterPath[0]);
    }
    // The last analysed frame is N - 1.
    TrackBar1->setMaximum(std::max(0, frameCount_ - 1));
    ShowIvusFrame(0);
    Redraw();
}

void TViewerForm::Reconstruct()
{
    // The messages wait until the view is on screen and the opening hourglass is gone.
    const auto tell = [this](std::function<void()> message) { QTimer::singleShot(0, this, std::move(message)); };
    std::vector<std::string> remarks;
    try {
        CardInput read = LoadOpenCardInput(context_.Data, *context_.Card);
        remarks = std::move(read.warnings);
        model_ = ReconstructVessel(read.input);
    } catch (const ReconstructionRefused& e) {
        QString text = QString::fromStdString(e.what());
        for (const std::string& w : remarks)
            text += QStringLiteral("\n- ") + QString::fromStdString(w);
        tell([text] { Prompt().Plain(text); });
        return;
    } catch (const std::exception& e) {
        const QString text = QStringLiteral("The 3D reconstruction failed: ") + QString::fromStdString(e.what());
        tell([text] { Prompt().ErrorDialog(text); });
        return;
    }
    model_->warnings.insert(model_->warnings.begin(), remarks.begin(), remarks.end());
    for (const SceneLine& line : model_->lines) {
        std::vector<Vec3> points;
        points.reserve(line.points.size());
        for (const TPointXYZ& p : line.points)
            points.push_back({p.x, p.y, p.z});
        scene_->AddSceneLine(line.tag, line.scale, line.name, static_cast<float>(line.width), points,
                             line.colour.r / 255.0f, line.colour.g / 255.0f, line.colour.b / 255.0f);
    }
    try {
        DisplaySurface(*scene_->GLActor1, model_->outerSurface.get());
        DisplaySurface(*scene_->GLActor2, model_->innerSurface.get());
    } catch (const std::exception& e) {
        model_->warnings.push_back(std::string("The wall surfaces cannot be shown: ") + e.what());
    }
    if (!model_->warnings.empty()) {
        QString text = QStringLiteral("The 3D model was built, with these remarks:");
        for (const std::string& w : model_->warnings)
            text += QStringLiteral("\n- ") + QString::fromStdString(w);
        tell([text] { Prompt().Warning(text); });
    }
}

void TViewerForm::ShowIvusFrame(int k)
{
    if (k < 0 || k >= frameCount_)
        return;
    shownFrame_ = k;
    shownPath_ = AppPaths::AnalysedFramePath(*context_.Card, static_cast<std::size_t>(k));
    // A missing or unreadable frame file is named in the panel instead of its picture.
    try {
        const QImage image = FrameImage(ReadFrameFile(QFile::encodeName(shownPath_).toStdString(), FramePixelFormat::Argb32));
        ImgView->setPixmap(
            QPixmap::fromImage(image.scaled(ImgView->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation)));
    } catch (const FrameFileError& e) {
        ImgView->setPixmap(QPixmap());
        ImgView->setText(QStringLiteral("This frame cannot be shown: ") + QString::fromStdString(e.what()));
    }
    Label2->setText(QStringLiteral("Frame #") + QString::number(k + 1));
    HighlightFrameContours(k);
    if (TrackBar1->value() != k) {
        const QSignalBlocker block(TrackBar1);
        TrackBar1->setValue(k);
    }
    Redraw();
}

void TViewerForm::HighlightFrameContours(int k)
{
    if (scene_)
        scene_->HighlightFrameContours(k);
}

void TViewerForm::TrackBar1Change()
{
    const int k = TrackBar1->value();
    if (scene_ && scene_->HasLineWithTag(k))
        ShowIvusFrame(k);
}

void TViewerForm::GLSceneViewer1MouseDown(QPoint position)
{
    if (!scene_ || !GLSceneViewer1->Camera())
        return;
    const SceneLines* line = scene_->PickLine(*GLSceneViewer1->Camera(), GLSceneViewer1->width(),
                                              GLSceneViewer1->height(), position.x(), position.y());
    if (line && line->tag >= 0)
        ShowIvusFrame(line->tag);
}

bool TViewerForm::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) {
        auto* key = static_cast<QKeyEvent*>(event);
        // Keys sent to this window or to one of its widgets (the window previews them).
        const auto* target = qobject_cast<const QWidget*>(watched);
        const bool ours = target && (target == this || isAncestorOf(target));
        if (!key->isAutoRepeat()) {
            if (event->type() == QEvent::KeyRelease)
                heldKeys_.erase(key->key());
            else if (ours)
                heldKeys_.insert(key->key());
        }
    } else if (event->type() == QEvent::ApplicationDeactivate) {
        heldKeys_.clear();
    }
    return TChildForm::eventFilter(watched, event);
}

void TViewerForm::GLCadencer1Progress(double dt)
{
    if (!scene_ || heldKeys_.empty())
        return;
    const bool shift = heldKeys_.count(Qt::Key_Shift) > 0 || (QApplication::keyboardModifiers() & Qt::ShiftModifier);
    const double step = dt * (shift ? 50.0 : 10.0);
    const Vec3 up = scene_->GLCamera->AbsoluteUp(), right = scene_->GLCamera->AbsoluteRight();
    Vec3 move;
    if (heldKeys_.count(Qt::Key_Up))
        move = move + up * step;
    if (heldKeys_.count(Qt::Key_Down))
        move = move - up * step;
    if (heldKeys_.count(Qt::Key_Right))
        move = move + right * step;
    if (heldKeys_.count(Qt::Key_Left))
        move = move - right * step;
    if (move == Vec3{})
        return;
    scene_->DCCamera->position = scene_->DCCamera->position + move;
    Redraw();
}

bool TViewerForm::FlyThroughRunning() const
{
    return GLCadencer2->isActive();
}

void TViewerForm::Button6Click()
{
    if (!scene_)
        return;
    if (GLCadencer2->isActive()) {
        GLCadencer2->stop();
        GLSceneViewer1->SetCamera(scene_->GLCamera);
        scene_->GLCamera2->target = scene_->DCFollowPath;
        return;
    }
    // Without a path (a refused reconstruction) there is nothing to fly along.
    if (!model_ || model_->catheterPath.size() < 2)
        return;
    GLSceneViewer1->SetCamera(scene_->GLCamera2);
    scene_->DCFollowPath->direction = {0, -1, 0};
    scene_->GLDummyCube1->position = {0, 0, 0};
    scene_->GLCamera2->position = {10, 8, 10};
    scene_->GLCamera2->target = scene_->GLDummyCube1;
    flyStart_ = FlyThroughClock()();
    GLCadencer2->start();
}

void TViewerForm::GLCadencer2Progress()
{
    if (!scene_ || !GLCadencer2->isActive())
        return;
    const double T = (FlyThroughClock()() - flyStart_) * kFlyThroughSpeed;
    const std::size_t pathSize = model_ ? model_->catheterPath.size() : 0;
    const FlyThroughTick tick = FlyThroughStep(T, frameCount_, pathSize, static_cast<std::size_t>(frameCount_));
    if (tick.stop)
        Button6Click();
    if (tick.frame) {
        const int a = *tick.frame;
        scene_->GLDummyCube1->position = ScenePoint(model_->catheterPath[a + 1]);
        scene_->GLCamera2->position = ScenePoint(model_->catheterPath[a]);
        ShowIvusFrame(a);
    }
    Redraw();
}

void TViewerForm::Button7Click()
{
    if (scene_)
        GLSceneViewer1->SetCamera(scene_->GLCamera2);
}

void TViewerForm::Button8Click()
{
    if (scene_)
        GLSceneViewer1->SetCamera(scene_->GLCamera);
}

void TViewerForm::Button1Click()
{
    ExportSurface(Wall::Outer);
}

void TViewerForm::Button2Click()
{
    ExportSurface(Wall::Inner);
}

void TViewerForm::ExportSurface(Wall wall)
{
    const QString folder = TExportForm::FolderBrowser()(this, QStringLiteral("Select output folder"));
    if (folder.isEmpty())
        return;
    const spline_surface* surface = nullptr;
    if (model_)
        surface = (wall == Wall::Outer ? model_->outerSurface : model_->innerSurface).get();
    const auto path = ExportSurfaceFile(surface, wall, code_, std::filesystem::path(QFile::encodeName(folder).toStdString()));
    Prompt().Plain(QDir::toNativeSeparators(QString::fromStdString(path.string())) + QStringLiteral(" is exported!"));
}

void TViewerForm::FormClose()
{
    GLCadencer1->stop();
    GLCadencer2->stop();
    // The surfaces and every scene object go now; the window itself is freed after closing.
    GLSceneViewer1->ReleaseGraphics();
    GLSceneViewer1->SetScene(nullptr);
    model_.reset();
    scene_.reset();
}
