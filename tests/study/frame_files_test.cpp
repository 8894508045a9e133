// The names of a study's frame files.
#include "study/frame_files.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;

TEST(FrameFiles, NamesAndPaths)
{
    EXPECT_EQ(FramePrefix("IVUS"), "IVUS.");
    EXPECT_EQ(FrameFileName("IVUS.", 12), "IVUS.12.jpg");
    EXPECT_EQ(FrameFileName("/cache/tmp/IVUS/IVUS.", 0), "/cache/tmp/IVUS/IVUS.0.jpg");
    EXPECT_EQ(FrameFileName("LAO.", 1234567890123LL), "LAO.1234567890123.jpg");
    EXPECT_EQ(PatientDataFolder("/opt/kestrova"), fs::path("/opt/kestrova/patientData"));
    EXPECT_EQ(PatientFolder("/opt/kestrova", 7), fs::path("/opt/kestrova/patientData/7"));
    EXPECT_EQ(RecordingFolder("/opt/kestrova", 7, "RAO"), fs::path("/opt/kestrova/patientData/7/RAO"));
    EXPECT_EQ(FrameFilePath("/opt/kestrova", 7, "LAO", 0), fs::path("/opt/kestrova/patientData/7/LAO/LAO.0.jpg"));
    EXPECT_EQ(FrameFilePath("/opt/kestrova", 12, "IVUS", 0), fs::path("/opt/kestrova/patientData/12/IVUS/IVUS.0.jpg"));
}
