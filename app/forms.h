// The global window pointers. Every window, and the data module, is reached through a
// pointer named after it. A pointer is set when its window is created and cleared when
// the window closes (QPointer also clears it when the window is destroyed), so a set
// pointer means "the window is open" and at most one window of each kind exists.
//
// MainForm and dm live as long as the program.
//
// The windows of the analysis, reconstruction and import folders are built by those
// folders and created by the main window through the child-window registry
// (app/child_registry.h); the shell knows them only as QWidget. Their own code reaches
// its typed window with qobject_cast, for example
//     auto* ivus = qobject_cast<TIVUSForm*>(IVUSForm.data());
// and the save reads them through the snapshot interfaces of app/card_sources.h.
#pragma once

#include <QPointer>
#include <QWidget>

class TMainForm;
class Tdm;
class TSplashScreen;
class TAboutForm;
class TPatientForm;
class TSettingsForm;
class TCardsForm;
class TProgressForm;

extern QPointer<TMainForm> MainForm;
extern QPointer<Tdm> dm;
extern QPointer<TSplashScreen> SplashScreen;
extern QPointer<TAboutForm> AboutForm;
extern QPointer<TPatientForm> PatientForm;     // the (empty) database window
extern QPointer<TSettingsForm> SettingsForm;
extern QPointer<TCardsForm> CardsForm;
extern QPointer<TProgressForm> ProgressForm;

// Windows of the other folders, created through the registry (see above).
extern QPointer<QWidget> IVUSForm;    // IVUS analysis window (MDI child)
extern QPointer<QWidget> ANGIOForm;   // angiography window (MDI child)
extern QPointer<QWidget> GraphForm;   // IVUS graphs (MDI child)
extern QPointer<QWidget> ViewerForm;  // 3D view (MDI child)
extern QPointer<QWidget> ExportForm;  // export dialog (modal QDialog)
extern QPointer<QWidget> WizardForm;  // new-patient wizard (MDI child)
