#pragma once
// One recorded run of a comparer: what its pages showed for one type, as the
// comparer's own procedure filled it (workbench/RecordedRun.h). Kept in
// Parlux.sqlite and read back by the trend pages and the changes report. No
// Qt, no database here.
#include <string>

#include "workbench/RecordedRun.h"

namespace parlux::history {

using Run = RecordedRun;
using parlux::BrokenChain;
using parlux::Figure;
using parlux::kCapStringsType;
using parlux::Kind;
using parlux::KindOf;
using parlux::kNoStatsFigure;
using parlux::PingerSeen;
using parlux::PingerState;
using parlux::StatsFigure;

// A percentage as the change lines and the trend page print it: up to two
// decimals, trailing zeros dropped ("100", "99.6", "48.33").
std::string FormatPercent(double value);

}  // namespace parlux::history
