// The 3D view's drawing area (GLSceneViewer1): a QOpenGLWidget that draws the scene model
// through one of its cameras, with the orbit navigation: a left or right button drag turns
// the camera around its target, both buttons together zoom, the wheel zooms (inverted).
// A mouse press also reports the position for picking.
#pragma once

#include "reconstruction/core/scene.h"
#include "reconstruction/ui/scene_renderer.h"

#include <QImage>
#include <QOpenGLWidget>
#include <QPoint>

namespace kestrova::reconstruction {

class TSceneViewer : public QOpenGLWidget {
    Q_OBJECT
public:
    explicit TSceneViewer(QWidget* parent = nullptr);
    ~TSceneViewer() override;

    void SetScene(Scene* scene);
    Scene* GetScene() const { return scene_; }
    void SetCamera(SceneCamera* camera);
    SceneCamera* Camera() const { return camera_; }
    // Frees the uploaded meshes (before the scene's objects go).
    void ReleaseGraphics();

    // Degrees the camera turns per pixel of a drag; distance factor per pixel of a zoom drag.
    static constexpr double kTurnPerPixel = 1.0;
    static constexpr double kZoomPerPixel = 1.01;

signals:
    // A mouse button went down at this position (widget pixels).
    void mousePressed(QPoint position);

protected:
    void initializeGL() override;
    void paintGL() override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;

private:
    Scene* scene_ = nullptr;
    SceneCamera* camera_ = nullptr;
    SceneRenderer renderer_;
    bool ready_ = false;
    QPoint last_;
};

} // namespace kestrova::reconstruction
