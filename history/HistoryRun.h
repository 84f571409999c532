#pragma once
// One recorded run of a comparer: what its pages showed for one type, pinger
// by pinger and remailer by remailer. Filled from the finished grid right
// after PRT_Compil, kept in Parlux.sqlite, and read back by the trend pages
// and the changes report. No Qt, no database here.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/core/StatsTypes.h"

namespace parlux::history {

// How a pinger's figures came to the run.
enum class PingerState : int {
    Downloaded = 0,  // fetched this run
    Cached = 1,      // not reached: the copy of an earlier run was compared
    Missing = 2,     // not reached and no earlier copy: no column on the pages
    Local = 3,       // read from files another program fetched (Flaggrid)
};

// What one pinger's pages showed for one remailer. Stats types fill raw,
// latency and uptime; key types the key fields; Flaggrid caps.
struct Figure {
    std::string pinger;
    std::string remailer;
    std::string raw;                      // the stats text as the pinger printed it
    std::optional<long> latencySeconds;   // none when the text holds no latency
    std::optional<double> uptimePercent;  // none when the text holds no uptime
    std::string keyId, keySize, keyDate, keyState;
    std::string caps;
};

struct PingerSeen {
    std::string nick;
    PingerState state = PingerState::Downloaded;
};

struct Run {
    std::string program;  // "Pulsegrid"
    std::string type;     // "PGP-1", "K-RSA", or "0000" for Flaggrid's strings
    std::string gmt;      // "YYYY/MM/DD HH:NN:SS"
    std::vector<PingerSeen> pingers;
    std::vector<Figure> figures;
    // The remailers in the order of the type's pages.
    std::vector<std::string> remailerOrder;
};

// Flaggrid's pages carry "0000" where the others carry their type.
inline constexpr std::string_view kCapStringsType = "0000";

// The kind of figures a type holds.
enum class Kind { Stats, Keys, CapStrings };
inline Kind KindOf(std::string_view type) {
    if (type == kCapStringsType) return Kind::CapStrings;
    return IsKeyType(type) ? Kind::Keys : Kind::Stats;
}

// The latency and uptime printed in a stats text: version 1 ends in
// "[[h:]m]m:ss uu.uu%", version 2 holds "h:mm" at characters 15-19 and
// "uuu.u%" at 37-42. Nothing where the text holds no such figure.
std::optional<long> ParseLatency(std::string_view text, bool version1);
std::optional<double> ParseUptime(std::string_view text, bool version1);

// A percentage as the change lines and the trend page print it: up to two
// decimals, trailing zeros dropped ("100", "99.6", "48.33").
std::string FormatPercent(double value);

}  // namespace parlux::history
