// A hostile keyring against the whole unattended Lockgrid run: one pinger's
// K-RSA file holds 40,000 tiny version-4 RSA keys (16-bit moduli, one user
// ID, no signatures), read from the data folder as the cached copy (its
// address refuses). Times the real program headless from start to exit and
// takes its peak memory; the bar is 12 s and 400 MB for the whole run
// (its fixed pauses included), against a run on a ring of one key.
//   build/bin/lockgrid_bench [keys]   (40000 by default)
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/FullAutoRun.h"
#include "common/core/DataFolder.h"
#include "common/core/StatsTypes.h"

namespace {

namespace fs = std::filesystem;
using parlux::bench::FullAutoRun;
using parlux::bench::RefusingPort;
using parlux::bench::RunFullAuto;

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
        const std::string k = std::string("k").append(std::to_string(i));
        ring += Packet(6, body) + Packet(13, std::string(k).append(" <").append(k).append("@example.org>"));
    }
    return ring;
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

    const FullAutoRun done =
        RunFullAuto(root / "program" / "Lockgrid", data, root / "private", root / "out.txt", root / "err.txt");
    Run run;
    run.seconds = done.wall;
    run.megabytes = done.megabytes;
    run.status = done.status;
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
