#pragma once
// Image view of a frame player: the current frame at scale 1 with bitmap layers drawn
// over it in z order, scroll bars when the frame is larger than the view, and mouse
// positions reported in frame coordinates.
#include <QAbstractScrollArea>
#include <QImage>
#include <QRect>

#include <memory>
#include <vector>

namespace studyimport {

// A bitmap drawn over the frame at a place given in frame coordinates, scaled to it,
// composited with its alpha.
struct PlayerLayer {
    QRect location;
    QImage bitmap; // ARGB32 premultiplied
    bool visible = true;
    bool mouseEvents = false;
};

class PlayerImageView : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit PlayerImageView(QWidget* parent = nullptr);
    ~PlayerImageView() override;

    void SetImage(const QImage& image);
    const QImage& Image() const { return image_; }
    void ClearImage();
    // Smooth (linear) resampling of the layers that are drawn at another size.
    void SetLinearResampling(bool on);
    bool LinearResampling() const { return linear_; }

    // Layers, owned by the view; the newest is on top until reordered.
    PlayerLayer* AddLayer(const QRect& location, const QSize& bitmapSize, bool mouseEvents);
    void BringToFront(const PlayerLayer* layer);
    void RemoveLayer(const PlayerLayer* layer);
    int LayerCount() const { return static_cast<int>(layers_.size()); }
    int LayerIndex(const PlayerLayer* layer) const; // z order from 0 (bottom); -1 when absent
    void LayerChanged() { viewport()->update(); }

    // Where the frame's top-left corner is drawn in the viewport.
    QPoint ImageOffset() const;

    // The composed picture (frame and visible layers) at frame size, for tests and export.
    QImage Compose() const;

signals:
    void FrameMouseMove(QPoint framePosition, Qt::MouseButtons buttons);
    void FrameMouseDown(QPoint framePosition, Qt::MouseButton button);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    void UpdateScrollBars();
    void Draw(QPainter& painter) const;
    QPoint ToFrame(const QPointF& viewportPosition) const;

    QImage image_;
    bool linear_ = false;
    std::vector<std::unique_ptr<PlayerLayer>> layers_;
};

} // namespace studyimport
