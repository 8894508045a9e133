#pragma once
// The working folders of a new study ("cache/tmp/LAO", "cache/tmp/RAO", "cache/tmp/IVUS"
// under the program folder) and their move into the patient's folder when the wizard
// finishes.
#include <array>
#include <filesystem>
#include <string>

namespace studyimport {

// The three recordings, in wizard order.
inline constexpr std::array<const char*, 3> kSeriesNames = {"LAO", "RAO", "IVUS"};

// Removes whatever an earlier, abandoned wizard left in `tmp` (the folder itself goes too).
// Throws std::filesystem::filesystem_error when it cannot be removed.
void ClearWorkingFolders(const std::filesystem::path& tmp);

// True when `folder` holds at least one "*.jpg" frame file.
bool HoldsFrameFiles(const std::filesystem::path& folder);

struct StudyMoveResult {
    bool ok = false;
    std::string error; // why the move failed (empty on success)
};

// Moves the series folders of `tmp` that hold frame files into patientDataDir/code
// (patientDataDir is created when missing) and removes `tmp`. A series folder without
// frame files is not moved, so the card has no folder for a recording it lacks. An
// existing patient folder is never merged into: the move fails and nothing is touched.
// A rename that crosses file systems falls back to copying and removing.
StudyMoveResult MoveStudyToPatient(const std::filesystem::path& tmp, const std::filesystem::path& patientDataDir,
                                   const std::string& code);

} // namespace studyimport
