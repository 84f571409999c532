#pragma once
// The local offset from GMT, for the comparison pages' time stamps.
#include "common/core/DateTime.h"
#include "common/core/Sinks.h"

namespace parlux {

// Local time minus GMT in hours, to the minute (5.75 for +5:45).
extern double GMTOffsetHours;
void InitGMTOffset(const Clock& clock = SystemClock());
// Local now minus GMTOffsetHours, for page time stamps.
DateTime GmtNow(const Clock& clock);

}  // namespace parlux
