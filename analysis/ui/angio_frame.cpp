#include "analysis/ui/angio_frame.h"

#include "analysis/core/angio_view_model.h"
#include "analysis/core/frame_matrix.h"
#include "analysis/core/luminosity.h"
#include "analysis/core/vessel_outline.h"
#include "app/paths.h"
#include "app/prompter.h"

#include <QAction>
#include <QActionGroup>
#include <QDir>
#include <QDoubleSpinBox>
#include <QEnterEvent>
#include <QFile>
#include <QGraphicsPixmapItem>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>
#include <QSpinBox>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <QWidgetAction>

#include <opencv2/core.hpp>

#include <algorithm>
#include <cmath>
#include <functional>
#include <cstdio>
#include <map>

namespace an = kestrova::analysis;

namespace {

constexpr int kTextLayer = 0;
constexpr int kWidthLayer = 4;
constexpr int kOutlineLayer = 5;

int LayerIndex(an::TraceList list) { return static_cast<int>(list); }  // 1, 2, 3

QPixmap CursorPixmap(const QString& name)
{
    QPixmap pm(32, 32);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing, false);
    auto stroke = [&p](const QColor& colour, int width, const std::function<void()>& draw) {
        p.setPen(QPen(colour, width));
        draw();
    };
    if (name == QLatin1String("CREATE")) {
        // A pen tip over a small cross: the hot spot is the cross's centre.
        for (const auto& [colour, width] : {std::pair{QColor(Qt::white), 3}, std::pair{QColor(Qt::black), 1}}) {
            stroke(colour, width, [&p] {
                p.drawLine(15, 8, 15, 22);
                p.drawLine(8, 15, 22, 15);
                p.drawLine(19, 11, 28, 2);
            });
        }
    } else if (name == QLatin1String("REMOVE")) {
        for (const auto& [colour, width] : {std::pair{QColor(Qt::white), 3}, std::pair{QColor(200, 0, 0), 1}}) {
            stroke(colour, width, [&p] {
                p.drawLine(9, 9, 21, 21);
                p.drawLine(9, 21, 21, 9);
                p.drawRect(5, 5, 20, 20);
            });
        }
    }
    return pm;
}

// Image pixel inside a layer?
bool OnLayer(const QImage& layer, int x, int y) { return x >= 0 && y >= 0 && x < layer.width() && y < layer.height(); }

void PutPixel(QImage& layer, int x, int y, QRgb colour)
{
    if (OnLayer(layer, x, y))
        layer.setPixel(x, y, colour);
}

void PutPlus(QImage& layer, PixelPoint p, QRgb colour)
{
    PutPixel(layer, p.x, p.y, colour);
    PutPixel(layer, p.x - 1, p.y, colour);
    PutPixel(layer, p.x + 1, p.y, colour);
    PutPixel(layer, p.x, p.y - 1, colour);
    PutPixel(layer, p.x, p.y + 1, colour);
}

// How a point list's layer is shown: a single pixel is lost on a real angiogram (a dark
// vessel on a mottled background), so each point shows as a 3 x 3 mark in its colour set
// in a dark frame; the layer itself keeps the one pixel per point. Lines show as drawn.
QImage ShownPointLayer(const QImage& layer, const std::vector<PixelPoint>& points, QRgb colour, bool asLine)
{
    if (asLine)
        return layer;
    QImage shown = layer;
    constexpr QRgb kFrame = 0xC0000000u;
    for (const PixelPoint& p : points)
        for (int dy = -2; dy <= 2; ++dy)
            for (int dx = -2; dx <= 2; ++dx)
                if (OnLayer(shown, p.x + dx, p.y + dy) && qAlpha(shown.pixel(p.x + dx, p.y + dy)) == 0)
                    shown.setPixel(p.x + dx, p.y + dy, kFrame);
    for (const PixelPoint& p : points)
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx)
                if (OnLayer(shown, p.x + dx, p.y + dy) && shown.pixel(p.x + dx, p.y + dy) == kFrame)
                    shown.setPixel(p.x + dx, p.y + dy, colour);
    return shown;
}

QImage BlankLayer(QSize size)
{
    QImage image(size, QImage::Format_ARGB32);
    image.fill(0);
    return image;
}

QImage PlaceholderPicture()
{
    QImage image(TAngioFrame::kPlaceholderWidth, TAngioFrame::kPlaceholderHeight, QImage::Format_RGB888);
    image.fill(QColor(40, 40, 40));
    QPainter p(&image);
    p.setPen(QColor(150, 150, 150));
    QFont font = p.font();
    font.setPointSize(16);
    p.setFont(font);
    p.drawText(image.rect(), Qt::AlignCenter, QStringLiteral("No frames of this projection"));
    return image;
}

cv::Mat MatFromQImage(const QImage& source)
{
    const QImage rgb = source.convertToFormat(QImage::Format_BGR888);
    cv::Mat view(rgb.height(), rgb.width(), CV_8UC3, const_cast<uchar*>(rgb.constBits()), rgb.bytesPerLine());
    return view.clone();
}

} // namespace

