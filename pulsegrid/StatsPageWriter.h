#pragma once
// The comparison pages of one stats type, written from the finished grid.
#include <string>
#include <string_view>

#include "common/core/Table.h"

namespace parlux {

// The pages, from the finished grid (cells found by pinger and remailer).
struct StatsPageInput {
    const Table& pingers;
    const Table& pingeds;
    const Table& stats;
    std::string type;   // "PGP-1" ...
    std::string stamp;  // "YYYY/MM/DD HH:NN:SS" (GMT)
};
std::string DirectTextPage(const StatsPageInput& in);
std::string ReverseTextPage(const StatsPageInput& in);
std::string ReverseCapsPage(const StatsPageInput& in);  // version 2 only
std::string DirectWebPage(const StatsPageInput& in);

}  // namespace parlux
