#include "import/ui/player_frame.h"

#include "app/frame_image.h"
#include "app/paths.h"
#include "app/prompter.h"
#include "study/frame_reader.h"
#include "import/ui/player_image_view.h"

#include <QAction>
#include <QLineEdit>
#include <QPainter>
#include <QSlider>
#include <QSpinBox>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>


namespace studyimport {

namespace {

// Shift editor: a typed number outside its range is brought into it while typing
// (40 becomes 25, -30 becomes -25) instead of being refused.
class ShiftSpinBox : public QSpinBox {
public:
    using QSpinBox::QSpinBox;

    QValidator::State validate(QString& input, int& pos) const override
    {
        const QString body = input.trimmed();
        if (body.isEmpty() || body == QLatin1String("-") || body == QLatin1String("+"))
            return QValidator::Intermediate;
        bool ok = false;
        const long long typed = body.toLongLong(&ok);
        if (!ok)
            return QValidator::Invalid;
        const int clamped = FrameSelection::ClampShift(typed);
        if (clamped != typed || body != input) {
            input = QString::number(clamped);
            pos = static_cast<int>(input.size());
        }
        return QValidator::Acceptable;
    }
};

QImage MakeMarker(bool selected)
{
    QImage img(16, 16, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    if (selected) {
        p.setPen(QPen(QColor(0, 90, 0), 1));
        p.setBrush(QColor(40, 200, 40));
        p.drawEllipse(QRectF(0.5, 0.5, 15, 15));
        p.setPen(QPen(Qt::white, 2));
        p.drawPolyline(QPolygonF({QPointF(4, 8), QPointF(7, 11), QPointF(12, 5)}));
    } else {
        p.setPen(QPen(QColor(200, 200, 200), 2));
        p.setBrush(QColor(60, 60, 60, 160));
        p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
    }
    return img;
}

} // namespace

TPlayerFrame::TPlayerFrame(QWidget* owner) : QFrame(owner)
{
    setObjectName(QStringLiteral("PlayerFrame"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    ImgView = new PlayerImageView(this);
    ImgView->setObjectName(QStringLiteral("ImgView"));
    layout->addWidget(ImgView, 1);
    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    auto* panelLayout = new QVBoxLayout(Panel1);
    panelLayout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(Panel1);
    BuildToolbar();
    panelLayout->addWidget(FramesMenu);

    Timer1 = new QTimer(this);
    Timer1->setInterval(60);
    connect(Timer1, &QTimer::timeout, this, &TPlayerFrame::Timer1Timer);

    Bitmap32List2 = {MakeMarker(false), MakeMarker(true)};

    PreparePlayer(false);
    // The text layer just made stays in the view; the references start empty.
    MarkerLayer_ = nullptr;
    TextLayer_ = nullptr;
    DrawingLayer_ = nullptr;
    FrameCount_ = 0;
}

TPlayerFrame::~TPlayerFrame() = default;

void TPlayerFrame::BuildToolbar()
{
    FramesMenu = new QToolBar(QStringLiteral("Frames menu"), Panel1);
    FramesMenu->setObjectName(QStringLiteral("FramesMenu"));
    FramesMenu->setToolButtonStyle(Qt::ToolButtonTextOnly);

    dxBarButton2 = FramesMenu->addAction(tr("Play"));
    dxBarButton2->setObjectName(QStringLiteral("dxBarButton2"));
    connect(dxBarButton2, &QAction::triggered, this, &TPlayerFrame::dxBarButton2Click);
    dxBarButton1 = FramesMenu->addAction(tr("Pause"));
    dxBarButton1->setObjectName(QStringLiteral("dxBarButton1"));
    connect(dxBarButton1, &QAction::triggered, this, &TPlayerFrame::dxBarButton1Click);

    dxBarSpinEdit1 = new QSpinBox(FramesMenu);
    dxBarSpinEdit1->setObjectName(QStringLiteral("dxBarSpinEdit1"));
    dxBarSpinEdit1->setToolTip(tr("Set frame number"));
    dxBarSpinEdit1->setPrefix(QStringLiteral("frame #"));
    dxBarSpinEdit1->setRange(1, 80);
    dxBarSpinEdit1->setValue(1);
    FramesMenu->addWidget(dxBarSpinEdit1);
    connect(dxBarSpinEdit1, &QSpinBox::valueChanged, this, &TPlayerFrame::dxBarSpinEdit1Change);

    cxBarEditItem11 = new QSlider(Qt::Horizontal, FramesMenu);
    cxBarEditItem11->setObjectName(QStringLiteral("cxBarEditItem11"));
    cxBarEditItem11->setToolTip(tr("Track frame"));
    cxBarEditItem11->setTickPosition(QSlider::NoTicks);
    cxBarEditItem11->setRange(1, 80);
    cxBarEditItem11->setValue(1);
    cxBarEditItem11->setMinimumWidth(120);
    FramesMenu->addWidget(cxBarEditItem11);
    connect(cxBarEditItem11, &QSlider::valueChanged, this, &TPlayerFrame::cxBarEditItem11Change);

    dxBarButton3 = FramesMenu->addAction(tr("Set / Unset (F4)"));
    dxBarButton3->setObjectName(QStringLiteral("dxBarButton3"));
    dxBarButton3->setShortcut(Qt::Key_F4);
    dxBarButton3->setShortcutContext(Qt::WindowShortcut);
    connect(dxBarButton3, &QAction::triggered, this, &TPlayerFrame::dxBarButton3Click);

    dxBarButton4 = FramesMenu->addAction(tr("Shifting (+/- from selected) :"));
    dxBarButton4->setObjectName(QStringLiteral("dxBarButton4"));
    dxBarButton4->setVisible(false);
    connect(dxBarButton4, &QAction::triggered, this, &TPlayerFrame::dxBarButton4Click);

    dxBarSpinEdit2 = new ShiftSpinBox(FramesMenu);
    dxBarSpinEdit2->setObjectName(QStringLiteral("dxBarSpinEdit2"));
    dxBarSpinEdit2->setRange(FrameSelection::kMinShift, FrameSelection::kMaxShift);
    dxBarSpinEdit2->setValue(0);
    shiftSpinAction_ = FramesMenu->addWidget(dxBarSpinEdit2);
    shiftSpinAction_->setVisible(false);

    auto* spacer = new QWidget(FramesMenu);
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    selectAllSpacer_ = FramesMenu->addWidget(spacer);

    dxBarButton5 = FramesMenu->addAction(tr("Select/Unselect All"));
    dxBarButton5->setObjectName(QStringLiteral("dxBarButton5"));
    dxBarButton5->setVisible(false);
    connect(dxBarButton5, &QAction::triggered, this, &TPlayerFrame::dxBarButton5Click);
}

PlayerLayer* TPlayerFrame::MakeTextLayer()
{
    // A new layer replaces the old one, so stale text never shows through.
    if (TextLayer_)
        ImgView->RemoveLayer(TextLayer_);
    PlayerLayer* layer = ImgView->AddLayer(QRect(0, 0, 200, 50), QSize(200, 50), false);
    ImgView->BringToFront(layer);
    return layer;
}

void TPlayerFrame::SetFrameSource(const QString& folder, const QString& prefix,
                                  std::int32_t frameCount)
{
    Folder_ = folder;
    Prefix_ = prefix;
    FrameCount_ = frameCount;
    loadingFailed_ = false;
}

void TPlayerFrame::SetFrameRange(int last)
{
    last = std::max(last, 1);
    dxBarSpinEdit1->setRange(1, last);
    cxBarEditItem11->setRange(1, last);
}

void TPlayerFrame::ResetPlayer()
{
    Timer1->stop();
    SetFrameSource(QString(), QString(), 0);
    selection_.Reset(0);
    SetFrameRange(1);
    ImgView->ClearImage();
    if (DrawingLayer_)
        DrawingLayer_->bitmap.fill(Qt::transparent);
    UpdateSelectionMarker();
}

void TPlayerFrame::PreparePlayer(bool selectable)
{
    Selectable_ = selectable;
    if (!selectable) {
        dxBarButton3->setVisible(false);
        TextLayer_ = MakeTextLayer();
        return;
    }
    dxBarButton3->setVisible(true);
    dxBarButton4->setVisible(true);
    dxBarButton5->setVisible(true);
    shiftSpinAction_->setVisible(true);
    selection_.Reset(FrameCount_);

    // New layers replace the old ones; a stale marker or ECG row drawing would show
    // through the new, partly transparent ones.
    if (MarkerLayer_)
        ImgView->RemoveLayer(MarkerLayer_);
    if (DrawingLayer_)
        ImgView->RemoveLayer(DrawingLayer_);
    MarkerLayer_ = ImgView->AddLayer(QRect(5, 5, 16, 16), QSize(16, 16), true);
    ShowMarker(selection_.IsFrameSelected(0));
    TextLayer_ = MakeTextLayer();

    DrawingLayer_ = nullptr;
    if (FrameCount_ > 0 && LoadFrame(1, true)) {
        const QSize size = ImgView->Image().size();
        DrawingLayer_ = ImgView->AddLayer(QRect(QPoint(0, 0), size), size, false);
        ImgView->BringToFront(DrawingLayer_);
    }
    ImgView->BringToFront(MarkerLayer_);
    // Show frame number 1, the frame just loaded.
    const QSignalBlocker blockSpin(dxBarSpinEdit1);
    const QSignalBlocker blockTrack(cxBarEditItem11);
    dxBarSpinEdit1->setValue(1);
    cxBarEditItem11->setValue(1);
    UpdateSelectionMarker();
}

void TPlayerFrame::ShowMarker(bool selected)
{
    if (!MarkerLayer_)
        return;
    MarkerLayer_->bitmap.fill(Qt::transparent);
    QPainter p(&MarkerLayer_->bitmap);
    p.drawImage(QPoint(0, 0), Bitmap32List2[selected ? 1 : 0]);
    p.end();
    ImgView->LayerChanged();
}

void TPlayerFrame::SelectFrame(long long i)
{
    selection_.SelectFrame(i);
    ShowMarker(true);
}

void TPlayerFrame::UnselectFrame(long long i)
{
    selection_.UnselectFrame(i);
    ShowMarker(false);
}

bool TPlayerFrame::IsFrameSelected(long long i) const
{
    return selection_.IsFrameSelected(i);
}

void TPlayerFrame::UpdateSelectionMarker()
{
    ShowMarker(selection_.IsFrameSelected(CurrentFrameNumber() - 1));
}

bool TPlayerFrame::ShiftSelection(int shift)
{
    if (!selection_.ShiftSelection(shift)) {
        Prompt().Info(tr("No selected frames are found"));
        return false;
    }
    UpdateSelectionMarker();
    return true;
}

void TPlayerFrame::SelectAllFrames(bool select)
{
    selection_.SelectAllFrames(select);
    UpdateSelectionMarker();
}

void TPlayerFrame::ApplyPickedFrames(const std::optional<std::vector<std::int32_t>>& picked)
{
    selection_.ApplyPickedFrames(picked);
    UpdateSelectionMarker();
}

void TPlayerFrame::DrawOverlayText(const QString& text, std::uint32_t argb)
{
    if (!TextLayer_)
        return;
    QImage& bmp = TextLayer_->bitmap;
    QPainter p(&bmp);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.fillRect(QRect(0, 0, 200, 30), Qt::transparent);
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    QFont font = p.font();
    font.setStyleStrategy(QFont::NoAntialias);
    p.setFont(font);
    p.setRenderHint(QPainter::TextAntialiasing, false);
    p.setPen(QColor::fromRgba(argb));
    p.drawText(QRect(10, 10, 190, 40), Qt::AlignLeft | Qt::AlignTop, text);
    p.end();
    ImgView->LayerChanged();
}

void TPlayerFrame::FreePlayerLayers()
{
    for (PlayerLayer** layer : {&MarkerLayer_, &TextLayer_, &DrawingLayer_}) {
        if (*layer)
            ImgView->RemoveLayer(*layer);
        *layer = nullptr;
    }
}

void TPlayerFrame::ShowFrame(int frameNumber)
{
    if (dxBarSpinEdit1->value() != frameNumber)
        dxBarSpinEdit1->setValue(frameNumber);
    else
        cxBarEditItem11Change(frameNumber);
}

int TPlayerFrame::CurrentFrameNumber() const
{
    return dxBarSpinEdit1->value();
}

QString TPlayerFrame::FrameFilePath(int frameNumber) const
{
    return Folder_ + AppPaths::FrameFileName(Prefix_, static_cast<long long>(frameNumber) - 1);
}

bool TPlayerFrame::LoadFrame(int frameNumber, bool reportFailure)
{
    if (FrameCount_ <= 0 || frameNumber < 1 || frameNumber > FrameCount_)
        return false;
    FramePixels frame;
    try {
        frame = ReadFrameFile(FrameFilePath(frameNumber).toStdString(), FramePixelFormat::Argb32);
    } catch (const FrameFileError& e) {
        // Stop playing: the next tick would fail the same way.
        Timer1->stop();
        if (reportFailure)
            Prompt().Warning(tr("Frame #%1 cannot be shown: %2")
                                 .arg(frameNumber)
                                 .arg(QString::fromStdString(e.what())));
        return false;
    }
    ImgView->SetImage(FrameImage(frame));
    return true;
}

void TPlayerFrame::dxBarButton2Click()
{
    Timer1->start();
}

void TPlayerFrame::dxBarButton1Click()
{
    Timer1->stop();
}

void TPlayerFrame::dxBarSpinEdit1Change(int value)
{
    cxBarEditItem11->setValue(value);
}

void TPlayerFrame::cxBarEditItem11Change(int value)
{
    dxBarSpinEdit1->setValue(value);
    if (LoadFrame(value, true))
        ImgView->SetLinearResampling(true);
    if (Selectable_)
        UpdateSelectionMarker();
    emit FrameShown(value);
}

void TPlayerFrame::Timer1Timer()
{
    const int current = dxBarSpinEdit1->value();
    dxBarSpinEdit1->setValue(NextFrameNumber(current, dxBarSpinEdit1->maximum()));
    ImgView->viewport()->update();
}

void TPlayerFrame::dxBarButton3Click()
{
    const int i = CurrentFrameNumber() - 1;
    if (IsFrameSelected(i))
        UnselectFrame(i);
    else
        SelectFrame(i);
}

void TPlayerFrame::dxBarButton4Click()
{
    ShiftSelection(dxBarSpinEdit2->value());
}

void TPlayerFrame::dxBarButton5Click()
{
    SelectAllFrames(selection_.SelectAllNext());
}

} // namespace studyimport
