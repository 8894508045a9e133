#include "study/replace_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <random>
#include <system_error>
#include <utility>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::string Reason(int error)
{
    return std::error_code(error, std::generic_category()).message();
}

fs::path FolderOf(const fs::path& target)
{
    const fs::path parent = target.parent_path();
    return parent.empty() ? fs::path(".") : parent;
}

// A file descriptor closed on every path out; Close() reports the close's own failure
// (a write that a network file system only reports then).
class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    int get() const { return fd_; }
    int Close()
    {
        const int fd = std::exchange(fd_, -1);
        return ::close(fd) == 0 ? 0 : errno;
    }

private:
    int fd_;
};

// The mode a new file takes: that of the file it replaces, so a replaced file keeps
// its permissions; a new file gets the usual 0666 less the umask (applied by open).
struct TargetState {
    bool exists = false;
    mode_t mode = 0;
};

TargetState InspectTarget(const fs::path& target)
{
    struct stat st {};
    if (::lstat(target.c_str(), &st) != 0)
        return {};
    if (S_ISDIR(st.st_mode))
        throw FileWriteError(target, FileWriteError::Step::Create, Reason(EISDIR));
    return {S_ISREG(st.st_mode), static_cast<mode_t>(st.st_mode & 07777)};
}

// "." + name + "." + six random characters + ".tmp" in the target's folder; the name
// part is cut so the whole stays within the usual 255-byte limit of a file name.
fs::path TemporaryName(const fs::path& target, std::random_device& random)
{
    static constexpr char kChars[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::string name = target.filename().string();
    if (name.size() > 200)
        name.resize(200);
    std::string suffix(6, 'x');
    for (char& c : suffix)
        c = kChars[random() % (sizeof kChars - 1)];
    return FolderOf(target) / ("." + name + "." + suffix + ".tmp");
}

// Creates a new temporary beside the target (never opening an existing file).
std::pair<fs::path, int> CreateTemporary(const fs::path& target)
{
    const TargetState state = InspectTarget(target);
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        fs::path temporary = TemporaryName(target, random);
        const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            throw FileWriteError(target, FileWriteError::Step::Create, Reason(errno));
        }
        if (state.exists)
            ::fchmod(fd, state.mode);  // best effort: the content matters, not the mode
        return {std::move(temporary), fd};
    }
    throw FileWriteError(target, FileWriteError::Step::Create, Reason(EEXIST));
}

int WriteAll(int fd, std::string_view bytes)
{
    const char* p = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (n == 0)
            return EIO;
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    return 0;
}

int SyncDescriptor(int fd)
{
    while (::fsync(fd) != 0) {
        if (errno != EINTR)
            return errno;
    }
    return 0;
}

// The rename itself is in the folder's entries: syncing the folder makes it last. A
// failure here is not reported: the target is already whole (old or new) either way.
void SyncFolder(const fs::path& folder)
{
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

}  // namespace

FileWriteError::FileWriteError(fs::path path, Step step, std::string reason)
    : std::runtime_error(path.string() + ": " + reason), path_(std::move(path)), step_(step),
      reason_(std::move(reason))
{
}

StagedFile::StagedFile(fs::path target, fs::path temporary, Durability durability)
    : target_(std::move(target)), temporary_(std::move(temporary)), durability_(durability)
{
}

StagedFile::StagedFile(StagedFile&& other) noexcept
    : target_(std::move(other.target_)), temporary_(std::exchange(other.temporary_, {})),
      durability_(other.durability_)
{
}

StagedFile& StagedFile::operator=(StagedFile&& other) noexcept
{
    if (this != &other) {
        Discard();
        target_ = std::move(other.target_);
        temporary_ = std::exchange(other.temporary_, {});
        durability_ = other.durability_;
    }
    return *this;
}

StagedFile::~StagedFile()
{
    Discard();
}

void StagedFile::Discard() noexcept
{
    if (!temporary_.empty()) {
        ::unlink(temporary_.c_str());
        temporary_.clear();
    }
}

StagedFile StagedFile::Write(const fs::path& target, std::string_view bytes, Durability durability)
{
    auto [temporary, fd] = CreateTemporary(target);
    StagedFile staged(target, std::move(temporary), durability);
    Descriptor file(fd);
    int error = WriteAll(file.get(), bytes);
    if (error == 0 && durability == Durability::Synced)
        error = SyncDescriptor(file.get());
    const int closed = file.Close();
    if (error == 0)
        error = closed;
    if (error != 0)
        throw FileWriteError(target, FileWriteError::Step::Write, Reason(error));
    return staged;
}

StagedFile StagedFile::Produce(const fs::path& target, const Producer& produce, Durability durability)
{
    auto [temporary, fd] = CreateTemporary(target);
    StagedFile staged(target, std::move(temporary), durability);
    if (const int closed = Descriptor(fd).Close(); closed != 0)
        throw FileWriteError(target, FileWriteError::Step::Create, Reason(closed));
    const std::string failure = produce(staged.temporary_);
    if (!failure.empty())
        throw FileWriteError(target, FileWriteError::Step::Write, failure);
    if (durability == Durability::Synced) {
        Descriptor file(::open(staged.temporary_.c_str(), O_RDONLY | O_CLOEXEC));
        if (file.get() < 0)
            throw FileWriteError(target, FileWriteError::Step::Write, Reason(errno));
        int error = SyncDescriptor(file.get());
        const int closed = file.Close();
        if (error == 0)
            error = closed;
        if (error != 0)
            throw FileWriteError(target, FileWriteError::Step::Write, Reason(error));
    }
    return staged;
}

void StagedFile::Commit()
{
    if (temporary_.empty())
        return;
    if (::rename(temporary_.c_str(), target_.c_str()) != 0) {
        const int error = errno;
        Discard();
        throw FileWriteError(target_, FileWriteError::Step::Write, Reason(error));
    }
    temporary_.clear();
    if (durability_ == Durability::Synced)
        SyncFolder(FolderOf(target_));
}

void ReplaceFile(const fs::path& target, std::string_view bytes, Durability durability)
{
    StagedFile::Write(target, bytes, durability).Commit();
}

void ReplaceFileWith(const fs::path& target, const StagedFile::Producer& produce)
{
    StagedFile::Produce(target, produce).Commit();
}

void ReplaceFiles(std::span<const FileContent> files)
{
    std::vector<StagedFile> staged;
    staged.reserve(files.size());
    for (const FileContent& file : files)
        staged.push_back(StagedFile::Write(file.path, file.bytes));
    for (StagedFile& file : staged)
        file.Commit();
}

void SyncFileSystem(const fs::path& folder)
{
    Descriptor fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.get() < 0)
        throw FileWriteError(folder, FileWriteError::Step::Write, Reason(errno));
    if (::syncfs(fd.get()) != 0)
        throw FileWriteError(folder, FileWriteError::Step::Write, Reason(errno));
}
