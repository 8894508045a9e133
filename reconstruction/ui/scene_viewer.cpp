#include "reconstruction/ui/scene_viewer.h"

#include <QMouseEvent>
#include <QWheelEvent>

#include <cmath>

namespace kestrova::reconstruction {

TSceneViewer::TSceneViewer(QWidget* parent) : QOpenGLWidget(parent)
{
    setObjectName(QStringLiteral("GLSceneViewer1"));
    setFormat(SceneRenderer::Format());
    setFocusPolicy(Qt::StrongFocus);
    setMinimumSize(64, 64);
}

TSceneViewer::~TSceneViewer()
{
    ReleaseGraphics();
}

void TSceneViewer::SetScene(Scene* scene)
{
    scene_ = scene;
    camera_ = scene ? scene->GLCamera : nullptr;
    update();
}

void TSceneViewer::SetCamera(SceneCamera* camera)
{
    camera_ = camera;
    update();
}

void TSceneViewer::ReleaseGraphics()
{
    if (!ready_ || !context())
        return;
    makeCurrent();
    renderer_.Release();
    doneCurrent();
}

void TSceneViewer::initializeGL()
{
    ready_ = renderer_.Initialize();
}

void TSceneViewer::paintGL()
{
    if (!ready_ || !scene_ || !camera_)
        return;
    renderer_.Render(*scene_, *camera_, width(), height(), devicePixelRatioF());
}

void TSceneViewer::mousePressEvent(QMouseEvent* e)
{
    last_ = e->position().toPoint();
    setFocus();
    emit mousePressed(last_);
}

void TSceneViewer::mouseMoveEvent(QMouseEvent* e)
{
    const QPoint p = e->position().toPoint();
    const QPoint d = p - last_;
    last_ = p;
    if (!camera_)
        return;
    const Qt::MouseButtons b = e->buttons();
    if ((b & Qt::LeftButton) && (b & Qt::RightButton))
        camera_->AdjustDistanceToTarget(std::pow(kZoomPerPixel, d.y()));
    else if (b & (Qt::LeftButton | Qt::RightButton))
        camera_->MoveAroundTarget(d.y() * kTurnPerPixel, d.x() * kTurnPerPixel);
    else
        return;
    update();
}

void TSceneViewer::wheelEvent(QWheelEvent* e)
{
    if (!camera_)
        return;
    // Inverted: turning the wheel forward moves the camera away from its target.
    camera_->AdjustDistanceToTarget(std::pow(1.1, e->angleDelta().y() / 120.0));
    update();
}

} // namespace kestrova::reconstruction
