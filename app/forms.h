// The global window pointers, named as the workstation's windows are named. The main
// window owns them: it sets a pointer when it creates the window and clears it when the
// window closes (QPointer also clears it when the window is destroyed), so a set pointer
// means "the window is open" and at most one window of each kind exists.
//
// MainForm and dm live as long as the program.
//
// Only the shell (app/) and its tests use them. The windows of the analysis,
// reconstruction and import folders get what they need in a WindowContext
// (app/window_context.h) and never reach another window through these pointers; the
// main window knows them only as QWidget and asks the open analysis windows for their
// snapshots (study/card_snapshot.h, through app/card_sources.h) when it saves.
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
