// The one way the program writes a file a user keeps (exports, surface files, the
// workbook, chart images, frame files): never in place. The new content goes into a
// temporary file beside the target (same folder, so the same file system), is flushed
// and synced, and is then renamed over the target, and the folder is synced. A failure
// at any step removes the temporary and leaves the target as it was, byte for byte; a
// process killed at any moment leaves the old file or the new one, never a mix.
//
// A symbolic link under the target's name is written through (the file it names is
// replaced); a folder, a device or a pipe under it is refused.
//
// Temporaries are hidden files named "." + target name + "." + six random characters +
// ".tmp", so a listing of "*.jpg" or "*.vsf" never takes one for a finished file. Only
// a killed process leaves one behind.
//
// A set of files (the two surface files, the six chart images) is staged whole before
// any is put in place: a failure while staging replaces none of them. Putting in place
// is a rename within a folder, which fails only on a fault of the file system; then
// the files renamed before it hold their new content and the rest their old, each whole.
#pragma once

#include <filesystem>
#include <functional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>

// A file could not be written. what() is "<path>: <reason>"; the reason is the
// system's ("No space left on device", "Permission denied", "File too large").
class FileWriteError : public std::runtime_error {
public:
    enum class Step {
        Create,  // the file could not be created (no such folder, a read-only folder, ...)
        Write,   // writing, syncing or putting it in place failed
    };
    FileWriteError(std::filesystem::path path, Step step, std::string reason);
    const std::filesystem::path& path() const noexcept { return path_; }
    Step step() const noexcept { return step_; }
    const std::string& reason() const noexcept { return reason_; }

private:
    std::filesystem::path path_;
    Step step_;
    std::string reason_;
};

// Whether a staged file is synced to the disk before it is put in place. Deferred is
// for many files written in a row into a working folder (the frames of a recording):
// each still appears whole or not at all, and the writer calls SyncFileSystem once
// when the batch is done.
enum class Durability { Synced, Deferred };

// A new content written beside its target and not yet in place. Destroying it without
// Commit removes the temporary and leaves the target untouched.
class StagedFile {
public:
    // Writes the bytes into a new temporary beside `target`. Throws FileWriteError
    // naming the target; nothing is left behind then.
    static StagedFile Write(const std::filesystem::path& target, std::string_view bytes,
                            Durability durability = Durability::Synced);

    // For writers that take a file name (a spreadsheet library): creates an empty
    // temporary and lets `produce` write it by its path. `produce` returns the reason
    // of a failure, empty on success (or throws). Throws FileWriteError naming the
    // target, with that reason, when `produce` fails or the file cannot be synced.
    using Producer = std::function<std::string(const std::filesystem::path& temporary)>;
    static StagedFile Produce(const std::filesystem::path& target, const Producer& produce,
                              Durability durability = Durability::Synced);

    StagedFile(StagedFile&& other) noexcept;
    StagedFile& operator=(StagedFile&& other) noexcept;
    StagedFile(const StagedFile&) = delete;
    StagedFile& operator=(const StagedFile&) = delete;
    ~StagedFile();

    const std::filesystem::path& target() const noexcept { return target_; }
    const std::filesystem::path& temporary() const noexcept { return temporary_; }

    // Renames the temporary over the target and syncs the folder (Synced). Throws
    // FileWriteError (Step::Write) when the rename fails; the target is then unchanged.
    void Commit();

private:
    StagedFile(std::filesystem::path target, std::filesystem::path destination,
               std::filesystem::path temporary, Durability durability);
    void Discard() noexcept;

    std::filesystem::path target_;       // as the caller named it
    std::filesystem::path destination_;  // the file renamed over: the target, or what its link names
    std::filesystem::path temporary_;  // empty once committed or discarded
    Durability durability_ = Durability::Synced;
};

// Replaces (or creates) one file with the bytes. Throws FileWriteError.
void ReplaceFile(const std::filesystem::path& target, std::string_view bytes,
                 Durability durability = Durability::Synced);

// Replaces (or creates) one file with what `produce` writes at the temporary's path.
void ReplaceFileWith(const std::filesystem::path& target, const StagedFile::Producer& produce);

// One file of a set: where it goes and its whole content.
struct FileContent {
    std::filesystem::path path;
    std::string_view bytes;
};

// Replaces a set of files: every file is staged first, then each is put in place.
// Throws FileWriteError for the first file that fails (see the top of this header for
// what is left then).
void ReplaceFiles(std::span<const FileContent> files);

// Syncs the file system that holds the folder (after a batch of Deferred files).
// Throws FileWriteError naming the folder.
void SyncFileSystem(const std::filesystem::path& folder);
