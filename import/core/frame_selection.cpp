#include "import/core/frame_selection.h"

#include <algorithm>

namespace studyimport {

void FrameSelection::Reset(int frameCount)
{
    selectedFlags_.assign(static_cast<std::size_t>(std::max(frameCount, 0)), 0u);
}

void FrameSelection::SelectFrame(long long index)
{
    if (index >= 0 && index < static_cast<long long>(selectedFlags_.size()))
        selectedFlags_[static_cast<std::size_t>(index)] = 1u;
}

void FrameSelection::UnselectFrame(long long index)
{
    if (index >= 0 && index < static_cast<long long>(selectedFlags_.size()))
        selectedFlags_[static_cast<std::size_t>(index)] = 0u;
}

bool FrameSelection::IsFrameSelected(long long index) const
{
    return index >= 0 && index < static_cast<long long>(selectedFlags_.size()) &&
           selectedFlags_[static_cast<std::size_t>(index)] != 0u;
}

bool FrameSelection::AnySelected() const
{
    return std::any_of(selectedFlags_.begin(), selectedFlags_.end(),
                       [](std::uint32_t f) { return f != 0u; });
}

std::vector<int> FrameSelection::SelectedIndices() const
{
    std::vector<int> out;
    for (std::size_t i = 0; i < selectedFlags_.size(); ++i)
        if (selectedFlags_[i] != 0u)
            out.push_back(static_cast<int>(i));
    return out;
}

bool FrameSelection::ShiftSelection(int shift)
{
    if (!AnySelected())
        return false;
    const long long n = static_cast<long long>(selectedFlags_.size());
    std::vector<std::uint32_t> shifted(selectedFlags_.size(), 0u);
    for (long long k = 0; k < n; ++k) {
        if (selectedFlags_[static_cast<std::size_t>(k)] == 0u)
            continue;
        const long long to = k + shift;
        if (to >= 0 && to < n)
            shifted[static_cast<std::size_t>(to)] = 1u;
    }
    selectedFlags_ = std::move(shifted);
    return true;
}

void FrameSelection::SelectAllFrames(bool select)
{
    std::fill(selectedFlags_.begin(), selectedFlags_.end(), select ? 1u : 0u);
    selectAllNext_ = !selectAllNext_;
}

void FrameSelection::ApplyPickedFrames(const std::optional<std::vector<std::int32_t>>& picked)
{
    std::fill(selectedFlags_.begin(), selectedFlags_.end(), 0u);
    if (!picked)
        return;
    for (std::size_t k = 0; k < picked->size() && k < selectedFlags_.size(); ++k) {
        const std::int32_t v = (*picked)[k];
        if (v < 1)
            break;
        SelectFrame(static_cast<long long>(v) - 1);
    }
}

int FrameSelection::ClampShift(long long shift)
{
    return static_cast<int>(std::clamp<long long>(shift, kMinShift, kMaxShift));
}

int NextFrameNumber(int current, int last)
{
    if (last < 1)
        return 1;
    return (current >= last || current < 1) ? 1 : current + 1;
}

} // namespace studyimport
