// Whole unattended runs of the real Pulsegrid program, headless, each timed
// from start to exit and set against a small run, so that the fixed parts
// (start-up, the pauses of SUPER and HYPER) drop out:
//   downloads  20 pingers x 4 types served with 0.3 s latency, plus 2
//              refusing hosts per type, against one pinger of one type;
//   feedback   100,000 feedback lines (records the list skips) against a
//              list as long that gives none;
//   grid       60, 120 and 240 pingers x 500 remailers of one type from
//              cached pages, against 1 x 1;
//   bigpage    the peak memory of a run on one cached 63 MiB LF-only page
//              of 900,000 remailers, against the page's size (bigpage is
//              run only when asked).
//   build/bin/fullauto_bench [downloads|feedback|grid|bigpage ...]   (the first three by default)
// The pages are served by cpp-httplib on 127.0.0.1 only.
#include <fcntl.h>
#include <httplib.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "bench/BenchPages.h"
#include "bench/FullAutoRun.h"
#include "common/core/DataFolder.h"
#include "common/core/Sinks.h"
#include "common/core/StatsTypes.h"

namespace parlux::bench {
namespace {

namespace fs = std::filesystem;

constexpr int kRepeats = 5;  // the fastest counts: the machine is shared

struct Times {
    double wall, cpu;
    double megabytes = 0;  // peak resident memory of the program
};

void Write(const fs::path& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
}

// Pages on 127.0.0.1, each answered after the given latency.
class Server {
public:
    explicit Server(std::chrono::milliseconds latency) {
        server_.new_task_queue = [] { return new httplib::ThreadPool(64); };
        int listening = -1;
        server_.set_socket_options([&listening](int sock) {
            httplib::default_socket_options(sock);
            listening = sock;
        });
        server_.Get(R"(/(\w+)/([\w-]+))", [latency](const httplib::Request& req, httplib::Response& res) {
            std::this_thread::sleep_for(latency);
            std::mt19937 random(static_cast<unsigned>(std::hash<std::string>{}(req.path)));
            res.set_content(Page(static_cast<int>(req.path.size()), 50, random), "text/html");
        });
        port_ = server_.bind_to_any_port("127.0.0.1");
        if (listening >= 0) ::listen(listening, 256);  // a burst of connections at once
        thread_ = std::thread([this] { server_.listen_after_bind(); });
        while (!server_.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ~Server() {
        server_.stop();
        thread_.join();
    }
    std::string url(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(port_) + path; }

private:
    httplib::Server server_;
    std::thread thread_;
    int port_ = 0;
};

class Bench {
public:
    Bench() : root_(fs::temp_directory_path() / ("parlux-fullauto-bench-" + std::to_string(::getpid()))) {
        fs::create_directories(root_ / "program");
        fs::create_directories(root_ / "private");
        fs::permissions(root_ / "private", fs::perms::owner_all);
        // A program folder of its own: no Flaggrid beside it to start, and the
        // run log kept apart from the build's.
        fs::copy_file(ProgramFolder() / "Pulsegrid", root_ / "program" / "Pulsegrid");
    }
    ~Bench() {
        std::error_code ec;
        fs::remove_all(root_, ec);
    }

    // The data folder of the next run, emptied.
    fs::path data() {
        fs::path folder = root_ / "data";
        fs::remove_all(folder);
        fs::create_directories(folder);
        return folder;
    }

    // Seconds of the fastest of a few runs of Pulsegrid FULL_AUTO, each on a
    // data folder that prepare() fills afresh: the time from start to exit,
    // and the processor time it used (less disturbed by the machine's load).
    Times run(const std::function<void(const fs::path&)>& prepare) {
        Times best{1e9, 1e9};
        for (int i = 0; i < kRepeats; ++i) {
            const fs::path folder = data();
            prepare(folder);
            const Times t = once(folder);
            best = {std::min(best.wall, t.wall), std::min(best.cpu, t.cpu), std::max(best.megabytes, t.megabytes)};
        }
        return best;
    }

private:
    Times once(const fs::path& folder) {
        const FullAutoRun run = RunFullAuto(root_ / "program" / "Pulsegrid", folder, root_ / "private",
                                            root_ / "out.txt", root_ / "err.txt");
        if (run.status < 0) std::fprintf(stderr, "the run did not end normally\n");
        return {run.wall, run.cpu, run.megabytes};
    }

    fs::path root_;
};

void Downloads(Bench& bench) {
    Server server(std::chrono::milliseconds(300));
    const std::string refused = "http://127.0.0.1:" + std::to_string(RefusingPort());
    const std::vector<std::string> types = {"PGP-1", "MIX-1", "PGP-2", "MIX-2"};
    auto list = [&](int pingers, int typeCount, int dead) {
        std::string text;
        for (int t = 0; t < typeCount; ++t) {
            for (int p = 0; p < pingers; ++p)
                text.append(types[t])
                    .append(",")
                    .append(Nick(p))
                    .append(",")
                    .append(server.url(std::string("/").append(Nick(p)).append("/").append(types[t])))
                    .append("\r\n");
            for (int d = 0; d < dead; ++d)
                text.append(types[t])
                    .append(",dead")
                    .append(std::to_string(d))
                    .append(",")
                    .append(refused)
                    .append("/x\r\n");
        }
        return text;
    };
    const Times small = bench.run([&](const fs::path& data) { Write(data / "Pingers.lst", list(1, 1, 0)); });
    const Times large = bench.run([&](const fs::path& data) { Write(data / "Pingers.lst", list(20, 4, 2)); });
    std::printf(
        "downloads: 20 pingers x 4 types at 0.3 s latency + 2 refusing hosts per type: %.2f s above one "
        "pinger of one type (%.2f s against %.2f s)\n",
        large.wall - small.wall, large.wall, small.wall);
}

void Feedback(Bench& bench) {
    // The same list either way: records of a type that is never chosen are
    // passed over without a word, those with a nick that cannot be a file
    // name give one feedback line each.
    auto list = [](const std::string& type) {
        std::string text;
        for (int i = 0; i < 100000; ++i) text += type + ",../skipped,http://127.0.0.1:1/x\r\n";
        return text;
    };
    const Times quiet = bench.run([&](const fs::path& data) { Write(data / "Pingers.lst", list("PGP-9")); });
    const Times lines = bench.run([&](const fs::path& data) { Write(data / "Pingers.lst", list("PGP-1")); });
    std::printf(
        "feedback: 100,000 feedback lines headless (run log and stdout): %.3f s above the same list "
        "giving none (%.2f s against %.2f s; processor time %.3f s above)\n",
        lines.wall - quiet.wall, lines.wall, quiet.wall, lines.cpu - quiet.cpu);
}

void Grid(Bench& bench) {
    const std::string refused = "http://127.0.0.1:" + std::to_string(RefusingPort());
    auto cached = [&](int pingers, int remailers) {
        return [=](const fs::path& data) {
            std::string list;
            std::mt19937 random(static_cast<unsigned>(pingers));
            for (int p = 0; p < pingers; ++p) {
                list += "MIX-1," + Nick(p) + "," + refused + "/" + Nick(p) + "\r\n";
                Write(data / StatsFileName("MIX-1", Nick(p)), Page(p, remailers, random));
            }
            Write(data / "Pingers.lst", list);
        };
    };
    const Times base = bench.run(cached(1, 1));
    Times previous{0, 0};
    for (const int pingers : {60, 120, 240}) {
        const Times t = bench.run(cached(pingers, 500));
        const Times above{t.wall - base.wall, t.cpu - base.cpu};
        std::printf(
            "grid: %d pingers x 500 remailers (%d grid rows) of one type from cached pages: %.3f s above "
            "1 x 1 (processor time %.3f s)",
            pingers, pingers * 500, above.wall, above.cpu);
        if (previous.wall > 0)
            std::printf(", %.2fx the half size (processor time %.2fx)", above.wall / previous.wall,
                        above.cpu / previous.cpu);
        std::printf("\n");
        previous = above;
    }
}

void BigPage(Bench& bench) {
    const std::string refused = "http://127.0.0.1:" + std::to_string(RefusingPort());
    std::string page = "Last update: Fri 30 Nov 2012 10:20:00 GMT\nremailer  email address  history\n---------\n";
    for (int i = 0; page.size() < (63u << 20); ++i) {
        char line[96];
        std::snprintf(line, sizeof line, "r%07d remailer@x%d.example                ++++++++++++  1:59:00 100.00%%\n",
                      i % 900000, i);
        page += line;
    }
    const double mebibytes = static_cast<double>(page.size()) / (1 << 20);
    const Times t = bench.run([&](const fs::path& data) {
        Write(data / "Pingers.lst", "PGP-1,big," + refused + "/rlist\r\n");
        Write(data / StatsFileName("PGP-1", "big"), page);
    });
    std::printf("bigpage: one cached LF-only page of %.0f MiB: %.0f MB peak (%.1fx the page), %.2f s\n", mebibytes,
                t.megabytes, t.megabytes / mebibytes, t.wall);
}

}  // namespace
}  // namespace parlux::bench

int main(int argc, char** argv) {
    using namespace parlux::bench;
    std::vector<std::string> which(argv + 1, argv + argc);
    if (which.empty()) which = {"downloads", "feedback", "grid"};
    Bench bench;
    for (const auto& name : which) {
        if (name == "downloads")
            Downloads(bench);
        else if (name == "feedback")
            Feedback(bench);
        else if (name == "grid")
            Grid(bench);
        else if (name == "bigpage")
            BigPage(bench);
        else
            std::fprintf(stderr, "unknown: %s\n", name.c_str());
        std::fflush(stdout);
    }
}
