#include "import/core/study_folders.h"

#include <system_error>

namespace fs = std::filesystem;

namespace studyimport {

void ClearWorkingFolders(const fs::path& tmp)
{
    fs::remove_all(tmp);
}

bool HoldsFrameFiles(const fs::path& folder)
{
    std::error_code ec;
    if (!fs::is_directory(folder, ec))
        return false;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        if (it->is_regular_file(ec) && it->path().extension() == ".jpg")
            return true;
    }
    return false;
}

namespace {

void MoveFolder(const fs::path& from, const fs::path& to)
{
    std::error_code ec;
    fs::rename(from, to, ec);
    if (!ec)
        return;
    // Another file system: copy, then remove the source.
    fs::copy(from, to, fs::copy_options::recursive);
    fs::remove_all(from);
}

} // namespace

StudyMoveResult MoveStudyToPatient(const fs::path& tmp, const fs::path& patientDataDir, const std::string& code)
{
    StudyMoveResult result;
    try {
        fs::create_directories(patientDataDir);
        const fs::path target = patientDataDir / code;
        if (fs::exists(target)) {
            result.error = "the patient folder " + target.string() + " already exists";
            return result;
        }
        fs::create_directory(target);
        for (const char* series : kSeriesNames) {
            const fs::path from = tmp / series;
            if (HoldsFrameFiles(from))
                MoveFolder(from, target / series);
        }
        std::error_code ec;
        fs::remove_all(tmp, ec);
        result.ok = true;
    } catch (const fs::filesystem_error& e) {
        result.error = e.what();
    }
    return result;
}

} // namespace studyimport