QCursor AngioCursor(const QString& name)
{
    // The five cursors are made once, like the application's registered cursors 1 to 5.
    static std::map<QString, QCursor> cursors;
    if (cursors.empty()) {
        cursors[QStringLiteral("CREATE")] = QCursor(CursorPixmap(QStringLiteral("CREATE")), 15, 15);
        cursors[QStringLiteral("MOVE")] = QCursor(Qt::SizeAllCursor);
        cursors[QStringLiteral("REMOVE")] = QCursor(CursorPixmap(QStringLiteral("REMOVE")), 15, 15);
        cursors[QStringLiteral("HAND")] = QCursor(Qt::OpenHandCursor);
        cursors[QStringLiteral("HANDCLOSE")] = QCursor(Qt::ClosedHandCursor);
    }
    const auto it = cursors.find(name);
    return it != cursors.end() ? it->second : QCursor(Qt::ArrowCursor);
}

TAngioFrame::TAngioFrame(int tag, QWidget* parent) : QFrame(parent), tag_(tag)
{
    setObjectName(tag == 1 ? QStringLiteral("AngioFrame1") : QStringLiteral("AngioFrame2"));
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* panel1 = new QFrame(this);
    panel1->setObjectName(QStringLiteral("Panel1"));
    outer->addWidget(panel1);
    auto* layout = new QVBoxLayout(panel1);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);

    BuildToolbar();
    layout->addWidget(dxBarDockControl1);

    auto* middle = new QHBoxLayout;
    middle->setSpacing(2);
    cxTrackBar1 = new QSlider(Qt::Vertical, panel1);
    cxTrackBar1->setObjectName(QStringLiteral("cxTrackBar1"));
    cxTrackBar1->setFixedWidth(48);
    cxTrackBar1->setRange(an::kZoomMinimum, an::kZoomMaximum);
    cxTrackBar1->setValue(an::kZoomStart);
    cxTrackBar1->setTickPosition(QSlider::TicksBothSides);
    cxTrackBar1->setTickInterval(50);
    cxTrackBar1->setPageStep(50);
    cxTrackBar1->setToolTip(QStringLiteral("Zoom factor"));
    connect(cxTrackBar1, &QSlider::valueChanged, this, [this] { cxTrackBar1PropertiesChange(); });
    middle->addWidget(cxTrackBar1);

    scene_ = new QGraphicsScene(this);
    ImgView = new QGraphicsView(scene_, panel1);
    ImgView->setObjectName(QStringLiteral("ImgView"));
    ImgView->setBackgroundBrush(Qt::white);
    ImgView->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    ImgView->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    ImgView->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    ImgView->setTransformationAnchor(QGraphicsView::AnchorViewCenter);
    ImgView->setRenderHint(QPainter::SmoothPixmapTransform, true);
    ImgView->setFrameShape(QFrame::NoFrame);
    ImgView->viewport()->setMouseTracking(true);
    ImgView->viewport()->installEventFilter(this);
    middle->addWidget(ImgView, 1);
    layout->addLayout(middle, 1);

    auto* panel3 = new QFrame(panel1);
    panel3->setObjectName(QStringLiteral("Panel3"));
    panel3->setFixedHeight(86);
    BuildBottomPanel(panel3);
    layout->addWidget(panel3);

    Timer1 = new QTimer(this);
    Timer1->setInterval(an::kPlayIntervalMs);
    connect(Timer1, &QTimer::timeout, this, [this] { Timer1Timer(); });

    // The image and its six layers, each later one drawn over the earlier ones.
    image_item_ = scene_->addPixmap(QPixmap());
    image_item_->setTransformationMode(Qt::SmoothTransformation);
    image_item_->setAcceptedMouseButtons(Qt::NoButton);
    for (int i = 0; i < 6; ++i) {
        layer_items_[i] = scene_->addPixmap(QPixmap());
        layer_items_[i]->setZValue(i + 1);
        layer_items_[i]->setTransformationMode(Qt::FastTransformation);
        layer_items_[i]->setAcceptedMouseButtons(Qt::NoButton);
    }
    // The mode text keeps its size at every zoom.
    layer_items_[kTextLayer]->setFlag(QGraphicsItem::ItemIgnoresTransformations, true);

    const QImage placeholder = PlaceholderPicture();
    LoadedImage = MatFromQImage(placeholder);
    image_size_ = placeholder.size();
    Tracing.SetImageSize(image_size_.width(), image_size_.height());
    PlaceLayers();
    ShowImage(placeholder);
    UpdateEditButtons();
}

TAngioFrame::~TAngioFrame() = default;

