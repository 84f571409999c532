#pragma once
// The pages the history writes into the data folder, as Gridhub's View menu
// lists them: the trend page of each stats type, then the changes report.
#include <string>
#include <vector>

#include "common/core/StatsTypes.h"

namespace parlux::history {

inline std::vector<std::string> HistoryPageNames() {
    std::vector<std::string> names;
    for (const auto& type : kStatsTypes)
        if (!type.keys) names.push_back("Trend_" + std::string(type.code) + ".html");
    names.emplace_back("Changes.html");
    return names;
}

}  // namespace parlux::history
