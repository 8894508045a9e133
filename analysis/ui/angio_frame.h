// TAngioFrame: the view of one angiographic projection (LAO or RAO).
//
// One frame file of the recording is shown in a zoomable, pannable QGraphicsView; the
// marks lie on transparent layers (one pixmap item each) over the image pixel for pixel:
// the mode text (not scaled with the view), the catheter, lumen A and lumen B points,
// the catheter width line and the vessel outline. The tracing itself (lists, tool modes,
// edit history) is the Qt-free AngioTracing; this class turns mouse events into image
// pixels, hands them to it, shows its refusals and repaints the layers from its state.
//
// Frame number n (from 1) shows the frame file n - 1. Brightness, contrast and gamma
// are applied to every frame from the image as loaded, so they stay when the frame
// changes.
#pragma once

#include "analysis/core/angio_tracing.h"
#include "study/contour.h"

#include <QCursor>
#include <QFrame>
#include <QImage>
#include <QPoint>
#include <QString>

#include <opencv2/core.hpp>

#include <array>
#include <optional>
#include <utility>
#include <vector>

class QAction;
class QActionGroup;
class QDoubleSpinBox;
class QGraphicsPixmapItem;
class QGraphicsScene;
class QGraphicsView;
class QMenu;
class QPushButton;
class QSlider;
class QSpinBox;
class QTimer;
class QToolBar;
class QToolButton;

// The program's cursors of the tracing tools ("CREATE", "MOVE", "REMOVE", "HAND",
// "HANDCLOSE"); unknown names give the arrow.
QCursor AngioCursor(const QString& name);

class TAngioFrame : public QFrame {
    Q_OBJECT
public:
    using TraceList = kestrova::analysis::TraceList;
    using ToolMode = kestrova::analysis::ToolMode;

    // The size of the placeholder picture shown until a frame is loaded.
    static constexpr int kPlaceholderWidth = 707;
    static constexpr int kPlaceholderHeight = 531;

    // `tag` 1 is the LAO view, 2 the RAO view.
    explicit TAngioFrame(int tag, QWidget* parent = nullptr);
    ~TAngioFrame() override;

    int Tag() const { return tag_; }

    // ---- set-up by the window -----------------------------------------------------------
    // Folder (ending with '/'), file prefix ("LAO." or "RAO.") and number of frame files.
    void SetImageSource(const QString& folder, const QString& prefix, int count);
    // Loads frame file `fileNumber` into the view (layers take the image's size) and
    // applies brightness, contrast and gamma. Returns false (and leaves the view as it
    // was) when the file cannot be read; `error` then says why.
    bool LoadFrameFile(int fileNumber, QString* error = nullptr);
    // The range 1 .. count of the "Set frame number" editor and the "Track frame" bar.
    void SetFrameRange(int count);

    int GetFrameNumber() const { return FrameNumber; }
    // Stores n; the editor then shows n limited to its range, and only when that changes
    // the editor does the view load the frame (so n = 0 leaves the editor at 1).
    void SetFrameNumber(int n);

    // Loads a stored tracing (each point recorded, so it can be undone).
    void SetStoredPoints(const std::vector<PixelPoint>& catheter, const std::vector<PixelPoint>& lumenA,
                         const std::vector<PixelPoint>& lumenB, const std::vector<PixelPoint>& width);

    // Writes the mode text at (10, 10) of the text layer (which is not scaled).
    void ShowModeText(const QString& text, QRgb colour);
    // The brightness/contrast/gamma table from the three bars applied to the loaded image.
    void BuildLuminosityTable();
    // Ends playing and frees the layers and lists; the view is not used afterwards.
    void FreeFrameLayers();

    // ---- the point lists (read by the card save) --------------------------------------
    const std::vector<PixelPoint>& CatheterPoints() const { return Tracing.Points(TraceList::Catheter); }
    const std::vector<PixelPoint>& LumenAPoints() const { return Tracing.Points(TraceList::LumenA); }
    const std::vector<PixelPoint>& LumenBPoints() const { return Tracing.Points(TraceList::LumenB); }
    const std::vector<PixelPoint>& WidthPoints() const { return Tracing.WidthPoints(); }

    bool WheelTarget() const { return Tracing.WheelTarget(); }
    void SetWheelTarget(bool target) { Tracing.SetWheelTarget(target); }
    // Moves the zoom bar by `step` (kept within 50 .. 600).
    void StepZoom(int step);

    // The image pixel under a view position (truncated toward zero).
    PixelPoint ImagePixelAt(QPoint viewPos) const;
    // The view position of the centre of an image pixel.
    QPoint ViewPosOf(PixelPoint pixel) const;

