#pragma once
// Selection state of a frame player, kept apart from the widget: one flag per frame
// file (index = frame file number, 1 = selected), shifting of the whole selection and
// the select-all / unselect-all toggle.
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace studyimport {

class FrameSelection {
public:
    static constexpr int kMinShift = -25;
    static constexpr int kMaxShift = 25;

    // Makes `frameCount` flags, all unselected (a negative count gives none).
    void Reset(int frameCount);

    // Out-of-range indices are ignored by the setters and read as unselected.
    void SelectFrame(long long index);
    void UnselectFrame(long long index);
    bool IsFrameSelected(long long index) const;

    bool AnySelected() const;
    int Size() const { return static_cast<int>(selectedFlags_.size()); }
    const std::vector<std::uint32_t>& SelectedFlags() const { return selectedFlags_; }
    std::vector<int> SelectedIndices() const;

    // Moves every selected flag by `shift` frames; flags moved out of range are dropped,
    // flags landing on the same index merge. Returns false (and changes nothing) when no
    // frame is selected.
    bool ShiftSelection(int shift);

    // Sets (or clears) every flag, then flips SelectAllNext().
    void SelectAllFrames(bool select);
    // "Select/Unselect All" sets every flag to SelectAllNext(): the first use selects
    // all, the next unselects all, ...
    bool SelectAllNext() const { return selectAllNext_; }

    // Replaces the selection by the frames picked by the end-diastolic selection: every
    // flag is cleared, then entry v of `picked` selects frame v - 1, up to the first entry
    // below 1; entries beyond the frame count are ignored. No list clears the selection.
    void ApplyPickedFrames(const std::optional<std::vector<std::int32_t>>& picked);

    // Brings a typed shift into the range the shift editor accepts.
    static int ClampShift(long long shift);

private:
    std::vector<std::uint32_t> selectedFlags_;
    bool selectAllNext_ = true;
};

// Frame number (from 1) that follows `current` during playback of `last` frames:
// after the last frame playback starts again at 1.
int NextFrameNumber(int current, int last);

} // namespace studyimport
