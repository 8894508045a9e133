// The Export window: a small modal dialog that writes the open card's stored tracings and
// contours as XML files ("Export to XML") or as Rhino 3D command scripts ("Export to
// Rhino3D") into a folder the user chooses. It is held in the main window's `ExportForm`
// while open; the main window creates it through the child-window registry
// (CreateExportForm) and runs it modally.
#pragma once

#include "app/window_context.h"
#include "reconstruction/core/export_run.h"

#include <QDialog>
#include <QString>

#include <functional>

class QAction;
class QToolBar;
class Tdm;

// The folder browser, replaceable by tests: returns the chosen folder, or the empty text
// when the user cancels.
using ExportFolderBrowser = std::function<QString(QWidget* parent, const QString& caption)>;

class TExportForm : public QDialog {
    Q_OBJECT
public:
    // Exports the context's open card (without one, an export reports that nothing was
    // exported).
    explicit TExportForm(const WindowContext& context = {}, QWidget* owner = nullptr);

    // The folder browser every export window uses (QFileDialog unless replaced).
    static ExportFolderBrowser& FolderBrowser();

    QAction* dxBarLargeButton1 = nullptr;  // "Export to XML"
    QAction* dxBarLargeButton2 = nullptr;  // "Export to Rhino3D"

    void dxBarLargeButton1Click();
    void dxBarLargeButton2Click();

protected:
    void keyPressEvent(QKeyEvent* event) override;  // FormKeyPress

private:
    void RunExport(exports::ExportKind kind);
    void Repaint();

    QToolBar* dxBarManager1Bar1 = nullptr;
    WindowContext context_;
};

// The registry's factory of the export window.
QWidget* CreateExportForm(const WindowContext& context);

// The stored rows of the open card that the exports read, in one read of the data module
// (Tdm::ReadStoredCard): the patient row's pixel spacing, the main window's calibration,
// both views of the angio row, the ivus row's catheter centre and the readable wall rows
// in ascending id, with one warning per stored contour left out. Database failures throw
// DatabaseError, a damaged stored tracing ConversionError.
exports::CardRows ReadExportRows(Tdm& data, const OpenCard& card);