    // ---- handlers -----------------------------------------------------------------------
    void cxTrackBar1PropertiesChange();       // zoom
    void dxBarSpinEdit1Change();              // "Set frame number"
    void cxBarEditItem11Change();             // "Track frame"
    void dxBarButton2Click();                 // "Play"
    void Timer1Timer();
    void cxBarEditItem2PropertiesChange();    // brightness, contrast, gamma
    void dxBarButton1Click();                 // "Reset luminosity"
    void dxBarLargeButton1Click();            // "Outline"
    void dxBarButton8Click();                 // "Clear layer"
    void dxBarLargeButton5Click();            // "Undo"
    void dxBarLargeButton6Click();            // "Redo"
    void ToolButtonClick(ToolMode mode);      // the six tool buttons
    void ClearAllPointsClick(TraceList list); // "Clear all points"
    void dxBarButton6Click();                 // "Reset width"
    void ShowAsLineChange(TraceList list);
    void VisibleLayerChange(TraceList list);
    void WidthVisibleChange();

    void ImgViewMouseDown(Qt::MouseButton button, QPoint pos);
    void ImgViewMouseMove(QPoint pos);
    void ImgViewMouseUp(Qt::MouseButton button, QPoint pos);
    void ImgViewMouseEnter();
    void ImgViewMouseLeave();

    // ---- components -----------------------------------------------------------------------
    QToolBar* dxBarDockControl1 = nullptr;
    QAction* UndoButton = nullptr;
    QAction* RedoButton = nullptr;
    QAction* CatheterButton = nullptr;
    QAction* LumenAButton = nullptr;
    QAction* LumenBButton = nullptr;
    QAction* SetWidthButton = nullptr;
    QAction* MovePointButton = nullptr;
    QAction* DeletePointButton = nullptr;
    QAction* OutlineButton = nullptr;
    std::array<QAction*, 3> VisibleLayerItems{};   // catheter, lumen A, lumen B
    std::array<QAction*, 3> ShowAsLineItems{};
    std::array<QAction*, 3> ClearAllItems{};
    QAction* WidthVisibleItem = nullptr;
    QAction* ResetWidthItem = nullptr;
    QAction* ClearOutlineItem = nullptr;
    QSpinBox* MaxVesselWidthEdit = nullptr;    // "Max vessel width (px)"
    QDoubleSpinBox* EnergyEdit = nullptr;      // "Energy"
    QSlider* cxTrackBar1 = nullptr;            // zoom
    QGraphicsView* ImgView = nullptr;
    QSlider* BrightnessBar = nullptr;
    QSlider* ContrastBar = nullptr;
    QSlider* GammaBar = nullptr;
    QPushButton* PlayButton = nullptr;
    QSpinBox* dxBarSpinEdit1 = nullptr;        // "Set frame number"
    QSlider* TrackFrameBar = nullptr;          // "Track frame"
    QPushButton* ResetLuminosityButton = nullptr;
    QTimer* Timer1 = nullptr;

    // ---- state ----------------------------------------------------------------------------
    kestrova::analysis::AngioTracing Tracing;
    int FrameNumber = 1;
    QString ImageFolder;
    QString FilePrefix;
    int FrameCount = 0;
    cv::Mat LoadedImage;  // the current frame exactly as loaded (8-bit BGR)

    // The layers' pictures (for tests and the screenshot).
    QImage ShownImage() const;
    QImage LayerImage(int index) const;  // 0 text, 1 catheter, 2 lumen A, 3 lumen B, 4 width, 5 outline
    double ViewScale() const;
    bool LayersFreed() const { return freed_; }

signals:
    // The wheel turned over the image (the window decides which view zooms).
    void wheelTurned(int delta);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildToolbar();
    void BuildBottomPanel(QWidget* panel);
    QMenu* ListMenu(TraceList list);
    void PlaceLayers();
    void ShowImage(const QImage& image);
    void RedrawLayers();
    void DrawListLayer(TraceList list);
    void UpdateEditButtons();
    void ShowCursorOfMode();
    void Refuse(const std::string& text);
    QGraphicsPixmapItem* ListItem(TraceList list) const;
    QImage& ListLayer(TraceList list);

    int tag_;
    bool freed_ = false;
    bool panning_cursor_ = false;
    QCursor saved_cursor_;
    QString last_failed_file_;
    QString mode_text_;
    QRgb mode_text_colour_ = 0;
    QGraphicsScene* scene_ = nullptr;
    QGraphicsPixmapItem* image_item_ = nullptr;
    // Layers in drawing order: text, catheter, lumen A, lumen B, width, outline.
    std::array<QGraphicsPixmapItem*, 6> layer_items_{};
    std::array<QImage, 6> layers_;
    // What each point layer and the width layer show, so a layer is drawn again only
    // when its marks change.
    struct DrawnLayer {
        std::vector<PixelPoint> points;
        bool asLine = false;
        std::optional<PixelPoint> highlight;
        std::optional<PixelPoint> marker;
        bool valid = false;
        bool operator==(const DrawnLayer&) const = default;
    };
    std::array<DrawnLayer, 3> drawn_lists_{};
    std::optional<std::pair<PixelPoint, PixelPoint>> drawn_width_;
    bool drawn_width_valid_ = false;
    QActionGroup* tools_ = nullptr;
    QSize image_size_{kPlaceholderWidth, kPlaceholderHeight};
};
