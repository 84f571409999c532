// A hostile keyring against the whole unattended Lockgrid run: one pinger's
// K-RSA file holds 40,000 tiny version-4 RSA keys (16-bit moduli, one user
// ID, no signatures), read from the data folder as the cached copy (its
// address refuses). Times the real program headless from start to exit and
// takes its peak memory; the bar is 12 s and 400 MB for the whole run
// (its fixed pauses included), against a run on a ring of one key.
//   build/bin/lockgrid_bench [keys]   (40000 by default)
#include <arpa/inet.h>
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
#include <fstream>
#include <string>
#include <vector>

#include "common/core/DataFolder.h"
#include "common/core/StatsTypes.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

constexpr double kBarSeconds = 12.0;
constexpr double kBarMegabytes = 400.0;

std::string Packet(int tag, const std::string& body) {
    std::string out(1, static_cast<char>(0xC0 | tag));  // new format
    std::size_t n = body.size();
    if (n < 192) {
        out += static_cast<char>(n);
    } else {
        n -= 192;
        out += static_cast<char>((n >> 8) + 192);
        out += static_cast<char>(n & 0xff);
    }
    return out + body;
}

// Key i: created at a time of its own, modulus and user ID of its own.
std::string TinyKeys(int count) {
    std::string ring;
    for (int i = 0; i < count; ++i) {
        const std::uint32_t created = 1000000000u + static_cast<std::uint32_t>(i);
        std::string body = {4,
                            static_cast<char>(created >> 24),
                            static_cast<char>(created >> 16),
                            static_cast<char>(created >> 8),
                            static_cast<char>(created),
                            1};
        body += std::string("\x00\x10", 2);  // n: 16 bits
        body += static_cast<char>(0x80 | ((i >> 8) & 0x7f));
        body += static_cast<char>(i | 1);
        body += std::string("\x00\x11\x01\x00\x01", 5);  // e = 65537
        ring += Packet(6, body) + Packet(13, "k" + std::to_string(i) + " <k" + std::to_string(i) + "@example.org>");
    }
    return ring;
}

int RefusingPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    socklen_t len = sizeof addr;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    ::close(fd);
    return ntohs(addr.sin_port);
}

struct Run {
    double seconds = 0, megabytes = 0;
    int status = -1;
    int rows = 0;  // key lines on the K-RSA page
};

Run Once(const fs::path& root, int keys) {
    const fs::path data = root / "data";
    fs::remove_all(data);
    fs::create_directories(data);
    std::ofstream(data / "Pingers.lst", std::ios::binary)
        << "K-RSA,hostile,http://127.0.0.1:" << RefusingPort() << "/rsa.gpg\r\n";
    std::ofstream(data / parlux::StatsFileName("K-RSA", "hostile"), std::ios::binary) << TinyKeys(keys);

    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        bool keep = true;
        for (const char* drop :
             {"DISPLAY=", "WAYLAND_DISPLAY=", "QT_QPA_PLATFORM=", "PARLUX_DATA=", "TMPDIR=", "XDG_RUNTIME_DIR="})
            keep = keep && entry.rfind(drop, 0) != 0;
        if (keep) env.push_back(entry);
    }
    env.push_back("PARLUX_DATA=" + data.string());
    env.push_back("TMPDIR=" + (root / "private").string());
    env.push_back("XDG_RUNTIME_DIR=" + (root / "private").string());
    std::vector<char*> envp;
    for (auto& entry : env) envp.push_back(entry.data());
    envp.push_back(nullptr);

    const std::string program = (root / "program" / "Lockgrid").string();
    const std::string out = (root / "out.txt").string(), err = (root / "err.txt").string();
    std::string word = "FULL_AUTO";
    char* argv[] = {const_cast<char*>(program.c_str()), word.data(), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, envp.data()) != 0) {
        std::perror("posix_spawn");
        std::exit(2);
    }
    int status = 0;
    struct rusage usage {};
    ::wait4(pid, &status, 0, &usage);
    Run run;
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.megabytes = static_cast<double>(usage.ru_maxrss) / 1024.0;
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    posix_spawn_file_actions_destroy(&actions);
    std::ifstream page(data / "Comp_RK_K-RSA.txt", std::ios::binary);
    for (std::string line; std::getline(page, line);) run.rows += line.rfind("hostile  |<k", 0) == 0;
    return run;
}

}  // namespace

int main(int argc, char** argv) {
    const int keys = argc > 1 ? std::atoi(argv[1]) : 40000;
    const fs::path root = fs::temp_directory_path() / ("parlux-lockgrid-bench-" + std::to_string(::getpid()));
    fs::create_directories(root / "program");
    fs::create_directories(root / "private");
    fs::permissions(root / "private", fs::perms::owner_all);
    // A program folder of its own: the run log kept apart from the build's.
    fs::copy_file(parlux::ProgramFolder() / "Lockgrid", root / "program" / "Lockgrid");

    const Run small = Once(root, 1);
    const Run large = Once(root, keys);
    std::printf("one key: %.2f s, %.0f MB\n", small.seconds, small.megabytes);
    std::printf("%d tiny keys: %.2f s, %.0f MB peak, exit status %d, %d keys on the page (bar: %.0f s, %.0f MB)\n",
                keys, large.seconds, large.megabytes, large.status, large.rows, kBarSeconds, kBarMegabytes);
    std::error_code ec;
    fs::remove_all(root, ec);
    const bool within = large.seconds < kBarSeconds && large.megabytes < kBarMegabytes && large.rows == keys;
    std::printf("%s\n", within ? "within the bar" : "OVER THE BAR");
    return within ? 0 : 1;
}
