#pragma once
// Trend_<type>.html: for each remailer of a stats type, in the order of its
// Comp_DS_ page, the uptime and the latency every pinger gave it over the
// last runs as two inline SVG charts (TrendChart), tonight's median across
// the pingers reached and the spread between the highest and the lowest,
// marked when wide, and the pingers whose figures tonight came from a cached
// copy. No script, no external file.
#include <cstdint>
#include <string>
#include <vector>

#include "common/core/InParallel.h"
#include "history/HistoryDb.h"
#include "history/PageSource.h"
#include "history/RecentRuns.h"
#include "history/TrendChart.h"

namespace parlux::history {

// The runs a chart spans, and the spread that is marked.
inline constexpr int kTrendRuns = 30;
inline constexpr double kWideSpreadPoints = 10.0;

struct TrendInput {
    std::string type;
    std::string stamp;                   // "YYYY/MM/DD HH:NN:SS" (GMT)
    std::vector<std::string> remailers;  // in the order of the type's pages
    std::vector<std::string> runGmts;    // the runs charted, oldest first; the last is tonight's
    // The pingers with a figure in those runs, in the order of their names.
    std::vector<std::string> pingers;
    // The figures: the runs charted are recent's from `first` on. A large
    // grid charts millions of them, read where they are.
    const RecentRuns* recent = nullptr;
    std::size_t first = 0;
    std::vector<std::uint32_t> styleOf;      // by nick (recent's places): its place in pingers
    std::vector<std::uint32_t> rowRemailer;  // by row: the remailer's place in recent, kNotRecorded for none
    static constexpr std::uint32_t kNotRecorded = UINT32_MAX;
};

// The page, its rows made on up to `threads` threads.
std::string TrendPage(const TrendInput& in, unsigned threads = WorkerThreads());
// The page of the run's type, charted from its last kTrendRuns runs.
std::string TrendPageOf(PageSource& source);

}  // namespace parlux::history
