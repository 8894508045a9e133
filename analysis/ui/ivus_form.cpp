#include "analysis/ui/ivus_form.h"

#include "analysis/core/drawn_wall.h"
#include "analysis/core/polar_smoothing.h"
#include "analysis/core/wall_measurements.h"
#include "analysis/ui/calibration_form.h"
#include "analysis/ui/frame_image.h"
#include "analysis/ui/glyphs.h"
#include "analysis/ui/ivus_store.h"
#include "app/data.h"
#include "app/paths.h"
#include "app/progress.h"
#include "app/prompter.h"

#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QSlider>
#include <QSpinBox>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWidgetAction>

#include <cmath>
#include <stdexcept>

using namespace kestrova::analysis;

double PixelSpacing = 0.0;

namespace {

const QColor kHighlightColour(0x38, 0x56, 0x8A);
const QColor kFrameColour(0xBF, 0xBF, 0xBF);
const QColor kNumberColour(0x00, 0xFF, 0x00);
const QColor kOuterColour(0xFF, 0x00, 0x00);
const QColor kInnerColour(0x00, 0xFF, 0x00);

const QString kMeasurementsHeader = QStringLiteral("------------ MEASUREMENTS -----------");

bool IsZero(PixelPoint p) { return p.x == 0 && p.y == 0; }

// A spin box in a labelled row of a drop-down menu.
QSpinBox* AddMenuSpin(QMenu* menu, const QString& caption, int min, int max, int value, const QString& name)
{
    auto* row = new QWidget(menu);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(8, 2, 8, 2);
    auto* label = new QLabel(caption, row);
    auto* spin = new QSpinBox(row);
    spin->setObjectName(name);
    spin->setRange(min, max);
    spin->setValue(value);
    spin->setCorrectionMode(QAbstractSpinBox::CorrectToNearestValue);
    spin->setMinimumWidth(70);
    layout->addWidget(label);
    layout->addStretch(1);
    layout->addWidget(spin);
    auto* action = new QWidgetAction(menu);
    action->setDefaultWidget(row);
    menu->addAction(action);
    return spin;
}

} // namespace

// ---------------------------------------------------------------------------------------
IvusStripView::IvusStripView(TIVUSForm* form, QWidget* parent) : QWidget(parent), form_(form)
{
    setObjectName(QStringLiteral("ImgView"));
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    setPalette(pal);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setMinimumSize(100, 100);
}

void IvusStripView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    form_->PaintStrip(painter);
}

void IvusStripView::resizeEvent(QResizeEvent* e)
{
    QWidget::resizeEvent(e);
    RunGuarded([&] { form_->ImgViewResize(); });
}

void IvusStripView::mousePressEvent(QMouseEvent* e)
{
    const QPoint at = e->position().toPoint();
    RunGuarded([&] { form_->ImgViewMouseDown(e->button(), at.x(), at.y()); });
}

void IvusStripView::mouseMoveEvent(QMouseEvent* e)
{
    const QPoint at = e->position().toPoint();
    RunGuarded([&] { form_->ImgViewMouseMove(at.x(), at.y()); });
}

void IvusStripView::mouseReleaseEvent(QMouseEvent* e)
{
    const QPoint at = e->position().toPoint();
    RunGuarded([&] { form_->ImgViewMouseUp(e->button(), at.x(), at.y()); });
}

void IvusStripView::wheelEvent(QWheelEvent* e)
{
    e->accept();
    RunGuarded([&] { form_->FormMouseWheel(e->angleDelta().y()); });
}

// ---------------------------------------------------------------------------------------
TIVUSForm::TIVUSForm(const WindowContext& context, QWidget* parent)
    : TChildForm(QStringLiteral("IVUSForm"), QStringLiteral("IVUS"), QSize(926, 725), parent), context_(context)
{
    if (!context_.Card)
        throw std::runtime_error("The IVUS window needs the main window");
    const OpenCard& card = *context_.Card;
    code_ = card.GetSelectedPatient();
    if (code_ < 0)
        throw std::runtime_error("No patient card is open");
    setMinimumSize(430, 550);
    ImageFolder = AppPaths::RecordingDir(code_, QStringLiteral("IVUS"));
    FilePrefix = AppPaths::FramePrefix(QStringLiteral("IVUS"));
    FrameCount = card.AnalysedFrameCount();
    if (FrameCount == 0)
        throw std::runtime_error("The open card has no IVUS frames to analyse");
    for (int k = 0; k < FrameCount; ++k)
        frame_files_.push_back(card.AnalysedFrameFile(static_cast<std::size_t>(k)));
    SelectedFrame = -1;
    SelectedCell = -1;

    BuildComponents();
    WaitCursor cursor;
    CreateFrameLists();
    BuildFrameStrip();
    cursor.Restore();
    DrawMode = 0;
    Drawing = false;
    PenWidth = dxBarSpinEdit10->value();
    CatheterCentre = {};
    CatheterEdge = {};

    Tdm* dm = context_.Data;
    if (!dm)
        throw std::runtime_error("Not connected to the database");
    StoredIvus stored = LoadStoredIvus(*dm, code_, FrameCount);
    CatheterCentre = stored.catheterCentre;
    CatheterEdge = stored.catheterEdge;
    OuterWalls = std::move(stored.outer);
    InnerWalls = std::move(stored.inner);
    UserOuterWalls = std::move(stored.userOuter);
    UserInnerWalls = std::move(stored.userInner);
    RedrawFrames();
    PixelSpacing = ReadPixelSpacing(*dm, code_);
    // Told once the window is on screen (and the opening hourglass is gone).
    if (!stored.skippedFrames.empty())
        QTimer::singleShot(0, this, [this, frames = stored.skippedFrames] { ReportSkippedRows(frames); });
}