// ---- layout -----------------------------------------------------------------------------
void TAngioFrame::BuildToolbar()
{
    dxBarDockControl1 = new QToolBar(QStringLiteral("LAO Toolbar"), this);
    dxBarDockControl1->setObjectName(QStringLiteral("dxBarDockControl1"));
    dxBarDockControl1->setToolButtonStyle(Qt::ToolButtonTextOnly);
    // Compact buttons, so that the whole bar fits a view of half the window.
    dxBarDockControl1->setStyleSheet(QStringLiteral("QToolBar { spacing: 0px; } QToolButton { padding: 2px 0px; margin: 0px; }"));
    QToolBar* bar = dxBarDockControl1;

    UndoButton = bar->addAction(QStringLiteral("Undo"));
    UndoButton->setObjectName(QStringLiteral("dxBarLargeButton5"));
    connect(UndoButton, &QAction::triggered, this, [this] { dxBarLargeButton5Click(); });
    RedoButton = bar->addAction(QStringLiteral("Redo"));
    RedoButton->setObjectName(QStringLiteral("dxBarLargeButton6"));
    connect(RedoButton, &QAction::triggered, this, [this] { dxBarLargeButton6Click(); });

    tools_ = new QActionGroup(this);
    tools_->setExclusive(true);
    auto tool = [&](const QString& text, const char* name, ToolMode mode) {
        QAction* a = bar->addAction(text);
        a->setObjectName(QLatin1String(name));
        a->setCheckable(true);
        tools_->addAction(a);
        connect(a, &QAction::triggered, this, [this, mode] { ToolButtonClick(mode); });
        return a;
    };
    auto withMenu = [bar](QAction* a, QMenu* menu) {
        a->setMenu(menu);
        if (auto* button = qobject_cast<QToolButton*>(bar->widgetForAction(a)))
            button->setPopupMode(QToolButton::MenuButtonPopup);
    };
    CatheterButton = tool(QStringLiteral("Catheter"), "dxBarLargeButton2", ToolMode::Catheter);
    withMenu(CatheterButton, ListMenu(TraceList::Catheter));
    LumenAButton = tool(QStringLiteral("Lumen A"), "dxBarLargeButton3", ToolMode::LumenA);
    withMenu(LumenAButton, ListMenu(TraceList::LumenA));
    LumenBButton = tool(QStringLiteral("Lumen B"), "dxBarLargeButton4", ToolMode::LumenB);
    withMenu(LumenBButton, ListMenu(TraceList::LumenB));
    SetWidthButton = tool(QStringLiteral("Set width"), "dxBarLargeButton9", ToolMode::SetWidth);
    {
        auto* menu = new QMenu(this);
        WidthVisibleItem = menu->addAction(QStringLiteral("Visible layer "));
        WidthVisibleItem->setObjectName(QStringLiteral("cxBarEditItem10"));
        WidthVisibleItem->setCheckable(true);
        WidthVisibleItem->setChecked(true);
        connect(WidthVisibleItem, &QAction::toggled, this, [this] { WidthVisibleChange(); });
        menu->addSeparator();
        ResetWidthItem = menu->addAction(QStringLiteral("Reset width"));
        ResetWidthItem->setObjectName(QStringLiteral("dxBarButton6"));
        connect(ResetWidthItem, &QAction::triggered, this, [this] { dxBarButton6Click(); });
        withMenu(SetWidthButton, menu);
    }
    MovePointButton = tool(QStringLiteral("Move point"), "dxBarLargeButton7", ToolMode::MovePoint);
    DeletePointButton = tool(QStringLiteral("Delete point"), "dxBarLargeButton8", ToolMode::DeletePoint);

    OutlineButton = bar->addAction(QStringLiteral("Outline"));
    OutlineButton->setObjectName(QStringLiteral("dxBarLargeButton1"));
    connect(OutlineButton, &QAction::triggered, this, [this] { dxBarLargeButton1Click(); });
    auto* menu = new QMenu(this);
    auto spinRow = [this, menu](const QString& caption, QWidget* editor) {
        auto* row = new QWidget(menu);
        auto* h = new QHBoxLayout(row);
        h->setContentsMargins(6, 2, 6, 2);
        h->addWidget(new QLabel(caption, row));
        h->addWidget(editor);
        auto* action = new QWidgetAction(menu);
        action->setDefaultWidget(row);
        menu->addAction(action);
    };
    MaxVesselWidthEdit = new QSpinBox;
    MaxVesselWidthEdit->setObjectName(QStringLiteral("dxBarSpinEdit2"));
    MaxVesselWidthEdit->setRange(1, 255);
    MaxVesselWidthEdit->setValue(20);
    spinRow(QStringLiteral("Max vessel width (px)"), MaxVesselWidthEdit);
    EnergyEdit = new QDoubleSpinBox;
    EnergyEdit->setObjectName(QStringLiteral("dxBarSpinEdit3"));
    EnergyEdit->setRange(1.0, 20.0);
    EnergyEdit->setSingleStep(0.5);
    EnergyEdit->setDecimals(1);
    EnergyEdit->setValue(5.5);
    spinRow(QStringLiteral("Energy"), EnergyEdit);
    ClearOutlineItem = menu->addAction(QStringLiteral("Clear layer"));
    ClearOutlineItem->setObjectName(QStringLiteral("dxBarButton8"));
    connect(ClearOutlineItem, &QAction::triggered, this, [this] { dxBarButton8Click(); });
    withMenu(OutlineButton, menu);

    MovePointButton->setEnabled(false);
    DeletePointButton->setEnabled(false);
    UndoButton->setEnabled(false);
    RedoButton->setEnabled(false);
}

