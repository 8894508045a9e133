#include "import/core/folder_import.h"

#include "study/frame_files.h"
#include "study/frame_reader.h"
#include "import/core/progress_reporter.h"
#include "study/replace_file.h"

#include <algorithm>
#include <cctype>
#include <system_error>

namespace fs = std::filesystem;

namespace studyimport {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

char Lower(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

// Compares the natural keys; returns <0, 0 or >0. Equal keys may still differ in
// letter case or leading zeros; the caller breaks such ties.
int NaturalCompare(const std::string& a, const std::string& b, int& leadingZeroTie)
{
    std::size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (IsDigit(a[i]) && IsDigit(b[j])) {
            std::size_t ei = i, ej = j;
            while (ei < a.size() && IsDigit(a[ei])) ++ei;
            while (ej < b.size() && IsDigit(b[ej])) ++ej;
            std::size_t si = i, sj = j;
            while (si + 1 < ei && a[si] == '0') ++si;
            while (sj + 1 < ej && b[sj] == '0') ++sj;
            const std::size_t li = ei - si, lj = ej - sj;
            if (li != lj)
                return li < lj ? -1 : 1;
            const int c = a.compare(si, li, b, sj, lj);
            if (c != 0)
                return c;
            if (leadingZeroTie == 0 && (si - i) != (sj - j))
                leadingZeroTie = (si - i) < (sj - j) ? -1 : 1;
            i = ei;
            j = ej;
            continue;
        }
        const char ca = Lower(a[i]), cb = Lower(b[j]);
        if (ca != cb)
            return static_cast<unsigned char>(ca) < static_cast<unsigned char>(cb) ? -1 : 1;
        ++i;
        ++j;
    }
    if (i < a.size())
        return 1;
    if (j < b.size())
        return -1;
    return 0;
}

bool HasJpgExtension(const fs::path& p)
{
    const std::string ext = p.extension().string();
    if (ext.size() != 4 || ext[0] != '.')
        return false;
    return Lower(ext[1]) == 'j' && Lower(ext[2]) == 'p' && Lower(ext[3]) == 'g';
}

bool IsHidden(const fs::path& p)
{
    const std::string name = p.filename().string();
    return !name.empty() && name[0] == '.';
}

std::string ErrorText(const std::error_code& ec)
{
    return ec ? ec.message() : std::string("unknown error");
}

} // namespace

bool NaturalLess(const std::string& a, const std::string& b)
{
    int leadingZeroTie = 0;
    const int c = NaturalCompare(a, b, leadingZeroTie);
    if (c != 0)
        return c < 0;
    if (leadingZeroTie != 0)
        return leadingZeroTie < 0;
    return a < b;
}

bool IsFrameImageFile(const fs::directory_entry& entry)
{
    std::error_code ec;
    return entry.is_regular_file(ec) && !IsHidden(entry.path()) && HasJpgExtension(entry.path());
}

std::vector<fs::path> ListFolderImages(const fs::path& folder)
{
    std::vector<fs::path> files;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder))
        if (IsFrameImageFile(entry))
            files.push_back(entry.path());
    std::sort(files.begin(), files.end(), [](const fs::path& a, const fs::path& b) {
        return NaturalLess(a.filename().string(), b.filename().string());
    });
    return files;
}

FolderImportResult ImportImageFolder(const fs::path& source, const fs::path& target,
                                     const std::string& prefix, ProgressReporter* progress,
                                     const FrameFileCopier& copyFile)
{
    FolderImportResult result;
    std::error_code ec;

    // Picking the working folder itself as the source would delete the images
    // before they are copied.
    if (fs::exists(source, ec) && fs::exists(target, ec) && fs::equivalent(source, target, ec)) {
        result.failures.push_back({source, "the image folder is the working folder itself"});
        return result;
    }

    // Empty the working folder of its old frame files, or create it.
    if (fs::is_directory(target, ec)) {
        std::vector<fs::path> old;
        for (fs::directory_iterator it(target, ec), end; !ec && it != end; it.increment(ec))
            if (IsFrameImageFile(*it))
                old.push_back(it->path());
        if (ec)
            result.failures.push_back({target, "cannot list the working folder: " + ErrorText(ec)});
        for (const fs::path& p : old) {
            std::error_code rm;
            if (!fs::remove(p, rm) && rm)
                result.failures.push_back({p, "cannot delete the old frame file: " + ErrorText(rm)});
        }
    } else {
        ec.clear();
        fs::create_directories(target, ec);
        if (ec) {
            result.failures.push_back({target, "cannot create the working folder: " + ErrorText(ec)});
            return result;
        }
    }

    std::vector<fs::path> images;
    try {
        images = ListFolderImages(source);
    } catch (const fs::filesystem_error& e) {
        result.failures.push_back({source, std::string("cannot list the image folder: ") +
                                               ErrorText(e.code())});
        return result;
    }

    ProgressGuard scope(progress, "Copying files", static_cast<int>(images.size()));
    std::int32_t k = 0;
    for (const fs::path& image : images) {
        // A file that only carries the name of an image would fail in the player later.
        try {
            ReadFrameFile(image, FramePixelFormat::Grey);
        } catch (const FrameFileError&) {
            result.failures.push_back({image, "not a JPEG image that can be read"});
            scope.Step();
            continue;
        }
        // The copy is made beside its frame file and then put in place: a failed copy
        // leaves no partial file under a number that a later copy would not overwrite.
        const fs::path to = target / FrameFileName(prefix, k);
        try {
            StagedFile::Produce(
                to,
                [&](const fs::path& temporary) {
                    std::error_code cp;
                    const bool copied = copyFile ? copyFile(image, temporary, cp)
                                                 : fs::copy_file(image, temporary, fs::copy_options::overwrite_existing, cp);
                    return copied ? std::string() : ErrorText(cp ? cp : std::make_error_code(std::errc::io_error));
                },
                Durability::Deferred)
                .Commit();
            ++k;
        } catch (const FileWriteError& e) {
            result.failures.push_back({image, "cannot copy: " + e.reason()});
        }
        scope.Step();
    }
    // One sync makes every copied frame file last.
    if (k > 0) {
        try {
            SyncFileSystem(target);
        } catch (const FileWriteError& e) {
            result.failures.push_back({target, "cannot write the frame files: " + e.reason()});
        }
    }
    result.frameCount = k;
    return result;
}

} // namespace studyimport