TIVUSForm::~TIVUSForm()
{
}

void TIVUSForm::ReportSkippedRows(const std::vector<int>& frames)
{
    if (frames.empty())
        return;
    QStringList numbers;
    for (int k : frames)
        numbers << QString::number(k + 1);
    Prompt().Warning(QStringLiteral("Stored contours of frame(s) %1 do not belong to any of the %2 analysed frames "
                                    "and were not loaded; saving the card removes them.")
                         .arg(numbers.join(QStringLiteral(", ")))
                         .arg(FrameCount));
}

void TIVUSForm::BuildComponents()
{
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("IVUSClient"));
    auto* column = new QVBoxLayout(client);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    Panel2 = new QWidget(client);
    Panel2->setObjectName(QStringLiteral("Panel2"));
    Panel2->setMinimumHeight(280);
    auto* top = new QVBoxLayout(Panel2);
    top->setContentsMargins(0, 0, 0, 0);
    top->setSpacing(0);
    MainToolbar = new QToolBar(QStringLiteral("IVUS Main Toolbar"), Panel2);
    MainToolbar->setObjectName(QStringLiteral("IVUS Main Toolbar"));
    MainToolbar->setFixedHeight(44);
    MainToolbar->setIconSize(QSize(20, 20));
    MainToolbar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    ImgView = new IvusStripView(this, Panel2);
    top->addWidget(MainToolbar);
    top->addWidget(ImgView, 1);
    column->addWidget(Panel2);
    column->addWidget(BuildLowerPanel(), 1);
    setWidget(client);

    auto makeAction = [&](QAction*& slot, const char* name, const QString& caption, const QString& glyph,
                          QKeySequence key, bool checkable) {
        slot = new QAction(AnalysisGlyph(glyph), caption, this);
        slot->setObjectName(QLatin1String(name));
        slot->setCheckable(checkable);
        if (!key.isEmpty()) {
            slot->setShortcut(key);
            slot->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        }
        addAction(slot);
        MainToolbar->addAction(slot);
    };
    makeAction(dxBarLargeButton1, "dxBarLargeButton1", QStringLiteral("Scroll left"), QStringLiteral("left"),
               QKeySequence(Qt::Key_F1), false);
    makeAction(dxBarLargeButton2, "dxBarLargeButton2", QStringLiteral("Scroll right"), QStringLiteral("right"),
               QKeySequence(Qt::Key_F2), false);
    MainToolbar->addSeparator();
    makeAction(dxBarLargeButton3, "dxBarLargeButton3", QStringLiteral("Outer wall"), QStringLiteral("outer"),
               QKeySequence(Qt::Key_F3), true);
    makeAction(dxBarLargeButton4, "dxBarLargeButton4", QStringLiteral("Inner wall"), QStringLiteral("inner"),
               QKeySequence(Qt::Key_F4), true);
    MainToolbar->addSeparator();
    makeAction(dxBarLargeButton7, "dxBarLargeButton7", QStringLiteral("Propagate"), QStringLiteral("propagate"),
               QKeySequence(Qt::Key_F5), false);
    auto* propagateMenu = new QMenu(this);
    propagateMenu->setObjectName(QStringLiteral("PropagateMenu"));
    dxBarSpinEdit11 = AddMenuSpin(propagateMenu, QStringLiteral("Affected frames"), 1, 200, 3,
                                  QStringLiteral("dxBarSpinEdit11"));
    dxBarLargeButton7->setMenu(propagateMenu);
    makeAction(dxBarLargeButton5, "dxBarLargeButton5", QStringLiteral("Automatic"), QStringLiteral("automatic"), {},
               false);
    auto* automaticMenu = new QMenu(this);
    automaticMenu->setObjectName(QStringLiteral("AutomaticMenu"));
    dxBarSpinEdit12 = AddMenuSpin(automaticMenu, QStringLiteral("Affected frames"), 1, 200, 3,
                                  QStringLiteral("dxBarSpinEdit12"));
    dxBarSpinEdit13 = AddMenuSpin(automaticMenu, QStringLiteral("Threshold"), 1, 255, 128,
                                  QStringLiteral("dxBarSpinEdit13"));
    dxBarSpinEdit14 = AddMenuSpin(automaticMenu, QStringLiteral("Smoothness level"), 4, 10, 6,
                                  QStringLiteral("dxBarSpinEdit14"));
    dxBarSpinEdit15 = AddMenuSpin(automaticMenu, QStringLiteral("Ring offset"), 1, 200, 20,
                                  QStringLiteral("dxBarSpinEdit15"));
    dxBarLargeButton5->setMenu(automaticMenu);
    for (QAction* a : {dxBarLargeButton7, dxBarLargeButton5})
        if (auto* button = qobject_cast<QToolButton*>(MainToolbar->widgetForAction(a)))
            button->setPopupMode(QToolButton::MenuButtonPopup);
    MainToolbar->addSeparator();
    makeAction(dxBarLargeButton8, "dxBarLargeButton8", QStringLiteral("Delete contour"), QStringLiteral("delete"),
               QKeySequence(Qt::Key_Delete), false);
    MainToolbar->addSeparator();
    makeAction(dxBarLargeButton9, "dxBarLargeButton9", QStringLiteral("Calibration"), QStringLiteral("calibration"),
               {}, false);
    ConnectHandlers();
}

