// The graph window ("IVUS Graphs"): the measurements of every analysed IVUS frame of the
// open card, computed from the wall contours stored in the database, as six charts
// ("Graphical mode") and a read-only sheet of numbers ("Numerical mode"); it saves the
// sheet as a workbook ("<code>.xlsx") and the charts as six bitmap files.
//
// Everything is read and measured while the window is built, under the shared progress
// window; afterwards the window only shows and saves. Frames that could not be read or
// measured are listed in one message once the window is on screen. Held in the main
// window's `GraphForm` while open; created by its "IVUS Graphs" button through the
// child-window registry (CreateGraphForm).
#pragma once

#include "app/child_form.h"
#include "app/window_context.h"
#include "reconstruction/core/graph_data.h"

#include <QString>

#include <array>
#include <functional>
#include <string>
#include <vector>

class QAction;
class QChartView;
class QSplitter;
class QTabWidget;
class QTableWidget;
class QToolBar;
class Tdm;

// What the graph window reads of a card, in one read of the data module
// (Tdm::ReadStoredCard): the patient row's pixel spacing, the readable wall rows (none
// without an ivus row) and one line per stored contour left out, naming its wall, its
// frame (counted from 1) and the card. Throws DatabaseError.
struct GraphCard {
    double pixelSpacing = 0.0;
    graphs::StoredWalls walls;
    std::vector<std::string> warnings;
};
GraphCard ReadGraphCard(Tdm& data, int code);

class TGraphForm : public TChildForm {
    Q_OBJECT
public:
    // Builds the window over the context's open card and measures every frame.
    // Throws when no card is open or the database cannot be read.
    explicit TGraphForm(const WindowContext& context, QWidget* parent = nullptr);
    ~TGraphForm() override;

    // The dialogs, replaceable by tests. The save dialog gets its caption, the proposed
    // file and the filter, and returns the chosen file (empty when cancelled); the folder
    // browser returns the chosen folder (empty when cancelled).
    using SaveFileChooser = std::function<QString(QWidget* parent, const QString& caption, const QString& proposed,
                                                  const QString& filter)>;
    using FolderChooser = std::function<QString(QWidget* parent, const QString& caption)>;
    static SaveFileChooser& SaveDialog();
    static FolderChooser& FolderBrowser();

    // ---- data -----------------------------------------------------------------------------
    int FrameCount = 0;              // analysed frames measured
    double GraphPixelSpacing = 0.0;  // mm per IVUS pixel of the patient row
    graphs::LoadedContours Walls;    // stored vessel (outer) and lumen (inner) walls per frame
    graphs::MeasurementSeries MeasurementSeries;
    // Frames that could not be read or measured, as shown in the closing message.
    std::vector<std::string> Problems;

    // ---- components -------------------------------------------------------------------
    QToolBar* dxBarManager1Bar1 = nullptr;  // "Graphs toolbar"
    QAction* dxBarLargeButton1 = nullptr;   // "Save as image"
    QAction* dxBarLargeButton2 = nullptr;   // "Save as XLS"
    QTabWidget* cxPageControl1 = nullptr;
    QWidget* cxTabSheet1 = nullptr;         // "Graphical mode"
    QWidget* cxTabSheet2 = nullptr;         // "Numerical mode"
    QSplitter* cxSplitter1 = nullptr;       // between the two columns
    QSplitter* LeftColumn = nullptr;        // Chart1, Chart3, Chart5
    QSplitter* RightColumn = nullptr;       // Chart2, Chart4, Chart6
    std::array<QChartView*, 6> Charts{};    // Chart1 .. Chart6
    QTableWidget* cxSpreadSheet1 = nullptr;

    double ScaleToMm(double x) const { return graphs::ScaleToMm(x, GraphPixelSpacing); }
    double ScaleToMm2(double x) const { return graphs::ScaleToMm2(x, GraphPixelSpacing); }

    void dxBarLargeButton1Click();  // "Save as image"
    void dxBarLargeButton2Click();  // "Save as XLS"

protected:
    // Lays the charts out again whenever the "Graphical mode" page changes size.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildComponents();
    void PrepareGraphData(double pixelSpacing);
    void LoadGraphContours(const GraphCard& card);
    void FillChartsAndSheet();
    void FormResize();
    void ReportProblems();
    void Repaint();

    WindowContext context_;
    int code_ = -1;
};

// The registry's factory of the graph window.
QWidget* CreateGraphForm(const WindowContext& context);


