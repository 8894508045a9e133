// Replacing a file: the old file survives every failure byte for byte (a file-size limit
// as on a full disk, a read-only folder, a missing folder, a directory in the way, a
// killed process), and a failure names the path and the system's reason.
#include "study/replace_file.h"

#include "support/child_process.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <random>
#include <set>
#include <sstream>
#include <thread>

namespace fs = std::filesystem;

namespace {

class TempFolder {
public:
    TempFolder()
    {
        std::string pattern = (fs::temp_directory_path() / "kestrova_replace_XXXXXX").string();
        path_ = ::mkdtemp(pattern.data());
    }
    ~TempFolder()
    {
        std::error_code ec;
        fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(path_, ec);
    }
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

std::string ReadBytes(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteGood(const fs::path& file, const std::string& bytes)
{
    std::ofstream(file, std::ios::binary) << bytes;
}

std::set<std::string> Names(const fs::path& folder)
{
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

// A text of n bytes that differs from every other one used here.
std::string Content(char tag, std::size_t n)
{
    std::string s(n, tag);
    for (std::size_t i = 0; i < n; i += 97)
        s[i] = static_cast<char>('0' + (i / 97) % 10);
    return s;
}

}  // namespace

TEST(ReplaceFile, CreatesAndReplacesWholeKeepingTheMode)
{
    const TempFolder folder;
    const fs::path file = folder.path() / "7_IVUS.xml";
    ReplaceFile(file, "first");
    EXPECT_EQ(ReadBytes(file), "first");

    // A shorter content leaves nothing of the longer one; the file keeps its permissions.
    WriteGood(file, Content('x', 50000));
    ASSERT_EQ(::chmod(file.c_str(), 0640), 0);
    ReplaceFile(file, "short");
    EXPECT_EQ(ReadBytes(file), "short");
    struct stat st {};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);

    // An empty content is a file of 0 bytes; a file written by a producer.
    ReplaceFile(file, "");
    EXPECT_TRUE(fs::exists(file));
    EXPECT_EQ(fs::file_size(file), 0u);
    ReplaceFileWith(file, [](const fs::path& temporary) {
        std::FILE* f = std::fopen(temporary.c_str(), "wb");
        const bool ok = f && std::fputs("by name", f) >= 0;
        return (f && std::fclose(f) == 0 && ok) ? std::string() : std::string("fputs failed");
    });
    EXPECT_EQ(ReadBytes(file), "by name");

    // A link is written through: the file it names is replaced and the link stays. A
    // dangling link is replaced by the file.
    fs::create_directory(folder.path() / "elsewhere");
    WriteGood(folder.path() / "elsewhere" / "real.xml", "old");
    fs::create_symlink(folder.path() / "elsewhere" / "real.xml", folder.path() / "link.xml");
    ReplaceFile(folder.path() / "link.xml", "through");
    EXPECT_TRUE(fs::is_symlink(folder.path() / "link.xml"));
    EXPECT_EQ(ReadBytes(folder.path() / "elsewhere" / "real.xml"), "through");
    fs::create_symlink(folder.path() / "nowhere.xml", folder.path() / "dangling.xml");
    ReplaceFile(folder.path() / "dangling.xml", "now a file");
    EXPECT_FALSE(fs::is_symlink(folder.path() / "dangling.xml"));
    EXPECT_EQ(ReadBytes(folder.path() / "dangling.xml"), "now a file");
    fs::remove_all(folder.path() / "elsewhere");
    fs::remove(folder.path() / "link.xml");
    fs::remove(folder.path() / "dangling.xml");

    // A relative name is a file of the working folder.
    const fs::path here = fs::current_path();
    fs::current_path(folder.path());
    ReplaceFile("relative.txt", "r");
    fs::current_path(here);
    EXPECT_EQ(ReadBytes(folder.path() / "relative.txt"), "r");

    // No temporary is left behind.
    EXPECT_EQ(Names(folder.path()), (std::set<std::string>{"7_IVUS.xml", "relative.txt"}));
}

// A limit on the size of the files a process writes fails a write with EFBIG, as a full
// disk fails it with ENOSPC: the good file that was to be replaced comes out unchanged.
TEST(ReplaceFile, AFileSizeLimitLeavesTheGoodFileUnchanged)
{
    struct Case {
        const char* what;
        rlim_t limit;
        std::size_t newSize;
        bool viaProducer;
    };
    const Case cases[] = {
        {"nothing can be written", 0, 10, false},
        {"cut at 4096 bytes", 4096, 20000, false},
        {"cut within the first block", 100, 101, false},
        {"a writer taking a file name, cut at 4096 bytes", 4096, 20000, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const TempFolder folder;
        const fs::path file = folder.path() / "outerSurface_7.vsf";
        const std::string good = Content('g', 3000);
        WriteGood(file, good);
        const std::string fresh = Content('n', c.newSize);

        const child_process::Result r = child_process::Run([&]() -> std::string {
            if (!child_process::LimitFileSize(c.limit))
                return "cannot set up: setrlimit";
            try {
                if (c.viaProducer) {
                    ReplaceFileWith(file, [&](const fs::path& temporary) {
                        std::FILE* f = std::fopen(temporary.c_str(), "wb");
                        if (!f)
                            return std::string("cannot open");
                        const bool written = std::fwrite(fresh.data(), 1, fresh.size(), f) == fresh.size();
                        const bool closed = std::fclose(f) == 0;
                        return written && closed ? std::string() : std::string("the writer failed");
                    });
                } else {
                    ReplaceFile(file, fresh);
                }
                return "no error";
            } catch (const FileWriteError& e) {
                return std::string(e.step() == FileWriteError::Step::Write ? "write|" : "create|") + e.reason() +
                       "|" + e.what();
            }
        });
        ASSERT_EQ(r.exitCode, 0) << r.output;
        const std::string reason = c.viaProducer ? "the writer failed" : "File too large";
        EXPECT_EQ(r.output, "write|" + reason + "|" + file.string() + ": " + reason);
        EXPECT_EQ(ReadBytes(file), good);
        EXPECT_EQ(Names(folder.path()), std::set<std::string>{"outerSurface_7.vsf"});
    }
}

// A folder that becomes read-only: the writer can no longer create its temporary, and
// the good file stays. Root passes over permissions, so as root the child becomes the
// unprivileged user first (the folder is handed to that user).
TEST(ReplaceFile, AFolderThatBecomesReadOnlyLeavesTheGoodFileUnchanged)
{
    const TempFolder folder;
    const fs::path file = folder.path() / "7_LumenRadius.bmp";
    if (::geteuid() == 0) {
        ASSERT_EQ(::chmod(folder.path().c_str(), 0755), 0);
        ASSERT_EQ(::chown(folder.path().c_str(), child_process::kNobody, child_process::kNobody), 0);
    }
    const std::string good = Content('g', 5000);
    const child_process::Result r = child_process::Run([&]() -> std::string {
        if (!child_process::DropRoot())
            return "cannot set up: cannot become an unprivileged user";
        try {
            ReplaceFile(file, good);  // the folder is writable: the good file is written
        } catch (const FileWriteError& e) {
            return std::string("cannot set up: ") + e.what();
        }
        if (::chmod(folder.path().c_str(), 0555) != 0)
            return "cannot set up: chmod";
        for (int i = 0; i < 2; ++i) {
            try {
                if (i == 0)
                    ReplaceFile(file, Content('n', 9000));
                else
                    ReplaceFiles(std::vector<FileContent>{{folder.path() / "7_Areas.bmp", "a"}, {file, "b"}});
                return "no error";
            } catch (const FileWriteError& e) {
                if (e.step() != FileWriteError::Step::Create || e.path() != (i == 0 ? file : folder.path() / "7_Areas.bmp"))
                    return std::string("unexpected: ") + e.what();
                if (e.reason() != "Permission denied")
                    return "reason: " + e.reason();
            }
        }
        return "refused";
    });
    if (r.exitCode == child_process::kCannotSetUp)
        GTEST_SKIP() << "a read-only folder cannot be made binding here: " << r.output
                     << " (the missing-folder case of FailuresNameThePathAndTheReason takes the same path)";
    ASSERT_EQ(r.exitCode, 0) << r.output;
    EXPECT_EQ(r.output, "refused");
    EXPECT_EQ(ReadBytes(file), good);
    EXPECT_EQ(Names(folder.path()), std::set<std::string>{"7_LumenRadius.bmp"});
}

TEST(ReplaceFile, FailuresNameThePathAndTheReason)
{
    const TempFolder folder;
    fs::create_directory(folder.path() / "7.xlsx");
    WriteGood(folder.path() / "7.xlsx" / "inside", "kept");
    struct Case {
        const char* what;
        fs::path target;
        FileWriteError::Step step;
        std::string reason;
    };
    const Case cases[] = {
        {"no such folder", folder.path() / "missing" / "7_LAO.xml", FileWriteError::Step::Create,
         "No such file or directory"},
        {"a folder under the name", folder.path() / "7.xlsx", FileWriteError::Step::Create, "Is a directory"},
        {"a file where a folder should be", folder.path() / "7.xlsx" / "inside" / "x", FileWriteError::Step::Create,
         "Not a directory"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        for (int via = 0; via < 3; ++via) {
            try {
                if (via == 0)
                    ReplaceFile(c.target, "bytes");
                else if (via == 1)
                    ReplaceFileWith(c.target, [](const fs::path&) { return std::string(); });
                else
                    ReplaceFiles(std::vector<FileContent>{{c.target, "bytes"}});
                ADD_FAILURE() << "no error";
            } catch (const FileWriteError& e) {
                EXPECT_EQ(e.path(), c.target);
                EXPECT_EQ(e.step(), c.step);
                EXPECT_EQ(e.reason(), c.reason);
                EXPECT_EQ(std::string(e.what()), c.target.string() + ": " + c.reason);
            }
        }
    }
    EXPECT_EQ(ReadBytes(folder.path() / "7.xlsx" / "inside"), "kept");

    // A device under the name is never replaced, also when a link names it.
    if (fs::exists("/dev/null")) {
        fs::create_symlink("/dev/null", folder.path() / "null.xml");
        for (const fs::path& device : {fs::path("/dev/null"), folder.path() / "null.xml"}) {
            try {
                ReplaceFile(device, "bytes");
                ADD_FAILURE() << "no error";
            } catch (const FileWriteError& e) {
                EXPECT_EQ(std::string(e.what()), device.string() + ": not a regular file");
            }
            EXPECT_TRUE(fs::is_character_file("/dev/null"));
            EXPECT_TRUE(fs::is_symlink(folder.path() / "null.xml"));
        }
        fs::remove(folder.path() / "null.xml");
    }

    // A producer that fails, or throws: its reason is the failure's; the temporary goes.
    const fs::path file = folder.path() / "8.xlsx";
    WriteGood(file, "good workbook");
    try {
        ReplaceFileWith(file, [](const fs::path& temporary) {
            std::ofstream(temporary) << "half";
            return std::string("the workbook could not be written");
        });
        ADD_FAILURE() << "no error";
    } catch (const FileWriteError& e) {
        EXPECT_EQ(e.step(), FileWriteError::Step::Write);
        EXPECT_EQ(std::string(e.what()), file.string() + ": the workbook could not be written");
    }
    EXPECT_THROW(ReplaceFileWith(file,
                                 [](const fs::path& temporary) -> std::string {
                                     std::ofstream(temporary) << "half";
                                     throw std::runtime_error("out of memory");
                                 }),
                 std::runtime_error);
    EXPECT_EQ(ReadBytes(file), "good workbook");
    EXPECT_EQ(Names(folder.path()), (std::set<std::string>{"7.xlsx", "8.xlsx"}));
}

// A set: when one file cannot be staged, none is replaced.
TEST(ReplaceFiles, ASetReplacesNoneWhenOneCannotBeWritten)
{
    const TempFolder folder;
    std::vector<fs::path> paths;
    for (const char* name : {"7_LumenRadius.bmp", "7_LumenDiameter.bmp", "7_VesselRadius.bmp",
                             "7_VesselDiameter.bmp", "7_WallThickness.bmp", "7_Areas.bmp"}) {
        paths.push_back(folder.path() / name);
        WriteGood(paths.back(), std::string("old ") + name);
    }
    // Each fits under the limit below but the fifth.
    const std::vector<std::string> fresh = {Content('a', 2000), Content('b', 2000), Content('c', 2000),
                                            Content('d', 2000), Content('e', 5000), Content('f', 2000)};
    std::vector<FileContent> set;
    for (std::size_t i = 0; i < paths.size(); ++i)
        set.push_back({paths[i], fresh[i]});

    // The fifth file does not fit under the limit: the four before it are not replaced.
    const child_process::Result r = child_process::Run([&]() -> std::string {
        if (!child_process::LimitFileSize(3000))
            return "cannot set up: setrlimit";
        try {
            ReplaceFiles(set);
            return "no error";
        } catch (const FileWriteError& e) {
            return e.what();
        }
    });
    ASSERT_EQ(r.exitCode, 0) << r.output;
    EXPECT_EQ(r.output, paths[4].string() + ": File too large");
    for (const fs::path& p : paths)
        EXPECT_EQ(ReadBytes(p), "old " + p.filename().string()) << p;
    EXPECT_EQ(Names(folder.path()).size(), 6u);

    // A folder under the last name: the same.
    fs::remove(paths[5]);
    fs::create_directory(paths[5]);
    EXPECT_THROW(ReplaceFiles(set), FileWriteError);
    for (std::size_t i = 0; i < 5; ++i)
        EXPECT_EQ(ReadBytes(paths[i]), "old " + paths[i].filename().string()) << paths[i];

    // Otherwise every file is replaced.
    fs::remove(paths[5]);
    ReplaceFiles(set);
    for (std::size_t i = 0; i < paths.size(); ++i)
        EXPECT_EQ(ReadBytes(paths[i]), fresh[i]) << paths[i];
    EXPECT_EQ(Names(folder.path()).size(), 6u);
}

// A process killed while it replaces a file leaves the old file or the new one, never a
// part of one. First a kill at a known moment (the new content half written), then kills
// at moments spread over many replacements.
TEST(ReplaceFile, AKilledWriterLeavesTheOldOrTheNewFile)
{
    const TempFolder folder;
    const fs::path file = folder.path() / "7.xlsx";
    const std::string good = Content('g', 100000);
    WriteGood(file, good);

    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    std::fflush(nullptr);
    const pid_t writer = ::fork();
    if (writer == 0) {
        ::close(ready[0]);
        try {
            ReplaceFileWith(file, [&](const fs::path& temporary) {
                std::ofstream out(temporary, std::ios::binary);
                out << Content('n', 50000) << std::flush;
                const char one = '1';
                (void)!::write(ready[1], &one, 1);
                ::pause();  // killed here, half written
                return std::string();
            });
        } catch (...) {
        }
        ::_exit(0);
    }
    ::close(ready[1]);
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);
    ::close(ready[0]);
    ::kill(writer, SIGKILL);
    int status = 0;
    ::waitpid(writer, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(ReadBytes(file), good);

    // A writer that replaces the file again and again with one of two contents of
    // different sizes; each kill leaves exactly one of the three whole contents.
    const std::string contents[2] = {Content('a', 3 << 20), Content('b', 1 << 20)};
    std::mt19937 random(42);
    std::uniform_int_distribution<int> delayUs(0, 30000);
    for (int round = 0; round < 20; ++round) {
        std::fflush(nullptr);
        const pid_t loop = ::fork();
        if (loop == 0) {
            for (int i = 0;; i = 1 - i) {
                try {
                    ReplaceFile(file, contents[i]);
                } catch (...) {
                    ::_exit(3);
                }
            }
        }
        std::this_thread::sleep_for(std::chrono::microseconds(delayUs(random)));
        ::kill(loop, SIGKILL);
        ::waitpid(loop, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the writer failed";
        const std::string now = ReadBytes(file);
        const int which = now == good ? 0 : now == contents[0] ? 1 : now == contents[1] ? 2 : -1;
        ASSERT_NE(which, -1) << "round " << round << ": a file of " << now.size() << " bytes";
    }
    // Only the hidden temporaries of the killed writers remain beside it.
    for (const std::string& name : Names(folder.path())) {
        if (name != "7.xlsx") {
            EXPECT_TRUE(name.rfind(".7.xlsx.", 0) == 0 && name.size() == std::string(".7.xlsx.abcdef.tmp").size())
                << name;
        }
    }
}

TEST(SyncFileSystem, SyncsOrNamesTheFolder)
{
    const TempFolder folder;
    ReplaceFile(folder.path() / "LAO.0.jpg", "frame", Durability::Deferred);
    EXPECT_NO_THROW(SyncFileSystem(folder.path()));
    EXPECT_EQ(ReadBytes(folder.path() / "LAO.0.jpg"), "frame");
    try {
        SyncFileSystem(folder.path() / "missing");
        ADD_FAILURE() << "no error";
    } catch (const FileWriteError& e) {
        EXPECT_EQ(std::string(e.what()), (folder.path() / "missing").string() + ": No such file or directory");
    }
}
