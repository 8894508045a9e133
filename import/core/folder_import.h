#pragma once
// Import of a recording from a folder of JPEG images: the folder's "*.jpg" files
// (any letter case, hidden files excepted) are copied in natural name order
// (img1, img2, img10) into the working folder as numbered frame files.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace studyimport {

class ProgressReporter;

// Natural order of file names: runs of digits compare by their value, the rest by
// letters ignoring case; ties are broken so that the order is total.
bool NaturalLess(const std::string& a, const std::string& b);

// True for a regular, non-hidden file whose extension is ".jpg" in any letter case.
bool IsFrameImageFile(const std::filesystem::directory_entry& entry);

// The frame images of `folder` in natural order. Throws std::filesystem::filesystem_error
// when the folder cannot be listed.
std::vector<std::filesystem::path> ListFolderImages(const std::filesystem::path& folder);

struct FolderImportFailure {
    std::filesystem::path file;
    std::string reason;
};

struct FolderImportResult {
    // Frame files now in the working folder, numbered 0 .. frameCount - 1 without gaps.
    std::int32_t frameCount = 0;
    // Files that could not be listed, removed from the working folder or copied.
    std::vector<FolderImportFailure> failures;
};

// Copies one file, overwriting `to`; false (with `error` set) when it fails.
using FrameFileCopier = std::function<bool(const std::filesystem::path& from,
                                           const std::filesystem::path& to,
                                           std::error_code& error)>;

// Empties the working folder `target` of its "*.jpg" files (creating it when missing),
// then copies the images of `source` to target / (prefix + k + ".jpg"), k counting only
// the successful copies. A file that does not decode as a JPEG image is not copied and is
// listed among the failures. Progress: "Copying files", one step per source image.
// Nothing is deleted when source and target are the same folder. Each copy is made into a
// temporary beside its frame file (`copyFile`'s `to`; std::filesystem::copy_file by
// default) and then renamed to it, so a failed copy never leaves a partial frame file.
FolderImportResult ImportImageFolder(const std::filesystem::path& source,
                                     const std::filesystem::path& target,
                                     const std::string& prefix,
                                     ProgressReporter* progress = nullptr,
                                     const FrameFileCopier& copyFile = {});

} // namespace studyimport