QMenu* TAngioFrame::ListMenu(TraceList list)
{
    const int i = LayerIndex(list) - 1;
    static const char* const visibleNames[] = {"cxBarEditItem4", "cxBarEditItem5", "cxBarEditItem7"};
    static const char* const lineNames[] = {"cxBarEditItem6", "cxBarEditItem8", "cxBarEditItem9"};
    static const char* const clearNames[] = {"dxBarButton3", "dxBarButton4", "dxBarButton5"};
    auto* menu = new QMenu(this);
    VisibleLayerItems[i] = menu->addAction(QStringLiteral("Visible layer "));
    VisibleLayerItems[i]->setObjectName(QLatin1String(visibleNames[i]));
    VisibleLayerItems[i]->setCheckable(true);
    VisibleLayerItems[i]->setChecked(true);
    connect(VisibleLayerItems[i], &QAction::toggled, this, [this, list] { VisibleLayerChange(list); });
    ShowAsLineItems[i] = menu->addAction(QStringLiteral("Show as line"));
    ShowAsLineItems[i]->setObjectName(QLatin1String(lineNames[i]));
    ShowAsLineItems[i]->setCheckable(true);
    ShowAsLineItems[i]->setEnabled(false);
    connect(ShowAsLineItems[i], &QAction::toggled, this, [this, list] { ShowAsLineChange(list); });
    menu->addSeparator();
    ClearAllItems[i] = menu->addAction(QStringLiteral("Clear all points"));
    ClearAllItems[i]->setObjectName(QLatin1String(clearNames[i]));
    connect(ClearAllItems[i], &QAction::triggered, this, [this, list] { ClearAllPointsClick(list); });
    return menu;
}

void TAngioFrame::BuildBottomPanel(QWidget* panel)
{
    auto* grid = new QGridLayout(panel);
    grid->setContentsMargins(4, 2, 4, 2);
    grid->setVerticalSpacing(0);
    auto bar = [panel](const char* name, int tickInterval) {
        auto* s = new QSlider(Qt::Horizontal, panel);
        s->setObjectName(QLatin1String(name));
        s->setRange(-100, 100);
        s->setValue(0);
        if (tickInterval > 0) {
            s->setTickPosition(QSlider::TicksBelow);
            s->setTickInterval(tickInterval);
        }
        return s;
    };
    BrightnessBar = bar("BrightnessBar", 0);
    BrightnessBar->setPageStep(50);
    ContrastBar = bar("ContrastBar", 10);
    GammaBar = bar("GammaBar", 0);
    grid->addWidget(new QLabel(QStringLiteral("Brightness"), panel), 0, 0);
    grid->addWidget(BrightnessBar, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("Contrast"), panel), 1, 0);
    grid->addWidget(ContrastBar, 1, 1);
    grid->addWidget(new QLabel(QStringLiteral("Gamma"), panel), 2, 0);
    grid->addWidget(GammaBar, 2, 1);
    for (QSlider* s : {BrightnessBar, ContrastBar, GammaBar})
        connect(s, &QSlider::valueChanged, this, [this] { cxBarEditItem2PropertiesChange(); });

    auto* frames = new QLabel(QStringLiteral("Frames menu"), panel);
    grid->addWidget(frames, 0, 2);
    PlayButton = new QPushButton(QStringLiteral("Play"), panel);
    PlayButton->setObjectName(QStringLiteral("dxBarButton2"));
    PlayButton->setCheckable(true);
    connect(PlayButton, &QPushButton::clicked, this, [this] { dxBarButton2Click(); });
    grid->addWidget(PlayButton, 0, 3);
    dxBarSpinEdit1 = new QSpinBox(panel);
    dxBarSpinEdit1->setObjectName(QStringLiteral("dxBarSpinEdit1"));
    dxBarSpinEdit1->setToolTip(QStringLiteral("Set frame number"));
    dxBarSpinEdit1->setPrefix(QStringLiteral("frame #"));
    dxBarSpinEdit1->setRange(1, 80);
    dxBarSpinEdit1->setValue(1);
    connect(dxBarSpinEdit1, &QSpinBox::valueChanged, this, [this] { dxBarSpinEdit1Change(); });
    grid->addWidget(dxBarSpinEdit1, 0, 4);
    TrackFrameBar = new QSlider(Qt::Horizontal, panel);
    TrackFrameBar->setObjectName(QStringLiteral("cxBarEditItem11"));
    TrackFrameBar->setToolTip(QStringLiteral("Track frame"));
    if (tag_ == 2) {
        TrackFrameBar->setRange(0, 10);
        TrackFrameBar->setTickPosition(QSlider::TicksBelow);
    } else {
        TrackFrameBar->setRange(1, 80);
    }
    TrackFrameBar->setValue(1);
    connect(TrackFrameBar, &QSlider::valueChanged, this, [this] { cxBarEditItem11Change(); });
    grid->addWidget(TrackFrameBar, 1, 2, 1, 3);
    ResetLuminosityButton = new QPushButton(QStringLiteral("Reset luminosity"), panel);
    ResetLuminosityButton->setObjectName(QStringLiteral("dxBarButton1"));
    connect(ResetLuminosityButton, &QPushButton::clicked, this, [this] { dxBarButton1Click(); });
    grid->addWidget(ResetLuminosityButton, 2, 4);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(2, 0);
}

// ---- set-up -------------------------------------------------------------------------------
void TAngioFrame::SetImageSource(const QString& folder, const QString& prefix, int count)
{
    ImageFolder = folder;
    FilePrefix = prefix;
    FrameCount = count;
}