QWidget* TIVUSForm::BuildLowerPanel()
{
    auto* lower = new QWidget;
    lower->setObjectName(QStringLiteral("LowerPanel"));
    auto* row = new QHBoxLayout(lower);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);

    auto* scroll = new QScrollArea(lower);
    scroll->setObjectName(QStringLiteral("ScrollBox1"));
    scroll->setFixedWidth(425);
    scroll->setWidgetResizable(true);
    auto* docks = new QWidget(scroll);
    auto* form = new QFormLayout(docks);
    form->setContentsMargins(6, 4, 6, 4);
    form->setVerticalSpacing(3);
    auto slider = [&](QSlider*& slot, const char* name, const QString& caption) {
        slot = new QSlider(Qt::Horizontal, docks);
        slot->setObjectName(QLatin1String(name));
        slot->setRange(-100, 100);
        slot->setValue(0);
        form->addRow(caption, slot);
    };
    slider(cxBarEditItem1, "cxBarEditItem1", QStringLiteral("Brightness"));
    slider(cxBarEditItem2, "cxBarEditItem2", QStringLiteral("Contrast"));
    slider(cxBarEditItem3, "cxBarEditItem3", QStringLiteral("Gamma"));
    auto button = [&](QAction*& slot, const char* name, const QString& caption) {
        slot = new QAction(caption, this);
        slot->setObjectName(QLatin1String(name));
        auto* b = new QPushButton(caption, docks);
        b->setObjectName(QLatin1String(name) + QStringLiteral("Button"));
        connect(b, &QPushButton::clicked, slot, &QAction::trigger);
        form->addRow(b);
    };
    button(dxBarButton1, "dxBarButton1", QStringLiteral("Reset luminosity"));
    auto dspin = [&](QDoubleSpinBox*& slot, const char* name, const QString& caption, double value, double step) {
        slot = new QDoubleSpinBox(docks);
        slot->setObjectName(QLatin1String(name));
        slot->setDecimals(3);
        slot->setRange(0.0, 1.0e6);
        slot->setSingleStep(step);
        slot->setValue(value);
        slot->setCorrectionMode(QAbstractSpinBox::CorrectToNearestValue);
        form->addRow(caption, slot);
    };
    auto ispin = [&](QSpinBox*& slot, const char* name, const QString& caption, int min, int max, int value,
                     int step) {
        slot = new QSpinBox(docks);
        slot->setObjectName(QLatin1String(name));
        slot->setRange(min, max);
        slot->setSingleStep(step);
        slot->setValue(value);
        slot->setCorrectionMode(QAbstractSpinBox::CorrectToNearestValue);
        form->addRow(caption, slot);
    };
    dspin(dxBarSpinEdit1, "dxBarSpinEdit1", QStringLiteral("Contour Continuity (a)"), 14, 2);
    dspin(dxBarSpinEdit2, "dxBarSpinEdit2", QStringLiteral("Contour Carvature (b)"), 200, 0.2);
    dspin(dxBarSpinEdit3, "dxBarSpinEdit3", QStringLiteral("Energy Sensitivity (g)"), 30, 0.2);
    ispin(dxBarSpinEdit4, "dxBarSpinEdit4", QStringLiteral("Neighborhood (w)"), 1, 13, 3, 2);
    ispin(dxBarSpinEdit8, "dxBarSpinEdit8", QStringLiteral("Smoothness Level"), 4, 10, 5, 1);
    ispin(dxBarSpinEdit10, "dxBarSpinEdit10", QStringLiteral("Pen Width"), 1, 10, 1, 1);
    button(dxBarButton2, "dxBarButton2", QStringLiteral("Reset parameters"));
    scroll->setWidget(docks);
    row->addWidget(scroll);

    auto* right = new QWidget(lower);
    right->setObjectName(QStringLiteral("Panel1"));
    auto* rightLayout = new QVBoxLayout(right);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    cxLabel1 = new QLabel(kMeasurementsHeader, right);
    cxLabel1->setObjectName(QStringLiteral("cxLabel1"));
    cxLabel1->setGeometry(8, 16, 269, 114);
    cxLabel1->setFrameShape(QFrame::Box);
    cxMemo1 = new QPlainTextEdit(right);
    cxMemo1->setObjectName(QStringLiteral("cxMemo1"));
    cxMemo1->setReadOnly(true);
    cxMemo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    cxMemo1->setPlainText(kMeasurementsHeader);
    rightLayout->addWidget(cxMemo1);
    cxLabel1->lower();
    row->addWidget(right, 1);
    return lower;
}

