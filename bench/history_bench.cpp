// The history of runs at the size of a long-kept site: 400 nights x 4 stats
// types x 20 pingers x 100 remailers (3.2 million pinger x remailer figures).
// Set against its bars:
//   recording one night of one type             30 ms
//   one Trend_<type>.html                        300 ms
//   the changes report (Changes.txt and .html)   100 ms
//   all of a night's pages (Changes, Remailers.html,
//   Pingers_Health.html, 100 Remailer_<name>.html) 2 s
//   the database                                 75 MB
// the whole unattended Pulsegrid run on the bundled sample, served on
// loopback, with history on against off: no more than 5 % slower; and one
// type from cached pages, history on against off, on the same nights:
//   240 pingers x 2,000 remailers                1.5 times the run without
//   60 x 500, above start-up                     0.3 s
//   build/bin/history_bench [size|sample|grid|recorder ...]   (all but the last by default)
#include <sys/stat.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "bench/BenchPages.h"
#include "bench/FullAutoRun.h"
#include "common/core/DataFolder.h"
#include "common/core/DateTime.h"
#include "common/core/PageShelf.h"
#include "common/core/SiteConfig.h"
#include "common/core/StatsTypes.h"
#include "common/core/TextLines.h"
#include "history/ChangesReport.h"
#include "history/ConsensusPages.h"
#include "history/HistoryDb.h"
#include "history/HistoryPages.h"
#include "history/NightRecorder.h"
#include "history/RemailerPage.h"
#include "history/TrendPage.h"
#include "tools/demo/DemoSetup.h"
#include "tools/demo/SampleServer.h"

