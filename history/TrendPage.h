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

#include "history/HistoryDb.h"
#include "history/PageSource.h"
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
    // The pingers with a figure in those runs, in the order of their names,
    // and the block of each one's figures.
    std::vector<std::string> pingers;
    std::vector<std::size_t> block;
    // A block of uptimes (hundredths of a percent) and one of latencies
    // (seconds) per pinger, at block x remailers x runs: remailer by remailer
    // (as above) and run by run, kNoFigure where none. One flat array each: a
    // large grid charts millions of them.
    std::vector<std::int32_t> uptimes, latencies;
    // At block x runs, run by run: nonzero where the pinger was not reached
    // and its figures came from a cached copy.
    std::vector<std::uint8_t> cached;
};

std::string TrendPage(const TrendInput& in);
// The page of the run's type, charted from its last kTrendRuns runs.
std::string TrendPageOf(PageSource& source);

}  // namespace parlux::history