void TIVUSForm::ConnectHandlers()
{
    auto guarded = [this](void (TIVUSForm::*handler)()) {
        return [this, handler] { RunGuarded([&] { (this->*handler)(); }); };
    };
    connect(dxBarLargeButton1, &QAction::triggered, this, guarded(&TIVUSForm::dxBarLargeButton1Click));
    connect(dxBarLargeButton2, &QAction::triggered, this, guarded(&TIVUSForm::dxBarLargeButton2Click));
    connect(dxBarLargeButton3, &QAction::triggered, this, guarded(&TIVUSForm::dxBarLargeButton3Click));
    connect(dxBarLargeButton4, &QAction::triggered, this, guarded(&TIVUSForm::dxBarLargeButton4Click));
    connect(dxBarLargeButton7, &QAction::triggered, this, guarded(&TIVUSForm::dxBarLargeButton7Click));
    connect(dxBarLargeButton5, &QAction::triggered, this, guarded(&TIVUSForm::dxBarLargeButton5Click));
    connect(dxBarLargeButton8, &QAction::triggered, this, guarded(&TIVUSForm::dxBarLargeButton8Click));
    connect(dxBarLargeButton9, &QAction::triggered, this, guarded(&TIVUSForm::dxBarLargeButton9Click));
    connect(dxBarButton1, &QAction::triggered, this, guarded(&TIVUSForm::dxBarButton1Click));
    connect(dxBarButton2, &QAction::triggered, this, guarded(&TIVUSForm::dxBarButton2Click));
    for (QSlider* s : {cxBarEditItem1, cxBarEditItem2, cxBarEditItem3})
        connect(s, &QSlider::valueChanged, this, guarded(&TIVUSForm::cxBarEditItem1PropertiesChange));
    for (QDoubleSpinBox* s : {dxBarSpinEdit1, dxBarSpinEdit2, dxBarSpinEdit3})
        connect(s, &QDoubleSpinBox::valueChanged, this, [this] { dxBarSpinEdit1CurChange(); });
    connect(dxBarSpinEdit4, &QSpinBox::valueChanged, this, [this] { dxBarSpinEdit4CurChange(); });
    connect(dxBarSpinEdit8, &QSpinBox::valueChanged, this, [this] { dxBarSpinEdit8CurChange(); });
    connect(dxBarSpinEdit10, &QSpinBox::valueChanged, this, [this] { dxBarSpinEdit10CurChange(); });
}

// ---- frame lists and strip ------------------------------------------------------------
void TIVUSForm::CreateFrameLists()
{
    const auto n = static_cast<std::size_t>(FrameCount);
    OuterWalls.assign(n, {});
    InnerWalls.assign(n, {});
    UserOuterWalls.assign(n, {});
    UserInnerWalls.assign(n, {});
    // Every frame is taken to have the size of the recording's first frame file.
    std::string error;
    const cv::Mat first = DecodeJpegFile(ImageFolder + AppPaths::FrameFileName(FilePrefix, 0), &error);
    if (first.empty()) {
        FreeFrameLists();
        throw std::runtime_error("The IVUS frames cannot be shown: " + error);
    }
    FrameWidth = first.cols;
    FrameHeight = first.rows;
    CellWidth = FrameWidth + 2 * kCellBorder;
    CellHeight = FrameHeight + 2 * kCellBorder;
}

void TIVUSForm::FreeFrameLists()
{
    OuterWalls.clear();
    InnerWalls.clear();
    UserOuterWalls.clear();
    UserInnerWalls.clear();
    frames_.clear();
    selected_shown_.release();
    RefineImage.release();
}

void TIVUSForm::BuildFrameStrip()
{
    CellCount = StripCellCount(FrameCount);
    FirstVisible = 0;
    LayoutFrameStrip();
}

void TIVUSForm::LayoutFrameStrip()
{
    if (Panel2)
        Panel2->setFixedHeight(FrameHeight + 84);
    const StripLayout layout =
        LayoutStrip(ImgView->width(), ImgView->height(), FrameWidth, FrameHeight, FrameCount, FirstVisible);
    VisibleCells = layout.visibleCells;
    FirstVisible = layout.firstVisible;
    strip_x0_ = layout.x0;
    // Keep only the decoded frames of the cells on show.
    for (auto it = frames_.begin(); it != frames_.end();) {
        if (it->first < FirstVisible || it->first >= FirstVisible + VisibleCells)
            it = frames_.erase(it);
        else
            ++it;
    }
    UnmarkAllCells();
    if (SelectedFrame >= 0 && SelectedFrame - FirstVisible >= 0 && SelectedFrame - FirstVisible < CellCount) {
        MarkCellSelected(SelectedFrame - FirstVisible);
        BuildLuminosityTable();
    }
    ImgView->update();
}

void TIVUSForm::ScrollFrames(int step)
{
    FirstVisible = ScrollStrip(FirstVisible, step, FrameCount, VisibleCells);
    LayoutFrameStrip();
    RedrawFrames();
}

void TIVUSForm::RedrawFrames() { ImgView->update(); }

QRect TIVUSForm::CellRect(int cell) const
{
    return QRect(strip_x0_ + cell * (CellWidth + kCellGap), kCellGap, CellWidth, CellHeight);
}

QRect TIVUSForm::ImageRect(int cell) const
{
    const QRect c = CellRect(cell);
    return QRect(c.left() + kCellBorder, c.top() + kCellBorder, FrameWidth, FrameHeight);
}

bool TIVUSForm::CellShown(int cell) const
{
    return cell >= 0 && cell < VisibleCells && cell < CellCount && FirstVisible + cell < FrameCount;
}

void TIVUSForm::UnmarkAllCells() { marked_cell_ = -1; }

void TIVUSForm::MarkCellSelected(int cell)
{
    if (CellShown(cell))
        marked_cell_ = cell;
}

