#pragma once
// What the pingers agree on tonight: whether each pinger's figures of a type
// are fresh, and per remailer the median of the fresh figures, how many
// pingers gave one, whether their keys agree, and what the history saw of it
// before. Read once from the history for every page made from it. No Qt.
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "history/HistoryDb.h"

namespace parlux::history {

// Fresh figures count in a consensus; stale ones (a cached copy, a page that
// stopped updating) and those ahead of the run's clock are shown, marked.
enum class Freshness { Fresh, Stale, Ahead };
std::string_view FreshnessWord(Freshness freshness);  // "fresh", "stale", "ahead"

// A page more than this much older than the type's newest is stale; one more
// than kAheadSlack after the run's GMT time is ahead.
inline constexpr int kStaleAfterHours = 24;
inline constexpr int kAheadSlackHours = 1;
// Fresh uptimes further apart than this many points are marked.
inline constexpr double kSpreadPoints = 10.0;
// The runs of a type the change and the strays look back over.
inline constexpr int kNightsBack = 7;

// The freshness of each pinger of the run, by nick, from its page update
// times (types whose pages print none, and runs recorded without them: fresh
// when reached).
std::map<std::string, Freshness> FreshnessOf(const StoredRun& run, const std::map<std::string, std::string>& updated);

// The fresh figures of one remailer in one stats run.
struct StatsConsensus {
    std::optional<double> uptime;  // the median of the fresh uptimes
    std::optional<long> latency;   // the median of the fresh latencies, seconds
    int fresh = 0, listed = 0;     // pingers with a fresh uptime, pingers listing it
    bool spread = false;           // fresh uptimes further apart than kSpreadPoints
};

// One recorded run read for the consensus.
struct ConsensusRun {
    // Its id, type, time and pingers; the figures of key and capability
    // runs only (the stats figures are the source's recent runs).
    StoredRun run;
    std::map<std::string, std::string> updated;       // nick -> page update time
    std::map<std::string, Freshness> freshness;       // nick -> freshness
    std::map<std::string, StatsConsensus> remailers;  // stats types: remailer -> consensus
    // Stats types: nick -> its uptimes less the remailers' median uptimes.
    std::map<std::string, std::vector<double>> strays;
};

// A type's last runs, oldest first (stats types: kNightsBack + 1 of them, the
// others only tonight's).
struct TypeRuns {
    std::string type;
    std::vector<ConsensusRun> runs;
    std::map<std::string, std::string> lastReached;  // nick -> the last run that downloaded it
    const ConsensusRun& tonight() const { return runs.back(); }
};

struct Consensus {
    std::vector<TypeRuns> types;  // in the suite's order
    std::vector<RemailerSeen> seen;
    // remailer -> "gone since" time: the first run after its last listing,
    // for those no type's last run lists.
    std::map<std::string, std::string> goneSince;
    std::vector<BrokenChain> brokenChains;  // tonight's, of every stats type
};
class PageSource;
Consensus ReadConsensus(PageSource& source);

std::optional<double> Median(std::vector<double> values);
// The pingers' key IDs in a key run: remailer -> nick -> key ID.
using KeyIdsByRemailer = std::map<std::string, std::map<std::string, std::string>>;
KeyIdsByRemailer KeyIds(const StoredRun& run);
// A latency as the type's pages print it: "1:47:01", "4:05" in version-1
// lists, "1:05", ":28" in version-2 ones.
std::string LatencyText(long seconds, bool version1);
// "Remailer_" + the name, each character outside A-Z a-z 0-9 . _ - as %XX, + ".html";
// a name too long for a file name cut, "~" and a hash of it in 16 hex digits.
std::string RemailerPageName(std::string_view name);

}  // namespace parlux::history
