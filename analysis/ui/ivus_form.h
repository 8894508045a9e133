// The IVUS window TIVUSForm (the main window's `IVUSForm`): the analysed IVUS
// frames of the open card in a strip of cells with the walls drawn over them, the
// brightness, contrast and gamma of the selected cell, the refinement parameters, and
// the toolbar that starts the automatic detection, the propagation, the deletion of
// contours and the calibration.
//
// The window owns the card's four wall-contour lists and the catheter centre and edge:
// it reads them from the database when it opens and hands them to the card save as a
// snapshot (IvusCardSource).
#pragma once

#include "analysis/core/border_detection.h"
#include "analysis/core/contour_refinement.h"
#include "analysis/core/luminosity.h"
#include "analysis/ui/ivus_model.h"
#include "app/card_sources.h"
#include "app/child_form.h"
#include "app/window_context.h"

#include <QImage>
#include <QPoint>
#include <QWidget>

#include <opencv2/core.hpp>

#include <map>

class QAction;
class QDoubleSpinBox;
class QLabel;
class QPlainTextEdit;
class QSlider;
class QSpinBox;
class QToolBar;
class QToolButton;
class TIVUSForm;

// Millimetres per IVUS pixel: set when the IVUS window opens (from the patient row) and by
// the calibration; 0.0 until then.
extern double PixelSpacing;

// The strip view: paints the cells of the IVUS window and passes the mouse to it.
class IvusStripView : public QWidget {
    Q_OBJECT
public:
    explicit IvusStripView(TIVUSForm* form, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;

private:
    TIVUSForm* form_;
};

class TIVUSForm : public TChildForm, public IvusCardSource {
    Q_OBJECT
public:

    // Opens the window over the context's open card. Throws std::runtime_error when
    // there is no card, no analysed frame, or the first frame file cannot be read.
    explicit TIVUSForm(const WindowContext& context, QWidget* parent = nullptr);
    ~TIVUSForm() override;

    // What the window was built with (its calibration dialog reads and reports through it).
    const WindowContext& Context() const { return context_; }

    IvusSnapshot TakeIvusSnapshot() const override;

    // ---- state ------------------------------------------------------------------------
    QPoint LastMousePos;
    int CellCount = 0;
    int VisibleCells = 0;
    int FirstVisible = 0;
    int FrameCount = 0;
    int SelectedFrame = -1;
    int SelectedCell = -1;
    int FrameWidth = 0;
    int FrameHeight = 0;
    int CellWidth = 0;
    int CellHeight = 0;
    int DrawMode = 0;      // 0 none, 1 outer wall, 2 inner wall
    bool Drawing = false;
    PixelPoint StrokeStart;
    int PenWidth = 1;
    cv::Mat RefineImage;   // the selected frame as shown; the refinement runs on it
    QString ImageFolder;
    QString FilePrefix;
    PixelPoint CatheterCentre;
    PixelPoint CatheterEdge;
    FrameContourList OuterWalls;
    FrameContourList InnerWalls;
    FrameContourList UserOuterWalls;
    FrameContourList UserInnerWalls;

    // ---- components -------------------------------------------------------------------
    QWidget* Panel2 = nullptr;
    QToolBar* MainToolbar = nullptr;
    IvusStripView* ImgView = nullptr;
    QPlainTextEdit* cxMemo1 = nullptr;
    QLabel* cxLabel1 = nullptr;
    QAction* dxBarLargeButton1 = nullptr;  // Scroll left
    QAction* dxBarLargeButton2 = nullptr;  // Scroll right
    QAction* dxBarLargeButton3 = nullptr;  // Outer wall
    QAction* dxBarLargeButton4 = nullptr;  // Inner wall
    QAction* dxBarLargeButton7 = nullptr;  // Propagate
    QAction* dxBarLargeButton5 = nullptr;  // Automatic
    QAction* dxBarLargeButton8 = nullptr;  // Delete contour
    QAction* dxBarLargeButton9 = nullptr;  // Calibration
    QSlider* cxBarEditItem1 = nullptr;     // Brightness
    QSlider* cxBarEditItem2 = nullptr;     // Contrast
    QSlider* cxBarEditItem3 = nullptr;     // Gamma
    QAction* dxBarButton1 = nullptr;       // Reset luminosity
    QAction* dxBarButton2 = nullptr;       // Reset parameters
    QDoubleSpinBox* dxBarSpinEdit1 = nullptr;  // Contour Continuity (a)
    QDoubleSpinBox* dxBarSpinEdit2 = nullptr;  // Contour Carvature (b)
    QDoubleSpinBox* dxBarSpinEdit3 = nullptr;  // Energy Sensitivity (g)
    QSpinBox* dxBarSpinEdit4 = nullptr;        // Neighborhood (w)
    QSpinBox* dxBarSpinEdit8 = nullptr;        // Smoothness Level
    QSpinBox* dxBarSpinEdit10 = nullptr;       // Pen Width
    QSpinBox* dxBarSpinEdit11 = nullptr;       // Propagate: Affected frames
    QSpinBox* dxBarSpinEdit12 = nullptr;       // Automatic: Affected frames
    QSpinBox* dxBarSpinEdit13 = nullptr;       // Automatic: Threshold
    QSpinBox* dxBarSpinEdit14 = nullptr;       // Automatic: Smoothness level
    QSpinBox* dxBarSpinEdit15 = nullptr;       // Automatic: Ring offset

