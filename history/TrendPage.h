#pragma once
// Trend_<type>.html: for each remailer of a stats type, in the order of its
// Comp_DS_ page, the uptime every pinger gave it over the last runs as an
// inline SVG chart (one line per pinger, a gap where a pinger gave no
// figure), tonight's median across pingers and the spread between the
// highest and the lowest, marked when wide. No script, no external file.
#include <climits>
#include <cstdint>
#include <string>
#include <vector>

#include "history/HistoryDb.h"
#include "history/PageSource.h"

namespace parlux::history {

// The runs a chart spans, and the spread that is marked.
inline constexpr int kTrendRuns = 30;
inline constexpr double kWideSpreadPoints = 10.0;

// A pinger's uptime of a run that gave none.
inline constexpr std::int32_t kNoUptime = INT32_MIN;

struct TrendInput {
    std::string type;
    std::string stamp;                   // "YYYY/MM/DD HH:NN:SS" (GMT)
    std::vector<std::string> remailers;  // in the order of the type's pages
    std::vector<std::string> runGmts;    // the runs charted, oldest first; the last is tonight's
    // The pingers with a figure in those runs, in the order of their names,
    // and where each one's figures begin in uptimes.
    std::vector<std::string> pingers;
    std::vector<std::size_t> firstUptime;
    // From a pinger's first: remailer by remailer (as above) and run by run,
    // the uptime in hundredths of a percent or kNoUptime. One flat block: a
    // large grid charts millions of them.
    std::vector<std::int32_t> uptimes;
};

std::string TrendPage(const TrendInput& in);
// The page of the run's type, charted from its last kTrendRuns runs.
std::string TrendPageOf(PageSource& source);

}  // namespace parlux::history
