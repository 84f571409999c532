#pragma once
// Remailers.html and Pingers_Health.html: what the pingers agree on tonight,
// remailer by remailer, and how each pinger stands against the others.
//   Remailers.html: a row per remailer of the history's days (its name links
//   to its own page): per stats type the median uptime and latency of the
//   fresh figures, "n of m" pingers (a "*" where the fresh uptimes spread by
//   more than kSpreadPoints) and the median uptime's change over the last
//   kNightsBack runs; per key type "keys agree" or the pingers' key IDs; the
//   broken chains it is in tonight; the date it was first seen, and "gone
//   since <date>" when no pinger lists it tonight.
//   Pingers_Health.html: a row per pinger of tonight's runs: per type its
//   last run reached, its page's update time and its freshness; the median of
//   its uptimes' differences from the consensus over the last runs; the
//   remailers for which only it publishes its key ID.
#include <string>

#include "history/Consensus.h"
#include "history/PageSource.h"

namespace parlux::history {

std::string RemailersPage(const Consensus& consensus, const std::string& stamp);
std::string PingersHealthPage(const Consensus& consensus, const std::string& stamp);
inline std::string RemailersPageOf(PageSource& source) { return RemailersPage(source.consensus(), source.stamp()); }
inline std::string PingersHealthPageOf(PageSource& source) {
    return PingersHealthPage(source.consensus(), source.stamp());
}

}  // namespace parlux::history