QString TIVUSForm::FramePath(int k) const
{
    return ImageFolder + AppPaths::FrameFileName(FilePrefix, frame_files_.at(static_cast<std::size_t>(k)));
}

cv::Mat TIVUSForm::LoadAnalysedFrame(int k) const
{
    if (k < 0 || k >= FrameCount)
        return {};
    return DecodeJpegFile(FramePath(k));
}

const cv::Mat& TIVUSForm::StoredFrame(int k) const
{
    auto it = frames_.find(k);
    if (it == frames_.end())
        it = frames_.emplace(k, LoadAnalysedFrame(k)).first;
    return it->second;
}

QImage TIVUSForm::ShownFrame(int k) const
{
    if (k == SelectedFrame && !selected_shown_.empty())
        return MatToImage(selected_shown_);
    return MatToImage(StoredFrame(k));
}

void TIVUSForm::BuildLuminosityTable()
{
    if (SelectedFrame < 0 || SelectedFrame - FirstVisible < 0 || SelectedFrame - FirstVisible >= CellCount)
        return;
    table_ = kestrova::analysis::BuildLuminosityTable(cxBarEditItem1->value(), cxBarEditItem2->value(),
                                                      cxBarEditItem3->value());
    const cv::Mat& stored = StoredFrame(SelectedFrame);
    if (stored.empty())
        selected_shown_.release();
    else
        ApplyLuminosityTable(stored, selected_shown_, table_);
    ImgView->update();
}

