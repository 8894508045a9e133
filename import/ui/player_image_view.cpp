#include "import/ui/player_image_view.h"

#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>
#include <cmath>

namespace studyimport {

PlayerImageView::PlayerImageView(QWidget* parent) : QAbstractScrollArea(parent)
{
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    viewport()->setMouseTracking(true);
    viewport()->setAutoFillBackground(true);
    QPalette pal = viewport()->palette();
    pal.setColor(QPalette::Window, Qt::black);
    viewport()->setPalette(pal);
}

PlayerImageView::~PlayerImageView() = default;

void PlayerImageView::SetImage(const QImage& image)
{
    image_ = image;
    UpdateScrollBars();
    viewport()->update();
}

void PlayerImageView::ClearImage()
{
    image_ = QImage();
    UpdateScrollBars();
    viewport()->update();
}

void PlayerImageView::SetLinearResampling(bool on)
{
    linear_ = on;
    viewport()->update();
}

PlayerLayer* PlayerImageView::AddLayer(const QRect& location, const QSize& bitmapSize,
                                       bool mouseEvents)
{
    auto layer = std::make_unique<PlayerLayer>();
    layer->location = location;
    layer->bitmap = QImage(bitmapSize, QImage::Format_ARGB32_Premultiplied);
    layer->bitmap.fill(Qt::transparent);
    layer->mouseEvents = mouseEvents;
    layers_.push_back(std::move(layer));
    viewport()->update();
    return layers_.back().get();
}

void PlayerImageView::BringToFront(const PlayerLayer* layer)
{
    auto it = std::find_if(layers_.begin(), layers_.end(),
                           [layer](const auto& l) { return l.get() == layer; });
    if (it == layers_.end())
        return;
    std::rotate(it, it + 1, layers_.end());
    viewport()->update();
}

void PlayerImageView::RemoveLayer(const PlayerLayer* layer)
{
    std::erase_if(layers_, [layer](const auto& l) { return l.get() == layer; });
    viewport()->update();
}

int PlayerImageView::LayerIndex(const PlayerLayer* layer) const
{
    for (std::size_t i = 0; i < layers_.size(); ++i)
        if (layers_[i].get() == layer)
            return static_cast<int>(i);
    return -1;
}

QPoint PlayerImageView::ImageOffset() const
{
    return {-horizontalScrollBar()->value(), -verticalScrollBar()->value()};
}

void PlayerImageView::Draw(QPainter& painter) const
{
    painter.setRenderHint(QPainter::SmoothPixmapTransform, linear_);
    if (!image_.isNull())
        painter.drawImage(QPoint(0, 0), image_);
    for (const auto& layer : layers_)
        if (layer->visible && !layer->bitmap.isNull())
            painter.drawImage(layer->location, layer->bitmap);
}

QImage PlayerImageView::Compose() const
{
    if (image_.isNull())
        return {};
    QImage out = image_.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&out);
    Draw(painter);
    return out;
}

void PlayerImageView::paintEvent(QPaintEvent*)
{
    QPainter painter(viewport());
    painter.translate(ImageOffset());
    Draw(painter);
}

void PlayerImageView::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    UpdateScrollBars();
}

void PlayerImageView::scrollContentsBy(int, int)
{
    viewport()->update();
}

void PlayerImageView::UpdateScrollBars()
{
    const QSize area = viewport()->size();
    const QSize size = image_.isNull() ? QSize(0, 0) : image_.size();
    horizontalScrollBar()->setRange(0, std::max(0, size.width() - area.width()));
    horizontalScrollBar()->setPageStep(area.width());
    verticalScrollBar()->setRange(0, std::max(0, size.height() - area.height()));
    verticalScrollBar()->setPageStep(area.height());
}

QPoint PlayerImageView::ToFrame(const QPointF& p) const
{
    const QPoint offset = ImageOffset();
    // Truncated toward zero, as the frame is shown at scale 1.
    return {static_cast<int>(std::trunc(p.x() - offset.x())),
            static_cast<int>(std::trunc(p.y() - offset.y()))};
}

void PlayerImageView::mouseMoveEvent(QMouseEvent* event)
{
    emit FrameMouseMove(ToFrame(event->position()), event->buttons());
}

void PlayerImageView::mousePressEvent(QMouseEvent* event)
{
    emit FrameMouseDown(ToFrame(event->position()), event->button());
}

} // namespace studyimport
