#pragma once
// Remailer_<name>.html: one remailer's story, a page for each remailer of
// Remailers.html (its index), rewritten after every run:
//   its genealogy line (first seen, listed tonight or gone since when);
//   per stats type each pinger's uptime and latency tonight and whether they
//   are fresh, stale or ahead, the medians of the fresh ones, and two charts
//   of the type's last kTrendRuns runs, uptime and latency, a line per pinger;
//   per key type each pinger's key ID and the night it took it, and how many
//   pingers hold each ID when they differ;
//   each pinger's capability string and the night it took it;
//   the broken chains it is in tonight, either end, with the pingers that
//   report each.
// Every pinger-supplied text escaped, no script, nothing fetched.
#include <functional>
#include <string>

#include "common/core/InParallel.h"
#include "history/PageSource.h"

namespace parlux::history {

// The page of source.remailer(); the history's runs are read once, by the
// first remailer's page of a PageSource.
std::string RemailerPageOf(PageSource& source);
// The page of every remailer of Remailers.html, made on up to `threads`
// threads and handed over by file name, in no set order, by each thread as
// it makes them: take is called by several at once.
void EachRemailerPage(PageSource& source, const std::function<void(std::string, std::string)>& take,
                      unsigned threads = WorkerThreads());

}  // namespace parlux::history
