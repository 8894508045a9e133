// What a window gets from the main window when it is built (WindowContext), and the
// signals by which it tells the main window what changed (WindowSignals). The windows of
// the analysis, reconstruction and import folders know the shell only through these, so
// none of them includes the main window's header; the main window alone turns what they
// report into the open card's fields and the toolbar's state.
//
//     QWidget* CreateAngioForm(const WindowContext& context) { return new TANGIOForm(context); }
#pragma once

#include "study/open_card.h"

#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>
#include <vector>

class QWidget;
class Tdm;

// Emitted by the windows, received by the main window only. Direct connections: when
// emit returns, the open card already holds the change.
class WindowSignals : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

signals:
    // A text for the status bar's second panel (the IVUS window's selected frame file).
    void statusText(const QString& text);
    // The calibration dialog's accepted points and distance (IVUS pixels, millimetres).
    void calibrationChanged(PixelPoint a, PixelPoint b, double distance);
    // The new-patient wizard: which recordings were imported (before it asks to save).
    void recordingsImported(bool angio, bool ivus);
    // The wizard found no end-diastolic frame marked: the open card's list is emptied.
    void endDiastolicListCleared();
    // The wizard stored a new card `code` for the patient `name` (name, blank, surname).
    void patientSelected(int code, const QString& name);
    // The cards list deleted a card: the analysis windows close, the card's buttons go off.
    void cardDeleted();
};

struct WindowContext {
    const OpenCard* Card = nullptr;   // the open card (the main window's; lives as long as it)
    Tdm* Data = nullptr;              // the data module
    QWidget* Owner = nullptr;         // parent of dialogs and of the progress window
    WindowSignals* Signals = nullptr; // where the window reports changes (may be null)

    // Requests the window makes of the main window (empty in a context without one).
    // Writes the open analysis windows into the open card; throws on failure.
    std::function<void()> SaveCard;
    // Whether an IVUS or angiography window is open, and closing both.
    std::function<bool()> AnalysisWindowsOpen;
    std::function<void()> CloseAnalysisWindows;
    // Opens a patient's card (asks first when one is open); throws on a database failure.
    std::function<void(int code, const QString& name)> OpenPatientCard;
    // The wizard's stored and moved card becomes the open card, read again from its rows
    // and folders, with this end-diastolic list and no calibration; throws on failure.
    std::function<void(const std::vector<std::uint32_t>& endDiastolicFrames)> OpenCreatedCard;
    // Brings the open window of that class forward; false when none is open.
    std::function<bool(const QString& className)> ShowExistingChild;
};
