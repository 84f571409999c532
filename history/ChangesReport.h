#pragma once
// Changes.txt and Changes.html: the last seven recorded nights, newest first,
// each "Night of YYYY/MM/DD GMT" (the GMT date of a pair's newer run) holding,
// for every type, what changed between two consecutive recorded runs (of the
// last kPairsKept of each type), one change a line, fields two blanks apart:
//   <type>  <pinger>  <remailer>  appeared | vanished
//   <type>  <pinger>  <remailer>  uptime <old>% -> <new>%   (20 points or more)
//   <type>  <pinger>  not reached  <n> runs   ("1 run")
//   <type>  <pinger>  reached again after <n> runs
//   <type>  <pinger>  <remailer>  key <old ID> -> <new ID>
//   <type>  <remailer>  keys differ  <pinger>=<ID>  <pinger>=<ID> ...
//   <type>  <pinger>  <remailer>  capabilities changed   (then old and new, indented by four)
// Each type's section is headed by the type and the two runs' GMT times; a
// type with nothing to say is one line ("PGP-1  no change"), the capability
// strings' heads say "capability strings" instead of their code.
#include <cstdint>
#include <string>
#include <vector>

#include "history/HistoryDb.h"
#include "history/PageSource.h"

namespace parlux::history {

// An uptime that moved by this many points or more is a change.
inline constexpr double kUptimeChangePoints = 20.0;
// The nights the report holds, and the pairs of runs of a type it reads.
inline constexpr std::size_t kNightsKept = 7;
inline constexpr int kPairsKept = 7;

// The sections of each type's pairs of runs, grouped by night; the stats
// types' runs from the source's recent runs.
std::vector<NightOfChanges> WeekOfChanges(HistoryDb& db);
std::vector<NightOfChanges> WeekOfChanges(PageSource& source);
// The nights' lines, each night headed and a blank line between them.
std::vector<std::string> ChangeLines(const std::vector<NightOfChanges>& nights);
inline std::vector<std::string> ChangeLines(HistoryDb& db) { return ChangeLines(WeekOfChanges(db)); }

// The lines as Changes.txt (CR LF) and as Changes.html in the site's frame.
std::string ChangesText(const std::vector<std::string>& lines);
std::string ChangesPage(const std::vector<std::string>& lines, const std::string& stamp);
// The same from the history's change lines, as the night's pages.
inline std::string ChangesTextOf(PageSource& source) { return ChangesText(source.changeLines()); }
inline std::string ChangesPageOf(PageSource& source) { return ChangesPage(source.changeLines(), source.stamp()); }

}  // namespace parlux::history