bool TAngioFrame::LoadFrameFile(int fileNumber, QString* error)
{
    if (freed_)
        return false;
    const QString path = ImageFolder + AppPaths::FrameFileName(FilePrefix, fileNumber);
    cv::Mat image;
    try {
        image = an::ReadFrameMatrix(QFile::encodeName(path).toStdString(), FramePixelFormat::Bgr);
    } catch (const FrameFileError&) {
        image.release();
    }
    if (image.empty()) {
        if (error)
            *error = QStringLiteral("Cannot load the frame file %1").arg(path);
        return false;
    }
    LoadedImage = image;
    const QSize size(image.cols, image.rows);
    if (size != image_size_) {
        image_size_ = size;
        Tracing.SetImageSize(size.width(), size.height());
        PlaceLayers();
    }
    BuildLuminosityTable();
    return true;
}

void TAngioFrame::SetFrameRange(int count)
{
    dxBarSpinEdit1->setRange(1, std::max(1, count));
    TrackFrameBar->setRange(1, std::max(1, count));
    TrackFrameBar->setTickPosition(QSlider::NoTicks);
}

void TAngioFrame::SetFrameNumber(int n)
{
    FrameNumber = n;
    const int shown = std::clamp(n, dxBarSpinEdit1->minimum(), dxBarSpinEdit1->maximum());
    if (shown != dxBarSpinEdit1->value())
        dxBarSpinEdit1->setValue(shown);
}

void TAngioFrame::SetStoredPoints(const std::vector<PixelPoint>& catheter, const std::vector<PixelPoint>& lumenA,
                                  const std::vector<PixelPoint>& lumenB, const std::vector<PixelPoint>& width)
{
    if (freed_)
        return;
    Tracing.SetStoredPoints(catheter, lumenA, lumenB, width);
    RedrawLayers();
    UpdateEditButtons();
    ImgView->viewport()->update();
}

// The layers cover the image pixel for pixel; a new image size replaces them, and their
// marks are drawn again from the tracing.
void TAngioFrame::PlaceLayers()
{
    for (int i = 0; i < kOutlineLayer; ++i)
        layers_[i] = BlankLayer(image_size_);
    layers_[kOutlineLayer] = BlankLayer(image_size_);
    for (int i = 0; i < 6; ++i) {
        layer_items_[i]->setPos(0, 0);
        layer_items_[i]->setPixmap(QPixmap::fromImage(layers_[i]));
    }
    scene_->setSceneRect(QRectF(QPointF(0, 0), QSizeF(image_size_)));
    for (DrawnLayer& d : drawn_lists_)
        d.valid = false;
    drawn_width_valid_ = false;
    RedrawLayers();
    if (!mode_text_.isEmpty())
        ShowModeText(mode_text_, mode_text_colour_);
}

void TAngioFrame::ShowImage(const QImage& image)
{
    image_item_->setPixmap(QPixmap::fromImage(image));
}

QImage TAngioFrame::ShownImage() const { return image_item_ ? image_item_->pixmap().toImage() : QImage(); }

QImage TAngioFrame::LayerImage(int index) const
{
    return index >= 0 && index < 6 ? layers_[index] : QImage();
}

double TAngioFrame::ViewScale() const { return ImgView->transform().m11(); }

// ---- drawing ----------------------------------------------------------------------------------
QImage& TAngioFrame::ListLayer(TraceList list) { return layers_[LayerIndex(list)]; }

QGraphicsPixmapItem* TAngioFrame::ListItem(TraceList list) const { return layer_items_[LayerIndex(list)]; }

void TAngioFrame::DrawListLayer(TraceList list)
{
    const auto& points = Tracing.Points(list);
    DrawnLayer now;
    now.points = points;
    now.asLine = Tracing.ShowAsLine(list);
    now.highlight = Tracing.Highlight(list);
    if (Tracing.MovingPoint() && Tracing.MovingList() == list)
        now.marker = Tracing.MovingMarker();
    now.valid = true;
    DrawnLayer& drawn = drawn_lists_[LayerIndex(list) - 1];
    if (drawn == now)
        return;
    drawn = std::move(now);

    QImage& layer = ListLayer(list);
    layer.fill(0);
    const QRgb colour = an::ListColour(list);
    if (Tracing.ShowAsLine(list) && !points.empty()) {
        QPainter p(&layer);
        p.setRenderHint(QPainter::Antialiasing, false);
        p.setPen(QPen(QColor::fromRgba(colour), 0));
        QPolygon line;
        for (const PixelPoint& pt : points)
            line << QPoint(pt.x, pt.y);
        p.drawPolyline(line);
    } else {
        for (const PixelPoint& pt : points)
            PutPixel(layer, pt.x, pt.y, colour);
    }
    if (drawn.highlight)
        PutPlus(layer, *drawn.highlight, an::kHighlightColour);
    if (drawn.marker)
        PutPlus(layer, *drawn.marker, an::kHighlightColour);
    ListItem(list)->setPixmap(QPixmap::fromImage(ShownPointLayer(layer, points, colour, drawn.asLine)));
}

