#pragma once
// The eight stats types: their codes, the suffixes of the downloaded files and
// the captions of the type choice.
#include <array>
#include <string>
#include <string_view>

namespace parlux {

struct StatsTypeInfo {
    std::string_view code;     // "PGP-1"
    std::string_view suffix;   // "_rlist.shtml"
    std::string_view caption;  // "V1 Cpunk"
};
extern const std::array<StatsTypeInfo, 8> kStatsTypes;

// nick + the suffix of the code; "" for an unknown code (case-sensitive).
std::string StatsFileName(std::string_view code, std::string_view nick);

// The generation of a stats type's page format: its last character.
inline bool IsVersion1(std::string_view type) { return !type.empty() && type.back() == '1'; }
inline bool IsVersion2(std::string_view type) { return !type.empty() && type.back() == '2'; }

}  // namespace parlux
