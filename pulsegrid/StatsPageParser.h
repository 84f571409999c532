#pragma once
// Reading one pinger's stats page (LOA_Stats): where its update time and its
// stats table are, and the parts of a stats line.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "workbench/RecordedRun.h"

namespace parlux {

// The update time of a page ("Last update: " or "Generated: ", 28
// characters), and the line its stats table starts on (three lines below).
struct StatsPageHead {
    std::string stamp;
    std::size_t tableStart;
};
// The first such line of the page; nothing on a page without one.
std::optional<StatsPageHead> FindStatsPageHead(const std::vector<std::string_view>& lines);

// The remailer's name of a stats line: its first kRemailerNameWidth
// characters, trailing blanks dropped.
std::string_view StatsLineName(std::string_view line);
// The stats text after the name: from the tenth character in a version-1 list,
// from the fourteenth in a version-2 one; "" for a shorter line.
std::string_view StatsLineText(std::string_view line, bool version2);
// Names that are no remailer of the comparison (the nym servers).
bool IsSkippedStatsName(std::string_view name);

// The pairs of a page's "Broken type-I remailer chains:" and "Broken type-II
// remailer chains:" sections, "(alpha dizum)" a line, added to out as the
// pinger's; at most kMostBrokenChains of a page, what is no pair passed over.
inline constexpr std::size_t kMostBrokenChains = 2000;
void ReadBrokenChains(const std::vector<std::string_view>& lines, const std::string& nick,
                      std::vector<BrokenChain>& out);

}  // namespace parlux
