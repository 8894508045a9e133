// The 3D view TViewerForm ("3D display", the main window's `ViewerForm`): shows the vessel rebuilt from
// the open card's stored tracings and contours. Showing it runs the reconstruction; the
// scene then holds the catheter line, one line per wall contour and both wall surfaces
// (hidden until asked for). The left panel shows the IVUS frame of the chosen contour, a
// frame slider and the controls of the outer wall, the inner wall and the catheter; the
// two "Export 3D model" buttons write the wall surfaces as surface text files.
//
// A refused or failed reconstruction is reported through the message seam and leaves an
// empty view that still works. The refusal, and the remarks of a model built with
// something left out (stored contours that could not be read name their wall, frame and
// card), are told once the view is on screen and the opening hourglass is gone. A frame
// file that cannot be read is named in the image panel.
#pragma once

#include "app/child_form.h"
#include "app/window_context.h"
#include "reconstruction/core/reconstruction.h"
#include "reconstruction/core/scene.h"
#include "reconstruction/core/surface_export.h"

#include <QElapsedTimer>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <set>

class QCheckBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QScrollArea;
class QSlider;
class QTimer;

namespace kestrova::reconstruction {
class TSceneViewer;
}

class TViewerForm : public TChildForm {
    Q_OBJECT
public:
    // The 3D view of the context's open card. Throws when no card is open.
    explicit TViewerForm(const WindowContext& context, QWidget* parent = nullptr);
    ~TViewerForm() override;

    // The clock of the fly-through, in seconds of real time (replaceable by tests).
    using Clock = std::function<double()>;
    static Clock& FlyThroughClock();

    // ---- components ---------------------------------------------------------------------
    kestrova::reconstruction::TSceneViewer* GLSceneViewer1 = nullptr;
    QWidget* Panel1 = nullptr;
    QWidget* Panel2 = nullptr;
    QScrollArea* ScrollBox1 = nullptr;
    QLabel* ImgView = nullptr;
    QLabel* Label2 = nullptr;
    QSlider* TrackBar1 = nullptr;
    QGroupBox* GroupBox1 = nullptr;  // Outer Wall
    QCheckBox* CheckBox1 = nullptr;  // Show wireframe
    QRadioButton* RadioButton1 = nullptr; // In
    QRadioButton* RadioButton2 = nullptr; // Out
    QCheckBox* CheckBox3 = nullptr;  // Show surface
    QCheckBox* CheckBox4 = nullptr;  // Show transparent
    QCheckBox* CheckBox5 = nullptr;  // Show contours
    QGroupBox* GroupBox2 = nullptr;  // Inner Wall
    QCheckBox* CheckBox6 = nullptr;
    QRadioButton* RadioButton3 = nullptr;
    QRadioButton* RadioButton4 = nullptr;
    QCheckBox* CheckBox7 = nullptr;
    QCheckBox* CheckBox8 = nullptr;
    QCheckBox* CheckBox9 = nullptr;
    QGroupBox* GroupBox3 = nullptr;  // Catheter
    QPushButton* Button6 = nullptr;  // Follow catheter path
    QPushButton* Button7 = nullptr;  // Cam 2
    QPushButton* Button8 = nullptr;  // Cam 1
    QCheckBox* CheckBox10 = nullptr; // Show catheter
    QCheckBox* CheckBox2 = nullptr;  // texture (hidden)
    QPushButton* Button1 = nullptr;  // Export 3D model (outer)
    QPushButton* Button2 = nullptr;  // Export 3D model (inner)
    QTimer* GLCadencer1 = nullptr;   // keyboard panning, always running
    QTimer* GLCadencer2 = nullptr;   // fly-through

    // The scene (null after the view closed).
    kestrova::reconstruction::Scene* GLScene1() const { return scene_.get(); }
    // The last reconstruction (empty when it was refused or failed).
    const std::optional<kestrova::reconstruction::Reconstruction>& Model() const { return model_; }
    int ViewerFrameCount() const { return frameCount_; }
    // The analysed frame shown in the image panel (-1: none) and its file.
    int ShownFrame() const { return shownFrame_; }
    QString ShownFramePath() const { return shownPath_; }
    bool FlyThroughRunning() const;

    // ---- handlers -------------------------------------------------------------------------
    void FormShow();
    void ShowIvusFrame(int k);
    void HighlightFrameContours(int k);
    void TrackBar1Change();
    void GLSceneViewer1MouseDown(QPoint position);
    // Pans the camera for the arrow keys held during the last `dt` seconds.
    void GLCadencer1Progress(double dt);
    void GLCadencer2Progress();
    void Button1Click();
    void Button2Click();
    void Button6Click();
    void Button7Click();
    void Button8Click();

protected:
    void showEvent(QShowEvent* e) override;
    void FormClose() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildComponents();
    QGroupBox* BuildWallGroup(const QString& title, QCheckBox*& contours, QCheckBox*& surface, QCheckBox*& wireframe,
                              QRadioButton*& in, QRadioButton*& out, QCheckBox*& transparent, QPushButton*& exportButton);
    void WireWall(kestrova::reconstruction::Wall wall, QCheckBox* contours, QCheckBox* surface, QCheckBox* wireframe, QRadioButton* in, QRadioButton* out,
                  QCheckBox* transparent);
    void Reconstruct();
    void ExportSurface(kestrova::reconstruction::Wall wall);
    void Redraw();
    kestrova::reconstruction::MeshActor* Actor(kestrova::reconstruction::Wall wall) const;

    WindowContext context_;
    int code_ = -1;
    int frameCount_ = 0;
    bool shown_ = false;
    std::unique_ptr<kestrova::reconstruction::Scene> scene_;
    std::optional<kestrova::reconstruction::Reconstruction> model_;
    int shownFrame_ = -1;
    QString shownPath_;
    double flyStart_ = 0.0;
    QElapsedTimer cadencer1Clock_;
    std::set<int> heldKeys_;
};

// The registry's factory of the 3D view.
QWidget* CreateViewerForm(const WindowContext& context);
