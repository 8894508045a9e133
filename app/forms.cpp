#include "app/forms.h"

#include "app/about.h"
#include "app/cards.h"
#include "app/data.h"
#include "app/main_form.h"
#include "app/progress.h"
#include "app/small_forms.h"
#include "app/splash.h"

QPointer<TMainForm> MainForm;
QPointer<Tdm> dm;
QPointer<TSplashScreen> SplashScreen;
QPointer<TAboutForm> AboutForm;
QPointer<TPatientForm> PatientForm;
QPointer<TSettingsForm> SettingsForm;
QPointer<TCardsForm> CardsForm;
QPointer<TProgressForm> ProgressForm;

QPointer<QWidget> IVUSForm;
QPointer<QWidget> ANGIOForm;
QPointer<QWidget> GraphForm;
QPointer<QWidget> ViewerForm;
QPointer<QWidget> ExportForm;
QPointer<QWidget> WizardForm;
