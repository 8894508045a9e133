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

// Where the new content goes and the mode it takes. A symbolic link is written through:
// the file it names is replaced and the link stays (a dangling link is replaced itself).
// A replaced file keeps its permissions; a new file gets the usual 0666 less the umask
// (applied by open). A folder, a device or a pipe under the name is never replaced.
struct Destination {
    fs::path path;
    bool exists = false;
    mode_t mode = 0;
};

Destination InspectTarget(const fs::path& target)
{
    Destination destination{target};
    struct stat st {};
    if (::lstat(target.c_str(), &st) != 0)
        return destination;
    if (S_ISLNK(st.st_mode)) {
        std::error_code ec;
        const fs::path resolved = fs::canonical(target, ec);
        if (ec || ::stat(resolved.c_str(), &st) != 0)
            return destination;
        destination.path = resolved;
    }
    if (S_ISDIR(st.st_mode))
        throw FileWriteError(target, FileWriteError::Step::Create, Reason(EISDIR));
    if (!S_ISREG(st.st_mode))
        throw FileWriteError(target, FileWriteError::Step::Create, "not a regular file");
    destination.exists = true;
    destination.mode = static_cast<mode_t>(st.st_mode & 07777);
    return destination;
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

struct Temporary {
    fs::path destination;
    fs::path path;
    int fd = -1;
};

// Creates a new temporary beside the destination (never opening an existing file).
Temporary CreateTemporary(const fs::path& target)
{
    const Destination destination = InspectTarget(target);
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        fs::path temporary = TemporaryName(destination.path, random);
        const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            throw FileWriteError(target, FileWriteError::Step::Create, Reason(errno));
        }
        if (destination.exists)
            ::fchmod(fd, destination.mode);  // best effort: the content matters, not the mode
        return {destination.path, std::move(temporary), fd};
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

// Syncs the file when asked, then closes it: the first failure's error number, 0 when
// both succeeded.
int SyncAndClose(Descriptor& file, bool sync)
{
    const int error = sync ? SyncDescriptor(file.get()) : 0;
    const int closed = file.Close();
    return error != 0 ? error : closed;
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

StagedFile::StagedFile(fs::path target, fs::path destination, fs::path temporary, Durability durability)
    : target_(std::move(target)), destination_(std::move(destination)), temporary_(std::move(temporary)),
      durability_(durability)
{
}

StagedFile::StagedFile(StagedFile&& other) noexcept
    : target_(std::move(other.target_)), destination_(std::move(other.destination_)),
      temporary_(std::exchange(other.temporary_, {})), durability_(other.durability_)
{
}

StagedFile& StagedFile::operator=(StagedFile&& other) noexcept
{
    if (this != &other) {
        Discard();
        target_ = std::move(other.target_);
        destination_ = std::move(other.destination_);
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
    Temporary temporary = CreateTemporary(target);
    StagedFile staged(target, std::move(temporary.destination), std::move(temporary.path), durability);
    Descriptor file(temporary.fd);
    int error = WriteAll(file.get(), bytes);
    const int closed = SyncAndClose(file, error == 0 && durability == Durability::Synced);
    if (error == 0)
        error = closed;
    if (error != 0)
        throw FileWriteError(target, FileWriteError::Step::Write, Reason(error));
    return staged;
}

StagedFile StagedFile::Produce(const fs::path& target, const Producer& produce, Durability durability)
{
    Temporary temporary = CreateTemporary(target);
    StagedFile staged(target, std::move(temporary.destination), std::move(temporary.path), durability);
    if (const int closed = Descriptor(temporary.fd).Close(); closed != 0)
        throw FileWriteError(target, FileWriteError::Step::Create, Reason(closed));
    const std::string failure = produce(staged.temporary_);
    if (!failure.empty())
        throw FileWriteError(target, FileWriteError::Step::Write, failure);
    if (durability == Durability::Synced) {
        Descriptor file(::open(staged.temporary_.c_str(), O_RDONLY | O_CLOEXEC));
        if (file.get() < 0)
            throw FileWriteError(target, FileWriteError::Step::Write, Reason(errno));
        if (const int error = SyncAndClose(file, true); error != 0)
            throw FileWriteError(target, FileWriteError::Step::Write, Reason(error));
    }
    return staged;
}

void StagedFile::Commit()
{
    if (temporary_.empty())
        return;
    if (::rename(temporary_.c_str(), destination_.c_str()) != 0) {
        const int error = errno;
        Discard();
        throw FileWriteError(target_, FileWriteError::Step::Write, Reason(error));
    }
    temporary_.clear();
    if (durability_ == Durability::Synced)
        SyncFolder(FolderOf(destination_));
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
