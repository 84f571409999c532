// One stats type from cached pages through LOA_Stats ... PRT_Compil, at 60,
// 120 and 240 pingers × 500 remailers (30,000, 60,000 and 120,000 grid rows).
//   build/bin/pipeline_bench            (all sizes)
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/BenchPages.h"
#include "common/core/GmtOffset.h"
#include "common/core/Sinks.h"
#include "common/core/StatsTypes.h"
#include "common/core/Table.h"
#include "pulsegrid/StatsComparer.h"

namespace parlux {
namespace {

constexpr int kRemailers = 500;

class QuietFeedback final : public FeedbackSink {
public:
    void feedBack(std::string_view top, std::string_view detail, int) override {
        if (!top.empty()) top_ = top;
        if (!detail.empty()) detail_ = detail;
    }
    const std::string& top() const override { return top_; }
    const std::string& detail() const override { return detail_; }

private:
    std::string top_, detail_;
};

class NoMessages final : public MessageSink {
public:
    void critical(std::string_view) override {}
};

class NoLauncher final : public ProgramLauncher {
public:
    bool start(const std::string&, short) override { return true; }
};

std::filesystem::path PrepareFolder(int pingers) {
    auto folder = std::filesystem::temp_directory_path() / ("parlux-bench-" + std::to_string(pingers));
    std::filesystem::create_directories(folder);
    std::mt19937 random(pingers);
    for (int p = 0; p < pingers; ++p) {
        std::ofstream out(folder / StatsFileName("MIX-1", bench::Nick(p)), std::ios::binary | std::ios::trunc);
        out << bench::Page(p, kRemailers, random);
    }
    return folder;
}

void Pipeline(benchmark::State& state) {
    const int pingers = static_cast<int>(state.range(0));
    const auto folder = PrepareFolder(pingers);
    QuietFeedback feedback;
    NoMessages messages;
    NoLauncher launcher;
    InitGMTOffset();
    StatsWorkbench workbench(WorkbenchEnv{folder, folder, &feedback, &messages, &SystemClock(), &launcher});
    workbench.chooseType(1);
    Table& list = workbench.table(kPingersTable);
    list.create(kPingerColumnCount);
    for (int p = 0; p < pingers; ++p) {
        if (p) list.growRow();
        list.setText(kPingerNick, p, bench::Nick(p));
        list.setText(kPingerUrl, p, "http://" + bench::Nick(p) + ".example.org/mlist.html");
    }
    static const std::vector<std::string> steps = {"LOA_Stats", "LOA_Pingeds", "SRT_Pingeds", "EXP_Stats",
                                                   "REV_Stats", "SRT_Stats",   "PRT_Compil"};
    std::vector<double> seconds(steps.size());
    for (auto _ : state) {
        for (std::size_t i = 0; i < steps.size(); ++i) {
            const auto start = std::chrono::steady_clock::now();
            workbench.press(steps[i]);
            seconds[i] += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        }
    }
    state.counters["grid_rows"] = workbench.count(kMainTable);
    // Where the time goes, per run, in milliseconds.
    for (std::size_t i = 0; i < steps.size(); ++i)
        state.counters[steps[i]] = benchmark::Counter(seconds[i] * 1000.0 / static_cast<double>(state.iterations()));
    if (workbench.box("txt_PRT_Compil") != "True") state.SkipWithError("the pages were not written");
    std::filesystem::remove_all(folder);
}

BENCHMARK(Pipeline)->Arg(60)->Arg(120)->Arg(240)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace
}  // namespace parlux

BENCHMARK_MAIN();
