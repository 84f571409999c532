#pragma once
// One whole unattended run of a program of the suite, headless, for the
// benchmarks: its time from start to exit, the processor time and the peak
// memory it used, and its exit status. Header only.
#include <fcntl.h>
#include <netinet/in.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

extern char** environ;

namespace parlux::bench {

struct FullAutoRun {
    double wall = 0, cpu = 0;
    double megabytes = 0;  // peak resident memory
    int status = -1;       // exit status, -1 when it did not end normally
};

// A port on 127.0.0.1 on which nothing listens.
inline int RefusingPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        ::close(fd);
        return 9;  // discard: nothing listens there either
    }
    socklen_t len = sizeof addr;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    ::close(fd);
    return ntohs(addr.sin_port);
}

// Runs program FULL_AUTO on the data folder, without a display, with its own
// temp and runtime folder (privateFolder: a copy running elsewhere on the
// machine is not this one's first instance), stdout and stderr to the files
// named.
inline FullAutoRun RunFullAuto(const std::filesystem::path& program, const std::filesystem::path& data,
                               const std::filesystem::path& privateFolder, const std::filesystem::path& out,
                               const std::filesystem::path& err) {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        bool keep = true;
        for (const char* drop : {"DISPLAY=", "WAYLAND_DISPLAY=", "QT_QPA_PLATFORM=", "PARLUX_DATA=", "TMPDIR=",
                                 "XDG_RUNTIME_DIR=", "no_proxy=", "NO_PROXY="})
            keep = keep && entry.rfind(drop, 0) != 0;
        if (keep) env.push_back(entry);
    }
    env.push_back("PARLUX_DATA=" + data.string());
    env.push_back("TMPDIR=" + privateFolder.string());
    env.push_back("XDG_RUNTIME_DIR=" + privateFolder.string());
    env.push_back("no_proxy=127.0.0.1");
    env.push_back("NO_PROXY=127.0.0.1");
    std::vector<char*> envp;
    envp.reserve(env.size() + 1);
    for (auto& entry : env) envp.push_back(entry.data());
    envp.push_back(nullptr);

    const std::string path = program.string();
    std::string word = "FULL_AUTO";
    char* argv[] = {const_cast<char*>(path.c_str()), word.data(), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    if (posix_spawn(&pid, path.c_str(), &actions, nullptr, argv, envp.data()) != 0) {
        std::perror("posix_spawn");
        std::exit(2);
    }
    int status = 0;
    struct rusage usage {};
    ::wait4(pid, &status, 0, &usage);
    FullAutoRun run;
    run.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    posix_spawn_file_actions_destroy(&actions);
    auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    run.cpu = seconds(usage.ru_utime) + seconds(usage.ru_stime);
    run.megabytes = static_cast<double>(usage.ru_maxrss) / 1024.0;
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

}  // namespace parlux::bench
