// The main window TMainForm (global pointer `MainForm`): the MDI frame that holds every
// child window, its toolbar, the background picture, and the open card.
//
// The open card: PatientCode, EndDiastolicFrames, CalibrationPointA/B,
// CalibrationDistance and the three frame counts are public fields that the analysis,
// reconstruction and import windows read and write directly.
//
// Toolbar buttons are QActions with the object names "dxBarLargeButton1" .. "12"
// (see Button). Other windows switch them with SetButtonEnabled; a button whose window
// is not registered (app/child_registry.h) stays disabled.
#pragma once

#include "app/child_registry.h"
#include "study/contour.h"

#include <QMainWindow>
#include <QMdiArea>
#include <QPixmap>
#include <QPointer>

#include <cstdint>
#include <functional>
#include <vector>

class QAction;
class QLabel;
class QLineEdit;
class QMdiSubWindow;
class QStatusBar;
class QToolBar;

// The client area: plain white with "background.png" drawn unscaled at the top left.
class BackgroundMdiArea : public QMdiArea {
    Q_OBJECT
public:
    using QMdiArea::QMdiArea;
    QPixmap BackgroundPicture;

protected:
    void paintEvent(QPaintEvent* e) override;
};

class TMainForm : public QMainWindow {
    Q_OBJECT
public:
    enum class Button {
        Settings = 1, Exit, IVUS, ANGIO, About, Database, New, Cards, Save, Export, Graphs, Reconstruction3D
    };

    explicit TMainForm(ChildWindowRegistry registry = {}, QWidget* owner = nullptr);
    ~TMainForm() override;

    // ---- the open card ----------------------------------------------------------------
    int PatientCode = -1;                         // -1: no card open
    std::vector<std::uint32_t> EndDiastolicFrames; // analysed frame k is IVUS file EndDiastolicFrames[k]
    PixelPoint CalibrationPointA;                   // IVUS pixels, (0,0) at start
    PixelPoint CalibrationPointB;
    double CalibrationDistance = 1.0;             // millimetres between A and B
    int LAOFrameCount = 0;
    int RAOFrameCount = 0;
    // Number of analysed IVUS frames: the length of the end-diastolic list when the card
    // has one (a listed file that is missing is shown as an empty frame, it does not shift
    // the later ones), else the number of IVUS frame files. Use AnalysedFrameFile(k) for
    // the file of frame k, never EndDiastolicFrames[k] directly.
    int IVUSFrameCount = 0;

    // The IVUS frame file number of analysed frame k (entry k of the list; k past its end).
    std::uint32_t AnalysedFrameFile(std::size_t k) const;
    // The full path of that frame file in the open card's IVUS folder.
    QString AnalysedFramePath(std::size_t k) const;

    void SetSelectedPatient(int code, const QString& name);
    int GetSelectedPatient() const { return PatientCode; }
    // Opens a patient's card (asks "Close current card?" when one is open): closes the
    // IVUS and angiography windows, counts the frame files, reads the end-diastolic list
    // and the calibration, and switches the toolbar. The previous card's list and
    // calibration are dropped first, also when opening stops early. Database errors
    // propagate to the caller.
    void OpenPatientCard(int code, const QString& name);
    // Reads the open card again from its rows and frame folders, asking and showing
    // nothing (for example after the new-patient wizard has stored and moved a card), so
    // the counts, the list and the calibration are those of the stored card.
    void ReloadOpenCard();
    // Writes the open analysis windows' tracings and contours; throws on failure.
    void SavePatientCard();

    // ---- toolbar --------------------------------------------------------------------
    QAction* Action(Button b) const { return buttons_[static_cast<int>(b)]; }
    void SetButtonEnabled(Button b, bool enabled);
    bool ButtonEnabled(Button b) const;
    bool ButtonAvailable(Button b) const; // false for windows that are not registered

    // The twelve click handlers (the toolbar's actions run them inside RunGuarded).
    void dxBarLargeButton1Click();   // Settings
    void dxBarLargeButton2Click();   // Exit
    void dxBarLargeButton3Click();   // IVUS
    void dxBarLargeButton4Click();   // ANGIO
    void dxBarLargeButton5Click();   // About
    void dxBarLargeButton6Click();   // Database
    void dxBarLargeButton7Click();   // New
    void dxBarLargeButton8Click();   // Cards
    void dxBarLargeButton9Click();   // Save
    void dxBarLargeButton10Click();  // Export
    void dxBarLargeButton11Click();  // IVUS Graphs
    void dxBarLargeButton12Click();  // 3D reconstruction

    // Brings the open window of that class forward (restores it when minimised); looks in
    // the MDI area, then among the top-level windows. Returns false when none is open.
    bool ShowExistingChild(const QString& className);

    // Closes a window held in a global pointer (an MDI child or a dialog) and clears the
    // pointer when the window closed.
    static void CloseChildWindow(QPointer<QWidget>& slot);

    // Restores the application from minimised and brings it to the front: the answer to
    // a second start ("Tarvinex").
    void AppMessageHook();

    // Adds a child window to the MDI area, sized to its design size and centred.
    QMdiSubWindow* AddChild(QWidget* window);

    BackgroundMdiArea* MdiArea() const { return mdi_; }
    QLabel* StatusPanel(int i) const { return i == 0 ? panel0_ : panel1_; }
    QLineEdit* dxBarEdit1 = nullptr;
    QStatusBar* StatusBar1 = nullptr;

protected:
    void showEvent(QShowEvent* e) override;
    void closeEvent(QCloseEvent* e) override;

    void FormShow();
    bool FormCloseQuery();
    void FormClose();

private:
    void CreateActions();
    void CreateMenuAndBars();
    void CreateStatusBar();
    void OpenRegistered(QPointer<QWidget>& slot, ChildWindow kind);
    template <typename T>
    void OpenChild(QPointer<T>& slot, const std::function<T*()>& create);
    int CountFrameFiles(const QString& folder) const;
    void ForgetCard();
    void ReadCard(int code, const QString& name);

    ChildWindowRegistry registry_;
    BackgroundMdiArea* mdi_ = nullptr;
    QAction* buttons_[13] = {};
    QLabel* panel0_ = nullptr;
    QLabel* panel1_ = nullptr;
    bool shown_once_ = false;
    QString patient_name_;
};