namespace parlux::bench {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kNights = 400, kPingers = 20, kRemailers = 100, kRepeats = 5;
const char* const kTypes[] = {"PGP-1", "MIX-1", "PGP-2", "MIX-2"};

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

// Processor time of this process so far, in seconds.
double CpuSeconds() {
    timespec t{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

void Bar(const char* what, double value, double bar, const char* unit) {
    std::printf("%-46s %9.1f %-2s  (bar %g %s)  %s\n", what, value, unit, bar, unit, value <= bar ? "ok" : "OVER");
    std::fflush(stdout);
}

// One night of one type: the figures a pinger prints.
class Nights {
public:
    history::Run run(int night, const std::string& type) {
        history::Run r;
        r.program = "Pulsegrid";
        r.type = type;
        r.gmt = FormatStamp(Night(night));
        const bool v1 = IsVersion1(type);
        for (int p = 0; p < kPingers; ++p) {
            const std::string nick = "pinger" + std::to_string(p);
            // One pinger's page stopped updating a month in; another's clock runs ahead.
            const DateTime updated =
                p == 3 && night > 30 ? Night(30) : Night(night) - std::chrono::hours(p == 5 ? -3 : 1);
            r.pingers.push_back(
                {nick, p == 7 && night % 9 == 0 ? history::PingerState::Cached : history::PingerState::Downloaded,
                 FormatStamp(updated)});
            for (int c = 0; c < 3; ++c)
                r.brokenChains.push_back({nick, 1 + c % 2, "remailer" + std::to_string((night + c * 7) % kRemailers),
                                          "remailer" + std::to_string((p + c) % kRemailers)});
            for (int m = 0; m < kRemailers; ++m) {
                history::Figure f;
                f.pinger = nick;
                f.remailer = "remailer" + std::to_string(m);
                // Most stay near the top; some slide, some swing from night to night.
                double uptime = 100.0 - (m % 10 == 3 ? (night % 50) : 0) - static_cast<double>(random_() % 40) / 10.0;
                if (m % 17 == 5 && (night + p) % 3 == 0) uptime -= 35.0;
                uptime = std::max(0.0, uptime);
                const long latency = 60 + static_cast<long>(random_() % 3000);
                f.uptimePercent = v1 ? static_cast<double>(static_cast<long>(uptime * 100)) / 100.0
                                     : static_cast<double>(static_cast<long>(uptime * 10)) / 10.0;
                f.latencySeconds = latency;
                r.figures.push_back(std::move(f));
                r.remailerOrder.push_back(r.figures.back().remailer);
            }
        }
        std::sort(r.remailerOrder.begin(), r.remailerOrder.end());
        r.remailerOrder.erase(std::unique(r.remailerOrder.begin(), r.remailerOrder.end()), r.remailerOrder.end());
        return r;
    }

    static DateTime Night(int night) { return MakeDateTime(2025, 11, 1, 3, 15) + std::chrono::days(night); }

private:
    std::mt19937 random_{2026};
};

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void SizeBench(const fs::path& root) {
    const fs::path data = root / "size";
    fs::create_directories(data);
    Nights nights;
    const auto generating = Clock::now();
    {
        history::HistoryDb db(data / "Parlux.sqlite");
        for (int night = 0; night < kNights; ++night) {
            std::vector<history::Run> runs;
            for (const char* type : kTypes) runs.push_back(nights.run(night, type));
            db.record(runs, 0);  // one transaction per night
        }
    }
    std::printf("history of %d nights x 4 types x %d pingers x %d remailers generated in %.1f s\n", kNights, kPingers,
                kRemailers, Seconds(generating));

    // The nights after, one type at a time, as the comparers record them:
    // a program keeps its connection from one type to the next, and its
    // closing folds the log back into the file once, at the end.
    std::vector<double> record, trend, changes, consensus, recordCpu, closing;
    int night = kNights;
    for (int repeat = 0; repeat < kRepeats; ++repeat, ++night) {
        auto db = std::make_unique<history::HistoryDb>(data / "Parlux.sqlite");
        for (const char* type : kTypes) {
            history::Run run = nights.run(night, type);
            const DateTime gmt = Nights::Night(night);
            auto start = Clock::now();
            const double cpu = CpuSeconds();
            db->record(run, kNights);
            record.push_back(Seconds(start) * 1000.0);
            recordCpu.push_back((CpuSeconds() - cpu) * 1000.0);

            start = Clock::now();
            const std::string stamp = FormatStamp(gmt);
            history::PageSource source(*db, run, stamp);
            WriteFileAtomically(data / history::PageKind("Trend_<type>.html")->fileName(type),
                                history::TrendPageOf(source));
            trend.push_back(Seconds(start) * 1000.0);

            start = Clock::now();
            {
                const history::HistoryDb::Snapshot snapshot(*db);
                const auto lines = history::ChangeLines(*db);
                WriteFileAtomically(data / "Changes.txt", history::ChangesText(lines));
                WriteFileAtomically(data / "Changes.html", history::ChangesPage(lines, stamp));
            }
            changes.push_back(Seconds(start) * 1000.0);

            start = Clock::now();
            {
                PageShelf shelf(data);
                const history::HistoryDb::Snapshot snapshot(*db);
                history::PageSource night(*db, run, stamp);
                history::EachNightPage(night, [&shelf](const std::string& name, const std::string& content) {
                    shelf.replace(name, content);
                });
            }
            consensus.push_back(Seconds(start) * 1000.0);
        }
        const auto start = Clock::now();
        db.reset();
        closing.push_back(Seconds(start) * 1000.0);
    }
    std::size_t figures = 0;
    {
        history::HistoryDb db(data / "Parlux.sqlite");
        for (const std::string& type : db.types())
            for (const std::int64_t id : db.lastRuns(type, 1000)) figures += db.load(id).figures.size();
    }  // the last one out folds the log back into the file
    std::printf("figures kept: %zu; Changes.txt: %ju bytes; Trend_MIX-2.html: %ju bytes; medians of %zu runs\n",
                figures, static_cast<std::uintmax_t>(fs::file_size(data / "Changes.txt")),
                static_cast<std::uintmax_t>(fs::file_size(data / "Trend_MIX-2.html")), record.size());
    Bar("recording one night of one type", Median(record), 30, "ms");
    std::printf("%-46s %9.1f ms\n", "  of which processor time", Median(recordCpu));
    std::printf("%-46s %9.1f ms\n", "  the file closed after a program's four types", Median(closing));
    Bar("one Trend_<type>.html", Median(trend), 300, "ms");
    Bar("the changes report", Median(changes), 100, "ms");
    Bar("all of a night's pages (100 Remailer_<name>)", Median(consensus), 2000, "ms");
    std::uintmax_t bytes = 0;
    for (const char* suffix : {"", "-wal", "-shm"}) {
        std::error_code ec;
        const auto size = fs::file_size(data / (std::string("Parlux.sqlite") + suffix), ec);
        if (!ec) bytes += size;
    }
    Bar("the database", static_cast<double>(bytes) / 1e6, 75, "MB");
}

// Pulsegrid FULL_AUTO on the bundled sample, fastest of a few runs a side,
// the sides taken in turn.
void SampleBench(const fs::path& root) {
    const fs::path sample = fs::path(PARLUX_SAMPLE_DIR);
    demo::SampleServer server(sample / "www");
    server.start();
    const int down = demo::ClosedLoopbackPort();
    // A program folder of its own: no Flaggrid beside it to start.
    fs::create_directories(root / "program");
    fs::create_directories(root / "private");
    fs::permissions(root / "private", fs::perms::owner_all);
    fs::copy_file(ProgramFolder() / "Pulsegrid", root / "program" / "Pulsegrid", fs::copy_options::skip_existing);
    const fs::path on = root / "on", off = root / "off";
    demo::PrepareDataFolder(sample / "data", on, server.port(), down);
    demo::PrepareDataFolder(sample / "data", off, server.port(), down);
    WriteFileAtomically(off / "Parlux.conf", "history = off\n");
    double best[2] = {1e9, 1e9};
    for (int repeat = 0; repeat < kRepeats + 1; ++repeat) {
        for (int side = 0; side < 2; ++side) {
            const fs::path& data = side == 0 ? on : off;
            const FullAutoRun run =
                RunFullAuto(root / "program" / "Pulsegrid", data, root / "private", root / "out.txt", root / "err.txt");
            if (repeat > 0) best[side] = std::min(best[side], run.wall);  // the first warms the caches
        }
    }
    std::error_code ec;
    std::printf("Pulsegrid FULL_AUTO on the sample: %.3f s with history, %.3f s without (%s)\n", best[0], best[1],
                fs::exists(on / "Parlux.sqlite", ec) && !fs::exists(off / "Parlux.sqlite", ec)
                    ? "recorded with it only"
                    : "UNEXPECTED: the history file is not where it should be");
    Bar("history on against off, slower by", (best[0] / best[1] - 1.0) * 100.0, 5, "%");
}

// Pulsegrid FULL_AUTO on one type from cached pages: a data folder of
// pingers x remailers, its lists unreachable.
fs::path CachedGrid(const fs::path& folder, int pingers, int remailers, bool history) {
    fs::create_directories(folder);
    const std::string refused = "http://127.0.0.1:" + std::to_string(RefusingPort());
    std::string list;
    std::mt19937 random(static_cast<unsigned>(pingers));
    for (int p = 0; p < pingers; ++p) {
        list += "MIX-1," + Nick(p) + "," + refused + "/" + Nick(p) + "\r\n";
        WriteFileAtomically(folder / StatsFileName("MIX-1", Nick(p)), Page(p, remailers, random));
    }
    WriteFileAtomically(folder / "Pingers.lst", list);
    if (!history) WriteFileAtomically(folder / "Parlux.conf", "history = off\n");
    return folder;
}

// The fastest of the runs of each side, and the least processor time, the
// sides taken in turn; with history on the nights follow one another on one
// folder, as they do on a site, after enough nights to fill the trend pages'
// window: a site's usual night, not a young history's.
struct Sides {
    double on = 1e9, off = 1e9, onCpu = 1e9, offCpu = 1e9;
};

Sides OnAndOff(const fs::path& root, int pingers, int remailers, int runs) {
    const std::string size = std::to_string(pingers) + "x" + std::to_string(remailers);
    const fs::path on = CachedGrid(root / ("on-" + size), pingers, remailers, true);
    const fs::path off = CachedGrid(root / ("off-" + size), pingers, remailers, false);
    for (int night = runs; night < history::kTrendRuns; ++night)
        RunFullAuto(root / "program" / "Pulsegrid", on, root / "private", root / "out.txt", root / "err.txt");
    Sides best;
    for (int repeat = 0; repeat < runs; ++repeat) {
        for (int side = 0; side < 2; ++side) {
            const FullAutoRun run = RunFullAuto(root / "program" / "Pulsegrid", side == 0 ? on : off, root / "private",
                                                root / "out.txt", root / "err.txt");
            // Pingers not reached end a run with 1: their cached copies are the point.
            if (run.status < 0) std::fprintf(stderr, "history_bench: a %s run did not end normally\n", size.c_str());
            double& wall = side == 0 ? best.on : best.off;
            double& cpu = side == 0 ? best.onCpu : best.offCpu;
            wall = std::min(wall, run.wall);
            cpu = std::min(cpu, run.cpu);
        }
    }
    return best;
}

void GridBench(const fs::path& root) {
    fs::create_directories(root / "program");
    fs::create_directories(root / "private");
    fs::permissions(root / "private", fs::perms::owner_all);
    fs::copy_file(ProgramFolder() / "Pulsegrid", root / "program" / "Pulsegrid", fs::copy_options::skip_existing);
    const Sides start = OnAndOff(root, 1, 1, kRepeats);
    const Sides small = OnAndOff(root, 60, 500, kRepeats);
    std::printf("one type at 60 x 500 from cached pages: %.3f s with history, %.3f s without, above start-up\n",
                small.on - start.on, small.off - start.off);
    Bar("60 x 500 with history, above start-up", small.on - start.on, 0.3, "s");
    const Sides large = OnAndOff(root, 240, 2000, 3);
    std::printf("one type at 240 x 2,000 from cached pages: %.2f s with history, %.2f s without, above start-up\n",
                large.on - start.on, large.off - start.off);
    Bar("240 x 2,000 with history against without", (large.on - start.on) / (large.off - start.off), 1.5, "x");
    // The history's pages and its reading use a second core where there is
    // one: the processor time is told beside the time waited.
    std::printf("  processor time: %.2f s with history, %.2f s without, above start-up (%.2fx)\n",
                large.onCpu - start.onCpu, large.offCpu - start.offCpu,
                (large.onCpu - start.onCpu) / (large.offCpu - start.offCpu));
}

// The history's own part of a night at 240 x 2,000 (recording the run and
// writing its pages), without the comparer around it: where the time of the
// grid's history goes.
void RecorderBench(const fs::path& root) {
    const fs::path data = root / "recorder";
    fs::create_directories(data);
    history::NightRecorder recorder(data, [](const std::string& line) { std::fprintf(stderr, "%s\n", line.c_str()); });
    std::mt19937 random(240);
    std::vector<double> nights, record, trend, changes, consensus, remailers;
    for (int night = 0; night < kRepeats * 2; ++night) {
        history::Run run;
        run.program = "Pulsegrid";
        run.type = "MIX-1";
        for (int p = 0; p < 240; ++p) {
            run.pingers.push_back({Nick(p), history::PingerState::Cached});
            for (int m = 0; m < 2000; ++m) {
                history::Figure& f = run.figures.emplace_back();
                f.pinger = Nick(p);
                f.remailer = "remailer" + std::to_string(m);
                // As cached pages show them: much the same from one night to the next.
                f.uptimePercent = 90.0 + static_cast<double>(random() % 1000) / 100.0;
                f.latencySeconds = static_cast<long>(random() % 3000);
            }
        }
        if (night < kRepeats) {
            const auto start = Clock::now();
            recorder.recordRun(std::move(run), Nights::Night(night), 0);
            nights.push_back(Seconds(start));
            continue;
        }
        // The same steps one at a time, on a connection of their own.
        history::HistoryDb db(data / "Parlux.sqlite");
        run.gmt = FormatStamp(Nights::Night(night));
        auto start = Clock::now();
        db.record(run, 0);
        record.push_back(Seconds(start));
        history::PageSource source(db, run, run.gmt);
        start = Clock::now();
        history::TrendPageOf(source);
        trend.push_back(Seconds(start));
        start = Clock::now();
        history::ChangesPageOf(source);
        changes.push_back(Seconds(start));
        start = Clock::now();
        history::RemailersPageOf(source);
        history::PingersHealthPageOf(source);
        consensus.push_back(Seconds(start));
        start = Clock::now();
        for (const history::RemailerSeen& remailer : source.consensus().seen) {
            source.setRemailer(remailer.name);
            history::RemailerPageOf(source);
        }
        remailers.push_back(Seconds(start));
    }
    std::printf("%-46s %9.2f s\n", "the history of a night at 240 x 2,000", Median(nights));
    std::printf("%-46s %9.2f s\n", "  of which recording the run", Median(record));
    std::printf("%-46s %9.2f s\n", "  the trend page", Median(trend));
    std::printf("%-46s %9.2f s\n", "  the changes report", Median(changes));
    std::printf("%-46s %9.2f s\n", "  Remailers.html and Pingers_Health.html", Median(consensus));
    std::printf("%-46s %9.2f s\n", "  the 2,000 Remailer_<name>.html", Median(remailers));
}

}  // namespace
}  // namespace parlux::bench

int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    std::vector<std::string> asked(argv + 1, argv + argc);
    if (asked.empty()) asked = {"size", "sample", "grid"};
    const fs::path root = fs::temp_directory_path() / ("parlux-history-bench-" + std::to_string(::getpid()));
    fs::create_directories(root);
    for (const auto& what : asked) {
        if (what == "size")
            parlux::bench::SizeBench(root);
        else if (what == "sample")
            parlux::bench::SampleBench(root);
        else if (what == "grid")
            parlux::bench::GridBench(root);
        else if (what == "recorder")
            parlux::bench::RecorderBench(root);
        else
            std::fprintf(stderr, "history_bench: unknown part %s (size, sample, grid, recorder)\n", what.c_str());
    }
    std::error_code ec;
    // PARLUX_BENCH_KEEP leaves the folders for a profiler to run the programs on again.
    if (std::getenv("PARLUX_BENCH_KEEP"))
        std::printf("kept %s\n", root.c_str());
    else
        fs::remove_all(root, ec);
    return 0;
}