void TAngioFrame::RedrawLayers()
{
    if (freed_)
        return;
    for (TraceList list : {TraceList::Catheter, TraceList::LumenA, TraceList::LumenB})
        DrawListLayer(list);
    const auto line = Tracing.WidthLine();
    if (drawn_width_valid_ && drawn_width_ == line)
        return;
    drawn_width_valid_ = true;
    drawn_width_ = line;
    QImage& width = layers_[kWidthLayer];
    width.fill(0);
    if (line) {
        QPainter p(&width);
        p.setRenderHint(QPainter::Antialiasing, false);
        p.setPen(QPen(QColor::fromRgba(an::kWidthLineColour), 0));
        p.drawLine(line->first.x, line->first.y, line->second.x, line->second.y);
    }
    layer_items_[kWidthLayer]->setPixmap(QPixmap::fromImage(width));
}

void TAngioFrame::ShowModeText(const QString& text, QRgb colour)
{
    if (freed_)
        return;
    mode_text_ = text;
    mode_text_colour_ = colour;
    QImage& layer = layers_[kTextLayer];
    layer.fill(0);
    QPainter p(&layer);
    QFont font = p.font();
    font.setStyleStrategy(QFont::NoAntialias);
    font.setBold(true);
    p.setFont(font);
    p.setPen(QColor::fromRgba(colour));
    p.drawText(QRect(10, 10, std::max(0, layer.width() - 10), std::max(0, layer.height() - 10)),
               Qt::AlignLeft | Qt::AlignTop, text);
    p.end();
    layer_items_[kTextLayer]->setPixmap(QPixmap::fromImage(layer));
}

void TAngioFrame::UpdateEditButtons()
{
    if (freed_)
        return;
    const an::EditButtons b = Tracing.Buttons();
    UndoButton->setEnabled(b.undo);
    RedoButton->setEnabled(b.redo);
    MovePointButton->setEnabled(b.movePoint);
    DeletePointButton->setEnabled(b.deletePoint);
    for (int i = 0; i < 3; ++i) {
        ShowAsLineItems[i]->setEnabled(b.showAsLine[i]);
        // A press while drawing unchecks "Show as line" in the tracing: follow it here.
        const bool checked = Tracing.ShowAsLine(static_cast<TraceList>(i + 1));
        if (ShowAsLineItems[i]->isChecked() != checked) {
            const QSignalBlocker block(ShowAsLineItems[i]);
            ShowAsLineItems[i]->setChecked(checked);
        }
    }
}

void TAngioFrame::ShowCursorOfMode()
{
    QWidget* vp = ImgView->viewport();
    switch (Tracing.Mode()) {
    case ToolMode::Catheter:
    case ToolMode::LumenA:
    case ToolMode::LumenB: vp->setCursor(AngioCursor(QStringLiteral("CREATE"))); break;
    case ToolMode::DeletePoint: vp->setCursor(AngioCursor(QStringLiteral("REMOVE"))); break;
    case ToolMode::MovePoint: vp->setCursor(AngioCursor(QStringLiteral("MOVE"))); break;
    case ToolMode::SetWidth: vp->setCursor(Qt::CrossCursor); break;
    case ToolMode::None: vp->unsetCursor(); break;
    }
}

void TAngioFrame::Refuse(const std::string& text)
{
    if (!text.empty())
        Prompt().Error(QString::fromStdString(text));
}

// ---- zoom, frames, playing, luminosity ------------------------------------------------------
void TAngioFrame::cxTrackBar1PropertiesChange()
{
    const int position = cxTrackBar1->value();
    ImgView->setTransform(QTransform::fromScale(an::ZoomScale(position), an::ZoomScale(position)));
    cxTrackBar1->setToolTip(QString::fromStdString(an::ZoomHint(position)));
}

void TAngioFrame::StepZoom(int step) { cxTrackBar1->setValue(cxTrackBar1->value() + step); }

void TAngioFrame::dxBarSpinEdit1Change()
{
    const int v = dxBarSpinEdit1->value();
    TrackFrameBar->setValue(v);
    FrameNumber = v;
}

void TAngioFrame::cxBarEditItem11Change()
{
    const int v = TrackFrameBar->value();
    dxBarSpinEdit1->setValue(v);
    FrameNumber = v;
    if (FrameCount <= 0 || freed_)
        return;  // a view without a recording keeps its placeholder
    const QString file = FilePrefix + QString::number(v - 1);
    QString error;
    if (LoadFrameFile(v - 1, &error)) {
        last_failed_file_.clear();
        return;
    }
    // A frame that cannot be read leaves the previous picture; playing stops so the
    // report is not repeated at every tick.
    if (Timer1->isActive()) {
        Timer1->stop();
        PlayButton->setChecked(false);
    }
    if (file != last_failed_file_) {
        last_failed_file_ = file;
        Prompt().Error(error);
    }
}

void TAngioFrame::dxBarButton2Click()
{
    if (Timer1->isActive())
        Timer1->stop();
    else if (!freed_)
        Timer1->start();
    PlayButton->setChecked(Timer1->isActive());
}

void TAngioFrame::Timer1Timer()
{
    const int v = dxBarSpinEdit1->value();
    dxBarSpinEdit1->setValue(v == dxBarSpinEdit1->maximum() ? 1 : v + 1);
    ImgView->viewport()->update();
}

