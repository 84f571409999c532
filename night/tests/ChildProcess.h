#pragma once
// Work done in a child process of the test: its stderr to a file, its end
// awaited (or forced with SIGKILL), its exit status returned. The child
// leaves through _exit, so nothing of the test's own state is torn down twice.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <functional>

namespace parlux::test {

inline pid_t StartChild(const std::filesystem::path& stderrFile, const std::function<void()>& work) {
    std::fflush(stdout);
    std::fflush(stderr);
    const pid_t pid = ::fork();
    if (pid != 0) return pid;
    if (std::FILE* err = std::freopen(stderrFile.c_str(), "w", stderr)) std::setvbuf(err, nullptr, _IONBF, 0);
    try {
        work();
    } catch (...) {
        ::_exit(3);
    }
    std::fflush(stderr);
    ::_exit(0);
}

// The child's exit status; -1 when it did not end by itself.
inline int AwaitChild(pid_t pid) {
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

// As root the permission bits bind nobody: the child becomes user nobody.
inline void BecomeNobody() {
    if (::geteuid() != 0) return;
    if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(4);
}

}  // namespace parlux::test
