// The main window TMainForm (global pointer `MainForm`): the MDI frame that holds every
// child window, its toolbar, the background picture, and the open card.
//
// The open card (study/open_card.h) is part of the main window: PatientCode,
// EndDiastolicFrames, the calibration and the three frame counts are its fields. The
// windows it opens get a read-only reference in their WindowContext (app/window_context.h)
// and report changes through WindowSignals; only the main window writes the card, owns
// the window pointers (app/forms.h) and switches the toolbar (UpdateToolbar holds the
// rule of the Save button).
//
// Toolbar buttons are QActions with the object names "dxBarLargeButton1" .. "12"
// (see Button); a button whose window is not registered (app/child_registry.h) stays
// disabled.
#pragma once

#include "app/child_registry.h"
#include "app/window_context.h"
#include "study/open_card.h"

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

class TMainForm : public QMainWindow, public OpenCard {
    Q_OBJECT
public:
    enum class Button {
        Settings = 1, Exit, IVUS, ANGIO, About, Database, New, Cards, Save, Export, Graphs, Reconstruction3D
    };

    explicit TMainForm(ChildWindowRegistry registry = {}, QWidget* owner = nullptr);
    ~TMainForm() override;

    // ---- the open card (the fields are OpenCard's) ------------------------------------
    // The full path of analysed frame k's file in the open card's IVUS folder.
    QString AnalysedFramePath(std::size_t k) const;

    void SetSelectedPatient(int code, const QString& name);
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
    // The wizard's new card becomes the open card: the toolbar of a new card, the card
    // read again, then the wizard's end-diastolic list and no calibration. Throws on a
    // database failure.
    void OpenCreatedCard(const std::vector<std::uint32_t>& endDiastolicFrames);
    // Writes the open analysis windows' tracings and contours; throws on failure.
    void SavePatientCard();

    // What the windows get when they are built, and the signals they report by.
    WindowContext Context();
    WindowSignals* Signals() { return &signals_; }

    // ---- toolbar --------------------------------------------------------------------
    // What happened to the card or its windows; UpdateToolbar switches the buttons that
    // follow from it (the one home of the rule that enables Save).
    enum class CardEvent { IvusOpened, AngioOpened, AnalysisClosed, WizardOpened, CardCreated, CardDeleted };
    void UpdateToolbar(CardEvent event);
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
    // What reading a card has to tell the user; OpenPatientCard shows it, ReloadOpenCard
    // drops it.
    enum class Notice { Warning, Error };
    using CardNotice = std::function<void(Notice kind, const QString& text)>;
    void ReadCard(int code, const QString& name, const CardNotice& notify);
    void ConnectWindowSignals();
    bool AnalysisWindowsOpen() const;

    ChildWindowRegistry registry_;
    BackgroundMdiArea* mdi_ = nullptr;
    QAction* buttons_[13] = {};
    QLabel* panel0_ = nullptr;
    QLabel* panel1_ = nullptr;
    WindowSignals signals_;
    bool shown_once_ = false;
    QString patient_name_;
};