void TAngioFrame::BuildLuminosityTable()
{
    if (freed_ || LoadedImage.empty())
        return;
    const an::LuminosityTable table =
        an::BuildLuminosityTable(BrightnessBar->value(), ContrastBar->value(), GammaBar->value());
    cv::Mat shown;
    an::ApplyLuminosityTable(LoadedImage, shown, table);
    if (shown.channels() == 1) {
        const QImage grey(shown.data, shown.cols, shown.rows, static_cast<int>(shown.step), QImage::Format_Grayscale8);
        ShowImage(grey.copy());
    } else {
        const QImage bgr(shown.data, shown.cols, shown.rows, static_cast<int>(shown.step), QImage::Format_BGR888);
        ShowImage(bgr.copy());
    }
}

void TAngioFrame::cxBarEditItem2PropertiesChange() { BuildLuminosityTable(); }

void TAngioFrame::dxBarButton1Click()
{
    for (QSlider* s : {BrightnessBar, ContrastBar, GammaBar}) {
        const QSignalBlocker block(s);
        s->setValue(0);
    }
    BuildLuminosityTable();
}

// ---- outline ----------------------------------------------------------------------------------
void TAngioFrame::dxBarLargeButton1Click()
{
    if (freed_ || ImageFolder.isEmpty())
        return;
    // The frame shown: also before a frame is chosen (frame number 0), when the view
    // shows frame file 0.
    const int shown = std::max(GetFrameNumber(), dxBarSpinEdit1->value());
    const QString path = ImageFolder + AppPaths::FrameFileName(FilePrefix, shown - 1);
    cv::Mat frame;
    try {
        frame = an::ReadFrameMatrix(QFile::encodeName(path).toStdString(), FramePixelFormat::AsStored);
    } catch (const FrameFileError&) {
        frame.release();
    }
    if (frame.empty()) {
        Prompt().Warning(QStringLiteral("The frame file %1 cannot be read.").arg(QDir::toNativeSeparators(path)));
        return;
    }
    an::OutlineParameters parameters;
    parameters.energy = static_cast<float>(EnergyEdit->value());
    parameters.threshold = MaxVesselWidthEdit->value();
    cv::Mat mask;
    {
        WaitCursor hourglass;
        mask = an::ComputeVesselOutline(frame, parameters, [](float s) {
            std::printf("Processing sigma %.1f\n", static_cast<double>(s));
            std::fflush(stdout);
        });
    }
    if (mask.empty())
        return;
    if (cv::countNonZero(mask) == 0)
        Prompt().Info(QStringLiteral("No vessel outline was found on this frame."));
    QImage outline = BlankLayer(QSize(mask.cols, mask.rows));
    for (int i = 0; i < mask.rows; ++i) {
        const uchar* m = mask.ptr<uchar>(i);
        auto* line = reinterpret_cast<QRgb*>(outline.scanLine(i));
        for (int j = 0; j < mask.cols; ++j)
            if (m[j] != 0)
                line[j] = 0xFFFFFFFFu;
    }
    layers_[kOutlineLayer] = outline;
    layer_items_[kOutlineLayer]->setPos(0, 0);
    layer_items_[kOutlineLayer]->setPixmap(QPixmap::fromImage(outline));
}

void TAngioFrame::dxBarButton8Click()
{
    if (freed_)
        return;
    layers_[kOutlineLayer].fill(0);
    layer_items_[kOutlineLayer]->setPixmap(QPixmap::fromImage(layers_[kOutlineLayer]));
}

// ---- tracing ------------------------------------------------------------------------------------
void TAngioFrame::ToolButtonClick(ToolMode mode)
{
    if (freed_)
        return;
    QAction* button = tools_->checkedAction();
    if (!button)
        return;
    Tracing.SetToolMode(mode);
    ShowModeText(QString::fromLatin1(an::ModeText(mode)), an::ModeTextColour(mode));
    if (ImgView->viewport()->underMouse())
        ShowCursorOfMode();
}

void TAngioFrame::dxBarLargeButton5Click()
{
    if (freed_ || Tracing.ActionCursor() < 0)
        return;
    Tracing.Undo();
    RedrawLayers();
    UpdateEditButtons();
}

void TAngioFrame::dxBarLargeButton6Click()
{
    if (freed_ || Tracing.ActionCursor() >= static_cast<int>(Tracing.ActionHistory().size()) - 1)
        return;
    Tracing.Redo();
    RedrawLayers();
    UpdateEditButtons();
}

void TAngioFrame::ClearAllPointsClick(TraceList list)
{
    if (freed_ || !Prompt().AskYesNoDefaultNo(QString::fromLatin1(an::ClearListQuestion(list))))
        return;
    Tracing.ClearAllPoints(list);
    RedrawLayers();
    UpdateEditButtons();
}

void TAngioFrame::dxBarButton6Click()
{
    if (freed_ || !Prompt().AskYesNoDefaultNo(QString::fromLatin1(an::kResetWidthQuestion)))
        return;
    Tracing.ResetWidth();
    RedrawLayers();
}

void TAngioFrame::ShowAsLineChange(TraceList list)
{
    if (freed_ || Tracing.Points(list).empty())
        return;
    Tracing.SetShowAsLine(list, ShowAsLineItems[LayerIndex(list) - 1]->isChecked());
    RedrawLayers();
}

void TAngioFrame::VisibleLayerChange(TraceList list)
{
    if (freed_)
        return;
    const bool visible = VisibleLayerItems[LayerIndex(list) - 1]->isChecked();
    Tracing.SetListVisible(list, visible);
    ListItem(list)->setVisible(visible);
}

