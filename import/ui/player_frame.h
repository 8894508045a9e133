#pragma once
// Frame player: shows a recording's frame files one at a time with play, pause, a frame
// number editor and a track bar; when made selectable it also keeps one selected flag
// per frame (set / unset, shift, select / unselect all) and shows the flag of the
// current frame as a marker in the image's top-left corner.
#include "import/core/frame_selection.h"

#include <QFrame>
#include <QImage>
#include <QString>

#include <array>
#include <cstdint>
#include <vector>

class QAction;
class QSlider;
class QSpinBox;
class QTimer;
class QToolBar;

namespace studyimport {

class PlayerImageView;
struct PlayerLayer;

class TPlayerFrame : public QFrame {
    Q_OBJECT
public:
    explicit TPlayerFrame(QWidget* owner = nullptr);
    ~TPlayerFrame() override;

    // Stores where the frame files are; the caller sets the ranges of the frame-number
    // editor and the track bar.
    void SetFrameSource(const QString& folder, const QString& prefix, std::int32_t frameCount);
    // Forgets the sequence: no frame shown, ranges 1 .. 1, playback stopped, no flags.
    void ResetPlayer();
    // Sets the frame-number editor's and the track bar's range to 1 .. last.
    void SetFrameRange(int last);

    void PreparePlayer(bool selectable);
    void SelectFrame(long long i);
    void UnselectFrame(long long i);
    bool IsFrameSelected(long long i) const;
    void UpdateSelectionMarker();
    // False (after telling the user "No selected frames are found") when nothing is selected.
    bool ShiftSelection(int shift);
    void SelectAllFrames(bool select);
    // Replaces the selection with the end-diastolic selection's picks.
    void ApplyPickedFrames(const std::optional<std::vector<std::int32_t>>& picked);
    void DrawOverlayText(const QString& text, std::uint32_t argb);
    void FreePlayerLayers();

    // Shows frame number n (from 1) and puts the editor and the track bar on it.
    void ShowFrame(int frameNumber);
    // Current frame number (from 1) and the file it shows.
    int CurrentFrameNumber() const;
    QString FrameFilePath(int frameNumber) const;

    const std::vector<std::uint32_t>& SelectedFlags() const { return selection_.SelectedFlags(); }
    const FrameSelection& Selection() const { return selection_; }
    bool Selectable() const { return Selectable_; }
    bool SelectAllNext() const { return selection_.SelectAllNext(); }
    std::int32_t FrameCount() const { return FrameCount_; }
    const QString& Folder() const { return Folder_; }
    const QString& Prefix() const { return Prefix_; }
    PlayerLayer* MarkerLayer() const { return MarkerLayer_; }
    PlayerLayer* TextLayer() const { return TextLayer_; }
    PlayerLayer* DrawingLayer() const { return DrawingLayer_; }

    // Components.
    PlayerImageView* ImgView = nullptr;
    QFrame* Panel1 = nullptr;
    QToolBar* FramesMenu = nullptr;
    QAction* dxBarButton2 = nullptr;   // "Play"
    QAction* dxBarButton1 = nullptr;   // "Pause"
    QSpinBox* dxBarSpinEdit1 = nullptr; // "Set frame number"
    QSlider* cxBarEditItem11 = nullptr; // "Track frame"
    QAction* dxBarButton3 = nullptr;   // "Set / Unset (F4)"
    QAction* dxBarButton4 = nullptr;   // "Shifting (+/- from selected) :"
    QSpinBox* dxBarSpinEdit2 = nullptr; // shift
    QAction* dxBarButton5 = nullptr;   // "Select/Unselect All"
    QTimer* Timer1 = nullptr;
    std::array<QImage, 2> Bitmap32List2; // unselected, selected marker

public slots:
    void dxBarButton2Click();
    void dxBarButton1Click();
    void dxBarSpinEdit1Change(int value);
    void cxBarEditItem11Change(int value);
    void Timer1Timer();
    void dxBarButton3Click();
    void dxBarButton4Click();
    void dxBarButton5Click();

signals:
    // The frame on show changed (frame number from 1).
    void FrameShown(int frameNumber);

private:
    void BuildToolbar();
    PlayerLayer* MakeTextLayer();
    bool LoadFrame(int frameNumber, bool reportFailure);
    void ShowMarker(bool selected);

    FrameSelection selection_;
    bool Selectable_ = false;
    PlayerLayer* MarkerLayer_ = nullptr;
    PlayerLayer* TextLayer_ = nullptr;
    PlayerLayer* DrawingLayer_ = nullptr;
    QString Folder_;
    QString Prefix_;
    std::int32_t FrameCount_ = 0;
    QAction* shiftSpinAction_ = nullptr;
    QAction* selectAllSpacer_ = nullptr;
    bool loadingFailed_ = false;
};

} // namespace studyimport
