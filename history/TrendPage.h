#pragma once
// Trend_<type>.html: for each remailer of a stats type, in the order of its
// Comp_DS_ page, the uptime every pinger gave it over the last runs as an
// inline SVG chart (one line per pinger, a gap where a pinger gave no
// figure), tonight's median across pingers and the spread between the
// highest and the lowest, marked when wide. No script, no external file.
#include <string>
#include <vector>

#include "history/HistoryDb.h"
#include "history/PageSource.h"

namespace parlux::history {

// The runs a chart spans, and the spread that is marked.
inline constexpr int kTrendRuns = 30;
inline constexpr double kWideSpreadPoints = 10.0;

struct TrendInput {
    std::string type;
    std::string stamp;                   // "YYYY/MM/DD HH:NN:SS" (GMT)
    std::vector<std::string> remailers;  // in the order of the type's pages
    std::vector<std::string> runGmts;    // the runs charted, oldest first; the last is tonight's
    std::vector<UptimePoint> points;
};

std::string TrendPage(const TrendInput& in);
// The page of the run's type, charted from its last kTrendRuns runs.
std::string TrendPageOf(PageSource& source);

}  // namespace parlux::history