void TAngioFrame::WidthVisibleChange()
{
    if (freed_)
        return;
    Tracing.SetWidthVisible(WidthVisibleItem->isChecked());
    layer_items_[kWidthLayer]->setVisible(WidthVisibleItem->isChecked());
}

// ---- mouse ------------------------------------------------------------------------------------------
PixelPoint TAngioFrame::ImagePixelAt(QPoint viewPos) const
{
    const QPointF scene = ImgView->mapToScene(viewPos);
    return {static_cast<int>(scene.x()), static_cast<int>(scene.y())};
}

QPoint TAngioFrame::ViewPosOf(PixelPoint pixel) const
{
    // mapFromScene rounds, which would land on the next pixel at scale 1.
    const QPointF v = ImgView->viewportTransform().map(QPointF(pixel.x + 0.5, pixel.y + 0.5));
    return {static_cast<int>(std::floor(v.x())), static_cast<int>(std::floor(v.y()))};
}

namespace {
an::MouseButton ToButton(Qt::MouseButton b)
{
    switch (b) {
    case Qt::RightButton: return an::MouseButton::Right;
    case Qt::MiddleButton: return an::MouseButton::Middle;
    default: return an::MouseButton::Left;
    }
}
} // namespace

void TAngioFrame::ImgViewMouseDown(Qt::MouseButton button, QPoint pos)
{
    if (freed_ || (button != Qt::LeftButton && button != Qt::RightButton && button != Qt::MiddleButton))
        return;
    const std::string refusal = Tracing.Press(ToButton(button), ImagePixelAt(pos), {pos.x(), pos.y()});
    if (button == Qt::RightButton) {
        QWidget* vp = ImgView->viewport();
        saved_cursor_ = vp->cursor();
        panning_cursor_ = true;
        vp->setCursor(AngioCursor(QStringLiteral("HAND")));
    }
    RedrawLayers();
    UpdateEditButtons();
    Refuse(refusal);
}

void TAngioFrame::ImgViewMouseMove(QPoint pos)
{
    if (freed_)
        return;
    const bool redraw = Tracing.Mode() == ToolMode::DeletePoint || Tracing.Mode() == ToolMode::MovePoint ||
                        Tracing.LeftDragging() || Tracing.MovingPoint();
    const PixelPoint scroll = Tracing.Move(ImagePixelAt(pos), {pos.x(), pos.y()});
    if (scroll.x != 0 || scroll.y != 0) {
        ImgView->horizontalScrollBar()->setValue(ImgView->horizontalScrollBar()->value() + scroll.x);
        ImgView->verticalScrollBar()->setValue(ImgView->verticalScrollBar()->value() + scroll.y);
    }
    if (redraw) {
        RedrawLayers();
        UpdateEditButtons();
    }
}

void TAngioFrame::ImgViewMouseUp(Qt::MouseButton button, QPoint pos)
{
    if (freed_)
        return;
    Tracing.Release(ToButton(button), ImagePixelAt(pos));
    if (button == Qt::RightButton && panning_cursor_) {
        ImgView->viewport()->setCursor(saved_cursor_);
        panning_cursor_ = false;
    }
    RedrawLayers();
    UpdateEditButtons();
}

void TAngioFrame::ImgViewMouseEnter()
{
    if (freed_)
        return;
    Tracing.Enter();
    ShowCursorOfMode();
    ImgView->viewport()->update();
}

void TAngioFrame::ImgViewMouseLeave()
{
    if (freed_)
        return;
    Tracing.Leave();
    ImgView->viewport()->unsetCursor();
}

bool TAngioFrame::eventFilter(QObject* watched, QEvent* event)
{
    if (!ImgView || watched != ImgView->viewport())
        return QFrame::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
        auto* e = static_cast<QMouseEvent*>(event);
        ImgViewMouseDown(e->button(), e->position().toPoint());
        return true;
    }
    case QEvent::MouseMove: {
        auto* e = static_cast<QMouseEvent*>(event);
        ImgViewMouseMove(e->position().toPoint());
        return true;
    }
    case QEvent::MouseButtonRelease: {
        auto* e = static_cast<QMouseEvent*>(event);
        ImgViewMouseUp(e->button(), e->position().toPoint());
        return true;
    }
    case QEvent::Enter: ImgViewMouseEnter(); break;
    case QEvent::Leave: ImgViewMouseLeave(); break;
    case QEvent::Wheel: {
        auto* e = static_cast<QWheelEvent*>(event);
        if (e->angleDelta().y() != 0)
            emit wheelTurned(e->angleDelta().y());
        return true;
    }
    default: break;
    }
    return QFrame::eventFilter(watched, event);
}

// ---- release -------------------------------------------------------------------------------------------
void TAngioFrame::FreeFrameLayers()
{
    if (freed_)
        return;
    Timer1->stop();
    PlayButton->setChecked(false);
    for (QGraphicsPixmapItem*& item : layer_items_) {
        scene_->removeItem(item);
        delete item;
        item = nullptr;
    }
    for (QImage& layer : layers_)
        layer = QImage();
    LoadedImage.release();
    Tracing = an::AngioTracing();
    freed_ = true;
}
