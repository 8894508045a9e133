// Running a piece of a test in a child process: for conditions that must not touch the
// test process itself (a file-size limit, dropped privileges), and for killing a writer
// in the middle of its work.
#pragma once

#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <functional>
#include <string>

namespace child_process {

struct Result {
    int exitCode = -1;    // the child's exit status; -1 when it ended by a signal
    int signal = 0;       // the signal that ended it
    std::string output;   // what the body returned
};

// The exit status of a child that could not set up its condition (the test skips).
inline constexpr int kCannotSetUp = 77;

// Runs `body` in a forked child and returns what it returned. An exception leaving the
// body gives exit status 1 and its text as the output.
inline Result Run(const std::function<std::string()>& body)
{
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0)
        return {};
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(pipeFds[0]);
        int code = 0;
        std::string text;
        try {
            text = body();
        } catch (const std::exception& e) {
            code = 1;
            text = std::string("exception: ") + e.what();
        } catch (...) {
            code = 1;
            text = "unknown exception";
        }
        if (text.rfind("cannot set up:", 0) == 0)
            code = kCannotSetUp;
        for (std::size_t done = 0; done < text.size();) {
            const ssize_t n = ::write(pipeFds[1], text.data() + done, text.size() - done);
            if (n <= 0)
                break;
            done += std::size_t(n);
        }
        ::_exit(code);
    }
    ::close(pipeFds[1]);
    Result result;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(pipeFds[0], buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        result.output.append(buffer, std::size_t(n));
    }
    ::close(pipeFds[0]);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status))
        result.exitCode = WEXITSTATUS(status);
    else if (WIFSIGNALED(status))
        result.signal = WTERMSIG(status);
    return result;
}

// In a child: limits the size of every file it writes to `bytes`, and ignores SIGXFSZ so
// that a write past the limit fails with EFBIG as on a full disk instead of ending the
// process. Returns false when the limit cannot be set.
inline bool LimitFileSize(rlim_t bytes)
{
    const rlimit limit{bytes, bytes};
    std::signal(SIGXFSZ, SIG_IGN);
    return ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
}

// The unprivileged user that a child running as root becomes, so that file permissions
// bind it (root passes over a read-only folder).
inline constexpr uid_t kNobody = 65534;

// In a child: when running as root, becomes kNobody (user and group). Returns false when
// that is not possible.
inline bool DropRoot()
{
    if (::geteuid() != 0)
        return true;
    return ::setgroups(0, nullptr) == 0 && ::setgid(kNobody) == 0 && ::setuid(kNobody) == 0 &&
           ::geteuid() == kNobody;
}

}  // namespace child_process
