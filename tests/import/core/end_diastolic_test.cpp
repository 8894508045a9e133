#include "import/core/end_diastolic.h"

#include "import/core/end_diastolic_reference.h"
#include "import/core/frame_selection.h"
#include "import/core/recording_progress.h"
#include "import/core/synthetic_ivus.h"
#include "import/core/temp_dir.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <sstream>

using namespace studyimport;
using studyimport::testing::RecordingProgress;
using studyimport::testing::ReferenceChangeSignal;
using studyimport::testing::ReferencePeaks;
using studyimport::testing::SyntheticIvus;
using studyimport::testing::TempDir;

namespace {

constexpr double kSpecificity = EcgParameters::kDefaultSpecificity;
constexpr int kLum = EcgParameters::kDefaultLuminance;
constexpr double kSens = EcgParameters::kDefaultSensitivity;
constexpr int kWin = EcgParameters::kDefaultWindow;

std::vector<int> SelectedFrames(const PickedFrameList& picked, int frameCount)
{
    FrameSelection s;
    s.Reset(frameCount);
    s.ApplyPickedFrames(picked);
    return s.SelectedIndices();
}

class EndDiastolicTest : public ::testing::Test {
protected:
    TempDir tmp;
    std::string prefix = (tmp.path() / "IVUS").string();
};

TEST_F(EndDiastolicTest, SelectsTheFramesBeforeEachRWaveAndAgreesWithReference)
{
    SyntheticIvus ivus;
    ivus.frames = 80;
    // Beats every 8 or 9 frames, so every history window holds an R wave. Beats before
    // frame 11 only fill the first history window.
    ivus.beats = {2, 10, 19, 27, 36, 45, 53, 62, 70};
    ivus.Write(prefix);
    const int last = ivus.frames - 1;

    std::ostringstream log;
    RecordingProgress progress;
    const PickedFrameList picked =
        SelectEndDiastolicFrames(0, last, ivus.ecgStartRow, kSpecificity, kLum, kSens, kWin, prefix,
                                 {&progress, &log});

    ASSERT_TRUE(picked.has_value());
    EXPECT_EQ(picked->size(), static_cast<std::size_t>(last));
    EXPECT_EQ(SelectedFrames(picked, ivus.frames), std::vector<int>({19, 27, 36, 45, 53, 62, 70}));

    // The independent computation agrees value for value, then pick for pick.
    const std::vector<double> signal =
        ComputeEcgChangeSignal(0, last, ivus.ecgStartRow, kSpecificity, kLum, kWin, prefix);
    const std::vector<double> reference =
        ReferenceChangeSignal(0, last, ivus.ecgStartRow, kSpecificity, kLum, kWin, prefix);
    ASSERT_EQ(signal.size(), reference.size());
    for (std::size_t i = 0; i < signal.size(); ++i)
        EXPECT_EQ(signal[i], reference[i]) << "change from frame " << i << " to " << i + 1;
    const auto refPicked = ReferencePeaks(reference, last, 10, 0.6);
    ASSERT_TRUE(refPicked.has_value());
    EXPECT_EQ(std::vector<int>(picked->begin(), picked->end()), *refPicked);

    std::string expectedLog;
    for (int f = 0; f <= last; ++f)
        expectedLog += "Starting processing of image #" + std::to_string(f) + "\n";
    expectedLog += "Results:\n";
    EXPECT_EQ(log.str(), expectedLog);
    EXPECT_EQ(progress.text, "Automatic selection of end diastolic frames");
    EXPECT_EQ(progress.maximum, last);
    EXPECT_EQ(progress.steps, ivus.frames);
    EXPECT_EQ(progress.ends, 1);
}

struct ParamCase {
    const char* name;
    int R;
    double specificity;
    int luminance;
    int window;
};

void PrintTo(const ParamCase& c, std::ostream* os) { *os << c.name; }

class EndDiastolicParamTest : public ::testing::TestWithParam<ParamCase> {};

// Frames 512 pixels wide with w = 30 give 572 padded columns in 20 strips, the last two
// columns wide; the other cases reach the padding, every pixel, or no pixel.
TEST_P(EndDiastolicParamTest, SignalMatchesReference)
{
    const ParamCase& c = GetParam();
    TempDir tmp;
    const std::string prefix = (tmp.path() / "IVUS").string();
    SyntheticIvus ivus;
    ivus.width = 512;
    ivus.height = 64;
    ivus.ecgStartRow = 24;
    ivus.frames = 6;
    ivus.sweepSpeed = 40;
    ivus.beats = {1, 3};
    ivus.Write(prefix);

    const int last = ivus.frames - 1;
    const std::vector<double> signal =
        ComputeEcgChangeSignal(0, last, c.R, c.specificity, c.luminance, c.window, prefix);
    const std::vector<double> reference =
        ReferenceChangeSignal(0, last, c.R, c.specificity, c.luminance, c.window, prefix);
    ASSERT_EQ(signal.size(), static_cast<std::size_t>(last));
    EXPECT_EQ(signal, reference);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, EndDiastolicParamTest,
    ::testing::Values(ParamCase{"Defaults", 24, kSpecificity, kLum, kWin},
                      ParamCase{"WholeFrame", 0, kSpecificity, kLum, kWin},
                      ParamCase{"EveryPixelMarked", 24, -1.0, -1, kWin},
                      ParamCase{"PaddingOnlyByLuminance", 24, 0.0, -1, 7},
                      ParamCase{"WindowOfOne", 40, kSpecificity, kLum, 1},
                      ParamCase{"WindowWiderThanFrame", 24, kSpecificity, kLum, 600},
                      ParamCase{"NothingMarked", 24, 1e9, kLum, kWin},
                      ParamCase{"TwoRows", 62, kSpecificity, kLum, kWin},
                      ParamCase{"EcgRowAtFrameHeight", 64, kSpecificity, kLum, kWin}),
    [](const ::testing::TestParamInfo<ParamCase>& info) { return info.param.name; });

TEST_F(EndDiastolicTest, EcgRowAtFrameHeightSelectsNothing)
{
    SyntheticIvus ivus;
    ivus.frames = 14;
    ivus.beats = {3, 12};
    ivus.Write(prefix);

    const std::vector<double> signal =
        ComputeEcgChangeSignal(0, 13, ivus.height, kSpecificity, kLum, kWin, prefix);
    EXPECT_EQ(signal, std::vector<double>(13, DBL_MIN));
    const PickedFrameList picked =
        SelectEndDiastolicFrames(0, 13, ivus.height, kSpecificity, kLum, kSens, kWin, prefix);
    ASSERT_TRUE(picked.has_value());
    EXPECT_EQ(*picked, std::vector<std::int32_t>(13, 0));
}

TEST_F(EndDiastolicTest, RecordingLengthDecidesWhetherThereIsAList)
{
    SyntheticIvus ivus;
    ivus.frames = 13;
    ivus.beats = {4, 11};
    ivus.Write(prefix);

    // 11 frames: too short for a window.
    EXPECT_FALSE(SelectEndDiastolicFrames(0, 10, ivus.ecgStartRow, kSpecificity, kLum, kSens, kWin, prefix));
    // 12 frames: a list, but no candidate.
    const PickedFrameList twelve =
        SelectEndDiastolicFrames(0, 11, ivus.ecgStartRow, kSpecificity, kLum, kSens, kWin, prefix);
    ASSERT_TRUE(twelve.has_value());
    EXPECT_EQ(*twelve, std::vector<std::int32_t>(11, 0));
    // 13 frames: the one candidate, the change from frame 11 to 12, selects frame 11.
    const PickedFrameList thirteen =
        SelectEndDiastolicFrames(0, 12, ivus.ecgStartRow, kSpecificity, kLum, kSens, kWin, prefix);
    ASSERT_TRUE(thirteen.has_value());
    std::vector<std::int32_t> expected(12, 0);
    expected[0] = 12;
    EXPECT_EQ(*thirteen, expected);
    EXPECT_EQ(SelectedFrames(thirteen, 13), std::vector<int>({11}));
    // No frame at all.
    EXPECT_FALSE(SelectEndDiastolicFrames(0, -1, ivus.ecgStartRow, kSpecificity, kLum, kSens, kWin, prefix));
}

TEST_F(EndDiastolicTest, RefusesBadInputAndClosesProgress)
{
    SyntheticIvus ivus;
    ivus.frames = 4;
    ivus.Write(prefix);
    {
        // A start row below the frame: the diagnostic line, then a failure.
        std::ostringstream log;
        RecordingProgress progress;
        EXPECT_THROW(SelectEndDiastolicFrames(0, 3, ivus.height + 1, kSpecificity, kLum, kSens, kWin,
                                              prefix, {&progress, &log}),
                     EndDiastolicError);
        EXPECT_EQ(log.str(), "Starting processing of image #0\n"
                             "ECG position cannot exceed image dimensions!\n");
        EXPECT_EQ(progress.begins, 1);
        EXPECT_EQ(progress.ends, 1);
    }
    // Parameters that would loop forever or read above the frame are refused before
    // any frame is read.
    for (auto [R, w] : {std::pair{-1, kWin}, std::pair{80, 0}, std::pair{80, -5},
                        std::pair{EcgParameters::kMaxStartRow + 1, kWin},
                        std::pair{80, EcgParameters::kMaxWindow + 1}}) {
        RecordingProgress progress;
        EXPECT_THROW(SelectEndDiastolicFrames(0, 3, R, kSpecificity, kLum, kSens, w, prefix, {&progress}),
                     EndDiastolicError)
            << R << " " << w;
        EXPECT_EQ(progress.begins, 0);
    }
    {
        // A missing frame file.
        RecordingProgress progress;
        EXPECT_THROW(SelectEndDiastolicFrames(0, 4, ivus.ecgStartRow, kSpecificity, kLum, kSens, kWin,
                                              prefix, {&progress}),
                     EndDiastolicError);
        EXPECT_EQ(progress.steps, 4);
        EXPECT_EQ(progress.ends, 1);
    }
    {
        // A frame file that is not an image.
        studyimport::testing::WriteFile(prefix + ".4.jpg", "not a jpeg");
        EXPECT_THROW(ComputeEcgChangeSignal(0, 4, ivus.ecgStartRow, kSpecificity, kLum, kWin, prefix),
                     EndDiastolicError);
    }
    {
        // A frame of another size than the first.
        SyntheticIvus wider = ivus;
        wider.width += 8;
        ASSERT_TRUE(cv::imwrite(prefix + ".4.jpg", wider.Frame(4)));
        EXPECT_THROW(ComputeEcgChangeSignal(0, 4, ivus.ecgStartRow, kSpecificity, kLum, kWin, prefix),
                     EndDiastolicError);
        SyntheticIvus shorter = ivus;
        shorter.height -= 8;
        shorter.ecgStartRow -= 8;
        ASSERT_TRUE(cv::imwrite(prefix + ".4.jpg", shorter.Frame(4)));
        EXPECT_THROW(ComputeEcgChangeSignal(0, 4, ivus.ecgStartRow, kSpecificity, kLum, kWin, prefix),
                     EndDiastolicError);
    }
}

// Signals built so that the candidates form runs of known length starting at number 15
// (a rise at signal entries 14, 15, ...), checked against hand-worked thinning.
TEST(PickSignalPeaksTest, ThinsRunsOfConsecutiveCandidates)
{
    struct Case {
        int run;
        std::vector<std::int32_t> kept;
    };
    for (const Case& c : {Case{1, {15}}, Case{2, {15}}, Case{3, {15, 17}}, Case{4, {15, 17}},
                          Case{5, {15, 17, 19}}}) {
        std::vector<double> signal(30, 0.0);
        for (int r = 0; r < c.run; ++r)
            signal[14 + r] = std::ldexp(1.0, r);
        const PickedFrameList picked = PickSignalPeaks(signal, 0, 30, 10, 0.6);
        ASSERT_TRUE(picked.has_value());
        std::vector<std::int32_t> expected(30, 0);
        std::copy(c.kept.begin(), c.kept.end(), expected.begin());
        EXPECT_EQ(*picked, expected) << "run of " << c.run;
        const auto ref = ReferencePeaks(signal, 30, 10, 0.6);
        EXPECT_EQ(std::vector<int>(picked->begin(), picked->end()), *ref) << "run of " << c.run;
    }
}

TEST(PickSignalPeaksTest, WindowAndArgumentEdges)
{
    // signal[0] never enters a window: a spike there picks nothing.
    std::vector<double> signal(12, 1.0);
    signal[0] = 100.0;
    EXPECT_EQ(*PickSignalPeaks(signal, 0, 12, 10, 0.6), std::vector<std::int32_t>(12, 0));
    // The first candidate is entry 11.
    signal[11] = 100.0;
    std::vector<std::int32_t> expected(12, 0);
    expected[0] = 12;
    EXPECT_EQ(*PickSignalPeaks(signal, 0, 12, 10, 0.6), expected);
    // A constant signal has no peak.
    const std::vector<double> flat(40, DBL_MIN);
    EXPECT_EQ(*PickSignalPeaks(flat, 0, 40, 10, 0.6), std::vector<std::int32_t>(40, 0));
    // At most h entries: no list.
    EXPECT_FALSE(PickSignalPeaks(signal, 0, 10, 10, 0.6).has_value());
    EXPECT_FALSE(PickSignalPeaks({}, 5, 3, 10, 0.6).has_value());
    // The frame range sets the length; an offset first frame changes nothing else.
    EXPECT_EQ(*PickSignalPeaks(signal, 100, 112, 10, 0.6), expected);
    EXPECT_THROW(PickSignalPeaks(signal, 0, 20, 10, 0.6), std::invalid_argument);
    EXPECT_THROW(PickSignalPeaks(signal, 0, 12, 0, 0.6), std::invalid_argument);
}

} // namespace
