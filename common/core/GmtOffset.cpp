#include "common/core/GmtOffset.h"

#include <cmath>

namespace parlux {

double GMTOffsetHours = 0.0;

void InitGMTOffset(const Clock& clock) {
    const DateTime utc = clock.utcNow();
    const DateTime local = clock.localNow();
    const double hours = static_cast<double>((local - utc).count()) / 3600.0;
    GMTOffsetHours = std::nearbyint(hours * 10.0) / 10.0;
}

DateTime GmtNow(const Clock& clock) {
    const auto offset = std::chrono::seconds{std::llround(GMTOffsetHours * 3600.0)};
    return clock.localNow() - offset;
}

}  // namespace parlux