void TIVUSForm::PaintStrip(QPainter& painter) const
{
    painter.fillRect(ImgView->rect(), Qt::white);
    QFont font(QStringLiteral("Arial"));
    font.setPointSize(12);
    painter.setFont(font);
    for (int i = 0; i < VisibleCells; ++i) {
        if (!CellShown(i))
            continue;
        const int f = FirstVisible + i;
        const QRect cell = CellRect(i);
        painter.fillRect(cell, i == marked_cell_ ? kHighlightColour : kFrameColour);
        const QRect image = ImageRect(i);
        const QImage frame = ShownFrame(f);
        if (frame.isNull()) {
            painter.fillRect(image, Qt::black);
            painter.setPen(Qt::white);
            painter.drawText(image, Qt::AlignCenter, QStringLiteral("Frame file missing"));
        } else {
            painter.drawImage(image, frame);
        }
        painter.setPen(kNumberColour);
        painter.drawText(QRect(image.left() + 2, image.top(), 73, 20), Qt::AlignLeft | Qt::AlignTop,
                         QString::number(f + 1));
        painter.save();
        painter.setClipRect(image);
        painter.translate(image.topLeft());
        if (!frame.isNull() && frame.size() != QSize(FrameWidth, FrameHeight))
            painter.scale(double(FrameWidth) / frame.width(), double(FrameHeight) / frame.height());
        auto drawWall = [&](const WallContour& wall, const QColor& colour) {
            if (wall.empty())
                return;
            painter.setPen(QPen(colour, PenWidth, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
            QPolygon line;
            line.reserve(static_cast<int>(wall.size()) + 1);
            line << QPoint(wall.front().x, wall.front().y);
            for (const PixelPoint& p : wall)
                line << QPoint(p.x, p.y);
            painter.drawPolyline(line);
        };
        if (static_cast<std::size_t>(f) < OuterWalls.size())
            drawWall(OuterWalls[f], kOuterColour);
        if (static_cast<std::size_t>(f) < InnerWalls.size())
            drawWall(InnerWalls[f], kInnerColour);
        painter.restore();
    }
}

// ---- mouse ----------------------------------------------------------------------------
void TIVUSForm::FormMouseWheel(int delta) { ScrollFrames(delta <= 0 ? +1 : -1); }

void TIVUSForm::ImgViewResize()
{
    LayoutFrameStrip();
    RedrawFrames();
}

void TIVUSForm::SetDrawMode(int mode)
{
    DrawMode = mode;
    dxBarLargeButton3->setChecked(mode == 1);
    dxBarLargeButton4->setChecked(mode == 2);
}

void TIVUSForm::ImgViewMouseDown(Qt::MouseButton button, int X, int Y)
{
    if (button != Qt::LeftButton)
        return;
    SelectedCell = -1;
    for (int i = 0; i < VisibleCells; ++i) {
        if (!CellShown(i) || !CellRect(i).contains(X, Y))
            continue;
        SelectedCell = i;
        if (FirstVisible + i != SelectedFrame)
            SetDrawMode(0);
        SelectedFrame = std::min(FirstVisible + i, FrameCount - 1);
        if (context_.Signals)
            emit context_.Signals->statusText(FramePath(SelectedFrame));
        break;
    }
    if (SelectedCell < 0) {
        UnmarkAllCells();
        SelectedFrame = -1;
        SetDrawMode(0);
        selected_shown_.release();
        LayoutFrameStrip();
    } else {
        UnmarkAllCells();
        MarkCellSelected(SelectedCell);
        LayoutFrameStrip();
        // The refinement works on the selected frame exactly as it is shown.
        RefineImage = selected_shown_.clone();
    }
    if (SelectedCell >= 0) {
        const QRect r = ImageRect(SelectedCell);
        if (X >= r.left() && X <= r.left() + FrameWidth && Y >= r.top() && Y <= r.top() + FrameHeight) {
            LastMousePos = QPoint(X, Y);
            if (DrawMode == 1 || DrawMode == 2) {
                Drawing = true;
                StrokeStart = ViewToImagePixel(X, Y, r.left(), r.top(), FrameWidth, FrameHeight);
                ClearWall(DrawMode);
                AddDrawnPoint(DrawMode, StrokeStart, StrokeStart);
            }
        }
    }
}

void TIVUSForm::ImgViewMouseMove(int X, int Y)
{
    if (SelectedCell < 0)
        return;
    const QRect r = ImageRect(SelectedCell);
    const bool inside = X >= r.left() && X <= r.left() + FrameWidth && Y >= r.top() && Y <= r.top() + FrameHeight;
    if (inside && (DrawMode == 1 || DrawMode == 2)) {
        ImgView->setCursor(Qt::CrossCursor);
        if (Drawing) {
            const PixelPoint p = ViewToImagePixel(X, Y, r.left(), r.top(), FrameWidth, FrameHeight);
            const PixelPoint q =
                ViewToImagePixel(LastMousePos.x(), LastMousePos.y(), r.left(), r.top(), FrameWidth, FrameHeight);
            AddDrawnPoint(DrawMode, p, q);
            LastMousePos = QPoint(X, Y);
        }
    } else {
        ImgView->unsetCursor();
    }
}

void TIVUSForm::ImgViewMouseUp(Qt::MouseButton button, int, int)
{
    if (button != Qt::LeftButton)
        return;
    Drawing = false;
    if (SelectedCell == -1 || SelectedFrame < 0 || SelectedFrame >= FrameCount)
        return;
    const auto k = static_cast<std::size_t>(SelectedFrame);
    const RefinementParameters parameters = RefinementValues();
    if (DrawMode == 1 || DrawMode == 2) {
        WallContour& shown = DrawMode == 1 ? OuterWalls[k] : InnerWalls[k];
        WallContour& initial = DrawMode == 1 ? UserOuterWalls[k] : UserInnerWalls[k];
        FitDrawnWall(DrawMode);
        RefineContourSnake(RefineImage, initial, shown, parameters);
        SmoothContourPolar(shown, shown, CatheterCentre, parameters.smoothnessLevel);
        RedrawFrames();
    }
    ComputeMeasurements();
}

// ---- hand-drawn walls -----------------------------------------------------------------
void TIVUSForm::AddDrawnPoint(int kind, PixelPoint p, PixelPoint)
{
    if ((kind != 1 && kind != 2) || SelectedFrame < 0 || SelectedFrame >= FrameCount)
        return;
    // The strip paints the stroke from the contour itself, so the new point is enough;
    // the line end only matters to a painter that draws segment by segment.
    WallContour& wall = kind == 1 ? OuterWalls[static_cast<std::size_t>(SelectedFrame)]
                                  : InnerWalls[static_cast<std::size_t>(SelectedFrame)];
    wall.push_back(p);
    ImgView->update();
}

void TIVUSForm::FitDrawnWall(int kind)
{
    if ((kind != 1 && kind != 2) || SelectedFrame < 0 || SelectedFrame >= FrameCount)
        return;
    const auto k = static_cast<std::size_t>(SelectedFrame);
    WallContour& shown = kind == 1 ? OuterWalls[k] : InnerWalls[k];
    WallContour& initial = kind == 1 ? UserOuterWalls[k] : UserInnerWalls[k];
    const DrawnWallResult r = kestrova::analysis::FitDrawnWall(kind, shown, initial);
    if (r.outcome == DrawnWallFit::Failed)
        Prompt().Warning(QString::fromLatin1(kDrawWallAgainText));
}

// ---- measurements ---------------------------------------------------------------------

void TIVUSForm::ComputeMeasurements()
{
    cxMemo1->clear();
    cxLabel1->setText(QString());
    if (SelectedFrame < 0 || SelectedFrame >= FrameCount)
        return;
    const auto k = static_cast<std::size_t>(SelectedFrame);
    const MeasurementResult r = MeasureWallContours(OuterWalls[k], InnerWalls[k]);
    if (r.status == MeasurementStatus::NoResult)
        return;
    if (r.status == MeasurementStatus::Failed) {
        Prompt().ErrorDialog(QString::fromLatin1(kMeasurementErrorPrefix) + QString::fromStdString(r.error));
        return;
    }
    const QLocale locale;
    const std::string decimal = locale.decimalPoint().toStdString();
    const std::string group = locale.groupSeparator().toStdString();
    const auto format = [&](double v) { return FormatTwoDecimals(v, decimal, group); };
    QStringList lines;
    for (const std::string& line : MeasurementMemoLines(SelectedFrame, r.values, PixelSpacing, format))
        lines << QString::fromStdString(line);
    cxMemo1->setPlainText(lines.join(QLatin1Char('\n')));
    cxLabel1->setText(cxMemo1->toPlainText());
}

// ---- toolbar --------------------------------------------------------------------------
void TIVUSForm::dxBarLargeButton1Click() { ScrollFrames(-1); }
void TIVUSForm::dxBarLargeButton2Click() { ScrollFrames(+1); }

void TIVUSForm::dxBarLargeButton3Click()
{
    if (dxBarLargeButton3->isChecked()) {
        SetDrawMode(1);
        if (IsZero(CatheterCentre))
            Prompt().Info(QStringLiteral("Without calibration, results might not be efficient"));
    } else {
        SetDrawMode(0);
    }
}

void TIVUSForm::dxBarLargeButton4Click()
{
    if (dxBarLargeButton4->isChecked()) {
        SetDrawMode(2);
        if (IsZero(CatheterCentre))
            Prompt().Info(QStringLiteral("Without calibration, results might not be efficient"));
    } else {
        SetDrawMode(0);
    }
}

void TIVUSForm::ClearWall(int kind)
{
    if (SelectedFrame < 0 || SelectedFrame >= FrameCount)
        return;
    const auto k = static_cast<std::size_t>(SelectedFrame);
    if (kind == 0 || kind == 1)
        OuterWalls[k].clear();
    if (kind == 0 || kind == 2)
        InnerWalls[k].clear();
    RedrawFrames();
}

void TIVUSForm::dxBarLargeButton8Click()
{
    if (SelectedCell == -1) {
        Prompt().Warning(QStringLiteral("No frame is selected"));
        return;
    }
    ClearWall(DrawMode);
    ComputeMeasurements();
}

RefinementParameters TIVUSForm::RefinementValues() const
{
    RefinementParameters p;
    p.alpha = dxBarSpinEdit1->value();
    p.beta = dxBarSpinEdit2->value();
    p.gamma = dxBarSpinEdit3->value();
    p.window = dxBarSpinEdit4->value();
    p.smoothnessLevel = dxBarSpinEdit8->value();
    return p;
}

DetectionParameters TIVUSForm::DetectionValues() const
{
    DetectionParameters p;
    p.affectedFrames = dxBarSpinEdit12->value();
    p.threshold = dxBarSpinEdit13->value();
    p.smoothnessLevel = dxBarSpinEdit14->value();
    p.ringOffset = dxBarSpinEdit15->value();
    return p;
}

void TIVUSForm::ReapplyRefinement()
{
    if (SelectedCell == -1 || SelectedFrame < 0 || SelectedFrame >= FrameCount)
        return;
    const auto k = static_cast<std::size_t>(SelectedFrame);
    const FrameWalls walls{OuterWalls[k], InnerWalls[k], UserOuterWalls[k], UserInnerWalls[k]};
    if (kestrova::analysis::ReapplyRefinement(RefineImage, static_cast<kestrova::analysis::DrawMode>(DrawMode), walls,
                                              CatheterCentre, RefinementValues()))
        RedrawFrames();
    ComputeMeasurements();
}

void TIVUSForm::dxBarSpinEdit1CurChange()
{
    try {
        ReapplyRefinement();
    } catch (...) {
    }
}

void TIVUSForm::dxBarSpinEdit4CurChange()
{
    try {
        if (dxBarSpinEdit4->value() % 2 == 0) {
            dxBarSpinEdit4->setValue(dxBarSpinEdit4->value() + 1); // runs this handler again
            return;
        }
        ReapplyRefinement();
    } catch (...) {
    }
}

void TIVUSForm::dxBarSpinEdit8CurChange()
{
    try {
        ReapplyRefinement();
    } catch (...) {
    }
}

void TIVUSForm::dxBarSpinEdit10CurChange()
{
    try {
        PenWidth = dxBarSpinEdit10->value();
        RedrawFrames();
    } catch (...) {
    }
}

void TIVUSForm::cxBarEditItem1PropertiesChange() { BuildLuminosityTable(); }

void TIVUSForm::dxBarButton1Click()
{
    for (QSlider* s : {cxBarEditItem1, cxBarEditItem2, cxBarEditItem3}) {
        const QSignalBlocker block(s);
        s->setValue(0);
    }
    BuildLuminosityTable();
}

void TIVUSForm::dxBarButton2Click()
{
    if (!Prompt().AskYesNo(QStringLiteral("Load default parameter values?")))
        return;
    const RefinementParameters reset = RefinementParameters::ResetValues();
    {
        const QSignalBlocker b1(dxBarSpinEdit1), b2(dxBarSpinEdit2), b3(dxBarSpinEdit3), b4(dxBarSpinEdit4),
            b8(dxBarSpinEdit8);
        dxBarSpinEdit1->setValue(reset.alpha);
        dxBarSpinEdit2->setValue(reset.beta);
        dxBarSpinEdit3->setValue(reset.gamma);
        dxBarSpinEdit4->setValue(reset.window);
        dxBarSpinEdit8->setValue(reset.smoothnessLevel);
    }
    ReapplyRefinement();
}

// ---- automatic detection --------------------------------------------------------------
void TIVUSForm::dxBarLargeButton5Click()
{
    if (SelectedCell == -1) {
        Prompt().Error(QString::fromLatin1(kSelectInitialFrameText));
        return;
    }
    const int n = DetectionFrameCount(SelectedFrame, FrameCount, dxBarSpinEdit12->value());
    if (IsZero(CatheterCentre) || IsZero(CatheterEdge)) {
        Prompt().Error(QString::fromLatin1(kCalibrationMissingText));
        return;
    }
    const int first = SelectedFrame;
    DetectionResult result;
    {
        ProgressScope progress(QString::fromLatin1(kDetectionProgressText), n, context_.Owner);
        result = DetectIvusBorders([this, first](int f) { return LoadAnalysedFrame(first + f); }, n,
                                   cv::Size(FrameWidth, FrameHeight), CatheterCentre, CatheterEdge, DetectionValues(),
                                   [&progress](int, int) { progress.Step(); });
    }
    switch (result.status) {
    case DetectionStatus::Completed:
        for (int f = 0; f < static_cast<int>(result.frames.size()) && first + f < FrameCount; ++f) {
            FrameBorders& borders = result.frames[static_cast<std::size_t>(f)];
            if (!borders.found)
                continue;
            const auto k = static_cast<std::size_t>(first + f);
            InnerWalls[k] = borders.inner;
            UserInnerWalls[k] = borders.inner;
            OuterWalls[k] = borders.outer;
            UserOuterWalls[k] = borders.outer;
        }
        RedrawFrames();
        ComputeMeasurements();
        if (!result.framesWithoutBorder.empty())
            Prompt().Warning(QString::fromStdString(NoBorderMessage(result.framesWithoutBorder, first)));
        break;
    case DetectionStatus::CalibrationMissing:
        Prompt().Error(QString::fromLatin1(kCalibrationMissingText));
        break;
    default:
        RedrawFrames();
        Prompt().Warning(QStringLiteral("The automatic detection stopped; no contour was changed.\n") +
                         QString::fromStdString(result.message));
        break;
    }
}

// ---- propagation ----------------------------------------------------------------------
void TIVUSForm::dxBarLargeButton7Click()
{
    if (SelectedCell == -1) {
        Prompt().Error(QString::fromLatin1(kSelectInitialFrameText));
        return;
    }
    const int k = SelectedFrame;
    if (FrameCount == k + 1) {
        Prompt().Error(QStringLiteral("You cannot propagate the last frame"));
        return;
    }
    const bool outer = OuterWalls[static_cast<std::size_t>(k)].size() > 4;
    const bool inner = InnerWalls[static_cast<std::size_t>(k)].size() > 4;
    if (!outer && !inner) {
        Prompt().Error(QStringLiteral("The selected frame contains no contours"));
        return;
    }
    const int n = std::min(dxBarSpinEdit11->value(), FrameCount - k - 1);
    PropagateContours(n, outer, inner);
    RedrawFrames();
    ComputeMeasurements();
}

void TIVUSForm::PropagateContours(int n, bool outer, bool inner)
{
    const int k = SelectedFrame;
    if (k < 0 || n <= 0 || k + n >= FrameCount)
        return;
    ProgressScope progress(QString::fromLatin1(kDetectionProgressText), (outer && inner) ? 2 * n : n, context_.Owner);
    const auto load = [this](int j) { return LoadAnalysedFrame(j); };
    const RefinementParameters parameters = RefinementValues();
    const auto step = [&progress] { progress.Step(); };
    if (outer)
        RefineImage = PropagateWall(OuterWalls, UserOuterWalls, k, n, load, CatheterCentre, parameters, step);
    if (inner)
        RefineImage = PropagateWall(InnerWalls, UserInnerWalls, k, n, load, CatheterCentre, parameters, step);
    progress.Close();
    // Later parameter changes refine the selected frame again, on its own image.
    RefineImage = selected_shown_.clone();
}

// ---- calibration ----------------------------------------------------------------------
void TIVUSForm::dxBarLargeButton9Click()
{
    bool distanceAccepted = false;
    for (const bool distanceStep : {false, true}) {
        WaitCursor cursor;
        if (CalibrationForm) {
            if (context_.ShowExistingChild)
                context_.ShowExistingChild(QStringLiteral("TCalibrationForm"));
            cursor.Restore();
            continue;
        }
        try {
            std::unique_ptr<TCalibrationForm> dialog(new TCalibrationForm(this, distanceStep, context_.Owner));
            CalibrationForm = dialog.get();
            cursor.Restore();
            const int result = dialog->exec();
            if (distanceStep)
                distanceAccepted = result == QDialog::Accepted;
            if (CalibrationForm == dialog.get())
                CalibrationForm = nullptr;
        } catch (...) {
            cursor.Restore();
            CalibrationForm = nullptr;
            Prompt().ErrorDialog(QStringLiteral("A problem occured while opening window!") +
                                 ExceptionText(std::current_exception()));
        }
    }
    // The patient row changes only with a confirmed distance calibration: a cancelled one
    // keeps the stored spacing (which may have come with the recording itself).
    if (!distanceAccepted || !context_.Card)
        return;
    const OpenCard& card = *context_.Card;
    const PixelPoint a = card.CalibrationPointA;
    const PixelPoint b = card.CalibrationPointB;
    const double dx = std::abs(double(a.x) - double(b.x));
    const double dy = std::abs(double(a.y) - double(b.y));
    const double d = std::sqrt(dx * dx + dy * dy);
    if (!(d > 0.0) || !(card.CalibrationDistance > 0.0))
        return;
    PixelSpacing = card.CalibrationDistance / d;
    Tdm* dm = context_.Data;
    if (!dm)
        throw std::runtime_error("Not connected to the database");
    WritePatientCalibration(*dm, code_, a, b, card.CalibrationDistance, PixelSpacing);
}

// ---- save and close -------------------------------------------------------------------
IvusSnapshot TIVUSForm::TakeIvusSnapshot() const
{
    IvusSnapshot s;
    s.CatheterCentre = CatheterCentre;
    s.CatheterEdge = CatheterEdge;
    s.OuterWalls = OuterWalls;
    s.InnerWalls = InnerWalls;
    s.UserOuterWalls = UserOuterWalls;
    s.UserInnerWalls = UserInnerWalls;
    return s;
}

void TIVUSForm::FormClose()
{
    FreeFrameLists();
}
