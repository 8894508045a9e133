// The Export window: a small modal dialog that writes the open card's stored tracings and
// contours as XML files ("Export to XML") or as Rhino 3D command scripts ("Export to
// Rhino3D") into a folder the user chooses.
#pragma once

#include "reconstruction/core/export_run.h"

#include <QDialog>
#include <QPointer>
#include <QString>

#include <filesystem>
#include <functional>

class QAction;
class QToolBar;

// What the window needs of the rest of the program, replaceable by tests.
struct ExportEnvironment {
    // The folder browser captioned "Select output folder"; an empty text means cancelled.
    std::function<QString(QWidget* parent, const QString& caption)> chooseFolder;
    // The open card's stored rows (patient row, ivus row, angio row, wall rows).
    std::function<exports::CardRows()> readCard;
    // The program's folder, under which "patientData" holds the frame files.
    std::function<std::filesystem::path()> programFolder;
    // The message boxes, captioned with the application title.
    std::function<void(QWidget* parent, const QString& text)> information;
    std::function<void(QWidget* parent, const QString& text)> error;
};

class TExportForm : public QDialog {
    Q_OBJECT
public:
    explicit TExportForm(QWidget* owner = nullptr);

    // The environment every export window uses; tests install their own and restore it.
    static ExportEnvironment& Environment();

    QAction* dxBarLargeButton1 = nullptr;  // "Export to XML"
    QAction* dxBarLargeButton2 = nullptr;  // "Export to Rhino3D"

public slots:
    void dxBarLargeButton1Click();
    void dxBarLargeButton2Click();

protected:
    void keyPressEvent(QKeyEvent* event) override;  // FormKeyPress
    void closeEvent(QCloseEvent* event) override;   // FormClose
    void done(int result) override;

private:
    void RunExport(exports::ExportKind kind);
    void Repaint();

    QToolBar* dxBarManager1Bar1 = nullptr;
};

// The open export window, or null.
extern QPointer<TExportForm> ExportForm;
