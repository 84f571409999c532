#pragma once
// What a run's pages showed for one type, pinger by pinger and remailer by
// remailer: each comparer fills one from its finished tables right after
// PRT_Compil (its RecordedRun procedure, beside the code that knows its
// columns), and whoever watches the pages (the history of runs) keeps it.
// No Qt, and nothing of any one comparer.
#include <climits>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/core/StatsTypes.h"

namespace parlux {

class WorkbenchCore;

// How a pinger's figures came to the run.
enum class PingerState : int {
    Downloaded = 0,  // fetched this run
    Cached = 1,      // not reached: the copy of an earlier run was compared
    Missing = 2,     // not reached and no earlier copy: no column on the pages
    Local = 3,       // read from files another program fetched (Flaggrid)
};

// What one pinger's pages showed for one remailer. Stats types fill latency
// and uptime; key types the key fields; Flaggrid caps.
struct Figure {
    std::string pinger;
    std::string remailer;
    std::optional<long> latencySeconds;   // none when the text holds no latency
    std::optional<double> uptimePercent;  // none when the text holds no uptime
    std::string keyId, keySize, keyDate, keyState;
    std::string caps;
};

// What one pinger's page showed for one remailer in a stats type, both by
// their places in RecordedRun::statsNames: the uptime in hundredths of a
// percent and the latency in seconds, kNoStatsFigure where the text holds
// none. A large grid is half a million of them: small, and no names of their
// own.
inline constexpr std::int32_t kNoStatsFigure = INT32_MIN;
struct StatsFigure {
    std::uint32_t pinger = 0, remailer = 0;
    std::int32_t hundredths = kNoStatsFigure, latency = kNoStatsFigure;
};

struct PingerSeen {
    std::string nick;
    PingerState state = PingerState::Downloaded;
    // The update time its page printed, "YYYY/MM/DD HH:NN:SS" (GMT), as the
    // comparison page prints it in the pinger's column; "" where the type's
    // pages carry none.
    std::string updated{};
};

// A chain of two remailers a pinger's stats page calls broken ("(alpha
// dizum)": mail from the first to the second does not come through; "*"
// stands for every remailer).
struct BrokenChain {
    std::string pinger;
    int chainType = 1;  // the page's "type-I" or "type-II" section
    std::string from, to;
};

struct RecordedRun {
    std::string program;  // "Pulsegrid"
    std::string type;     // "PGP-1", "K-RSA", or "0000" for Flaggrid's strings
    std::string gmt;      // "YYYY/MM/DD HH:NN:SS"
    std::vector<PingerSeen> pingers;
    std::vector<Figure> figures;
    // The remailers in the order of the type's pages.
    std::vector<std::string> remailerOrder;
    // The broken chains the pingers' pages list (stats types).
    std::vector<BrokenChain> brokenChains{};
    // A stats type's figures may come by places instead (a comparer's large
    // grid does), with the names they refer to.
    std::vector<std::string> statsNames{};
    std::vector<StatsFigure> statsFigures{};
};

// Flaggrid's pages carry "0000" where the others carry their type.
inline constexpr std::string_view kCapStringsType = "0000";

// The kind of figures a type holds.
enum class Kind { Stats, Keys, CapStrings };
inline Kind KindOf(std::string_view type) {
    if (type == kCapStringsType) return Kind::CapStrings;
    return IsKeyType(type) ? Kind::Keys : Kind::Stats;
}

// A run of the workbench's program and the given type, with the remailers in
// the order of its pages; the pingers and figures are the comparer's to add.
RecordedRun RunHeader(const WorkbenchCore& wb, std::string type);

// The pingers of a downloading comparer for the type: downloaded, or not
// reached with the copy of an earlier run (on the pages) or without one (no
// column).
std::vector<PingerSeen> DownloadedPingers(const WorkbenchCore& wb, const std::string& type);

}  // namespace parlux
