#include "import/core/frame_selection.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

using studyimport::FrameSelection;
using studyimport::NextFrameNumber;

namespace {

FrameSelection WithSelected(int frames, const std::vector<int>& selected)
{
    FrameSelection s;
    s.Reset(frames);
    for (int i : selected)
        s.SelectFrame(i);
    return s;
}

struct ShiftCase {
    const char* name;
    int frames;
    std::vector<int> selected;
    std::vector<int> shifts; // applied in turn
    std::vector<int> expected;
};

void PrintTo(const ShiftCase& c, std::ostream* os) { *os << c.name; }

class ShiftSelectionTest : public ::testing::TestWithParam<ShiftCase> {};

TEST_P(ShiftSelectionTest, MovesDropsAndMergesFlags)
{
    const ShiftCase& c = GetParam();
    FrameSelection s = WithSelected(c.frames, c.selected);
    for (int shift : c.shifts)
        ASSERT_TRUE(s.ShiftSelection(shift));
    EXPECT_EQ(s.SelectedIndices(), c.expected);
    EXPECT_EQ(s.Size(), c.frames);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ShiftSelectionTest,
    ::testing::Values(
        ShiftCase{"PlusTwoDropsPastEnd", 10, {0, 9}, {+2}, {2}},
        ShiftCase{"MinusThreeDropsBeforeStart", 10, {1, 5}, {-3}, {2}},
        ShiftCase{"PlusTwoThenMinusTwo", 10, {3, 5}, {+2, -2}, {3, 5}},
        ShiftCase{"PlusTwoOnly", 10, {3, 5}, {+2}, {5, 7}},
        ShiftCase{"ZeroKeeps", 10, {0, 4, 9}, {0}, {0, 4, 9}},
        ShiftCase{"ToLastIndex", 10, {7}, {+2}, {9}},
        ShiftCase{"ToFirstIndex", 10, {2}, {-2}, {0}},
        ShiftCase{"AllOutOfRange", 10, {8, 9}, {+25}, {}},
        ShiftCase{"LongerThanRecording", 5, {0, 4}, {-25}, {}},
        ShiftCase{"OneFrame", 1, {0}, {+1}, {}}),
    [](const ::testing::TestParamInfo<ShiftCase>& info) { return info.param.name; });

TEST(FrameSelectionTest, ShiftWithoutSelectionChangesNothing)
{
    FrameSelection s;
    s.Reset(10);
    EXPECT_FALSE(s.ShiftSelection(2));
    EXPECT_EQ(s.SelectedFlags(), std::vector<std::uint32_t>(10, 0u));

    FrameSelection empty;
    EXPECT_FALSE(empty.ShiftSelection(-1));
    EXPECT_EQ(empty.Size(), 0);
}

TEST(FrameSelectionTest, OutOfRangeIndicesAreIgnored)
{
    FrameSelection s;
    s.Reset(3);
    s.SelectFrame(-1);
    s.SelectFrame(3);
    s.SelectFrame(1LL << 40);
    EXPECT_FALSE(s.AnySelected());
    EXPECT_FALSE(s.IsFrameSelected(-1));
    EXPECT_FALSE(s.IsFrameSelected(3));
    s.UnselectFrame(7);
    EXPECT_EQ(s.Size(), 3);
}

TEST(FrameSelectionTest, SelectUnselectAllAlternates)
{
    FrameSelection s;
    s.Reset(4);
    EXPECT_TRUE(s.SelectAllNext());
    s.SelectAllFrames(s.SelectAllNext());
    EXPECT_EQ(s.SelectedIndices(), std::vector<int>({0, 1, 2, 3}));
    EXPECT_FALSE(s.SelectAllNext());
    s.SelectAllFrames(s.SelectAllNext());
    EXPECT_FALSE(s.AnySelected());
    s.SelectAllFrames(s.SelectAllNext());
    EXPECT_EQ(s.SelectedIndices().size(), 4u);
}

TEST(FrameSelectionTest, ResetLeavesExactlyFrameCountClearFlags)
{
    for (int before : {3, 20}) {
        FrameSelection s = WithSelected(before, {0, 2});
        s.Reset(10);
        EXPECT_EQ(s.SelectedFlags(), std::vector<std::uint32_t>(10, 0u)) << before;
    }
    FrameSelection s;
    s.Reset(-4);
    EXPECT_EQ(s.Size(), 0);
}

TEST(FrameSelectionTest, ApplyPickedFramesStopsAtFirstZeroAndIgnoresOutOfRange)
{
    FrameSelection s = WithSelected(20, {1, 2, 3});
    s.ApplyPickedFrames(std::vector<std::int32_t>{15, 17, 0, 5, 0});
    EXPECT_EQ(s.SelectedIndices(), std::vector<int>({14, 16}));

    s.ApplyPickedFrames(std::vector<std::int32_t>{21, 20});
    EXPECT_EQ(s.SelectedIndices(), std::vector<int>({19}));

    s.ApplyPickedFrames(std::nullopt);
    EXPECT_FALSE(s.AnySelected());
}

TEST(FrameSelectionTest, ShiftEditorIsClamped)
{
    EXPECT_EQ(FrameSelection::ClampShift(40), 25);
    EXPECT_EQ(FrameSelection::ClampShift(-30), -25);
    EXPECT_EQ(FrameSelection::ClampShift(-25), -25);
    EXPECT_EQ(FrameSelection::ClampShift(7), 7);
}

TEST(FrameSelectionTest, PlaybackWrapsAfterLastFrame)
{
    std::vector<int> shown;
    int frame = 1;
    for (int tick = 0; tick < 7; ++tick) {
        frame = NextFrameNumber(frame, 3);
        shown.push_back(frame);
    }
    EXPECT_EQ(shown, std::vector<int>({2, 3, 1, 2, 3, 1, 2}));
    EXPECT_EQ(NextFrameNumber(1, 1), 1);
    EXPECT_EQ(NextFrameNumber(1, 0), 1);
}

} // namespace