    // ---- event handlers ---------------------------------------------------------------
    void FormMouseWheel(int delta);
    void ImgViewResize();
    void ImgViewMouseDown(Qt::MouseButton button, int X, int Y);
    void ImgViewMouseMove(int X, int Y);
    void ImgViewMouseUp(Qt::MouseButton button, int X, int Y);
    void dxBarLargeButton1Click();
    void dxBarLargeButton2Click();
    void dxBarLargeButton3Click();
    void dxBarLargeButton4Click();
    void dxBarLargeButton7Click();
    void dxBarLargeButton5Click();
    void dxBarLargeButton8Click();
    void dxBarLargeButton9Click();
    void cxBarEditItem1PropertiesChange();
    void dxBarButton1Click();
    void dxBarButton2Click();
    void dxBarSpinEdit1CurChange();
    void dxBarSpinEdit4CurChange();
    void dxBarSpinEdit8CurChange();
    void dxBarSpinEdit10CurChange();

    // ---- operations -------------------------------------------------------------------
    void CreateFrameLists();
    void FreeFrameLists();
    void BuildFrameStrip();
    void LayoutFrameStrip();
    void ScrollFrames(int step);
    void RedrawFrames();
    void BuildLuminosityTable();
    void UnmarkAllCells();
    void MarkCellSelected(int cell);
    void ClearWall(int kind);
    // Appends a pixel to the stroke of wall `kind` (1 outer, 2 inner) on the selected frame.
    void AddDrawnPoint(int kind, PixelPoint point, PixelPoint lineEnd);
    // Fits the stroke of wall `kind` on the selected frame (warns when the fit fails).
    void FitDrawnWall(int kind);
    // Measures the selected frame's shown walls into the memo and the label under it.
    void ComputeMeasurements();
    void ReapplyRefinement();
    void PropagateContours(int n, bool outer, bool inner);

    // The refinement and detection parameters as the spin items hold them.
    kestrova::analysis::RefinementParameters RefinementValues() const;
    kestrova::analysis::DetectionParameters DetectionValues() const;

    // Geometry of a visible cell (view coordinates) and of its image.
    QRect CellRect(int cell) const;
    QRect ImageRect(int cell) const;
    // True when the cell is laid out and shows a frame.
    bool CellShown(int cell) const;
    // Index of the cell whose highlight (blue frame) shows, or -1.
    int MarkedCell() const { return marked_cell_; }
    // The frame of analysed frame k as shown in its cell (the selected one with the
    // brightness, contrast and gamma table); null when its file cannot be read.
    QImage ShownFrame(int k) const;
    // The full file name of analysed frame k.
    QString FramePath(int k) const;
    // Paints the strip (the view's paint event).
    void PaintStrip(QPainter& painter) const;

protected:
    void FormClose() override;

private:
    void BuildComponents();
    QWidget* BuildLowerPanel();
    void ConnectHandlers();
    const cv::Mat& StoredFrame(int k) const;
    cv::Mat LoadAnalysedFrame(int k) const;
    void SetDrawMode(int mode);
    void ReportSkippedRows(const std::vector<int>& frames);

    WindowContext context_;
    std::vector<std::uint32_t> frame_files_;   // file number of each analysed frame
    int code_ = -1;
    int marked_cell_ = -1;
    kestrova::analysis::LuminosityTable table_{};
    cv::Mat selected_shown_;                   // the selected frame through the table
    mutable std::map<int, cv::Mat> frames_;    // decoded frames of the visible cells
    int strip_x0_ = 0;
};
