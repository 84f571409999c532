#include "common/core/GmtOffset.h"

#include <cmath>

namespace parlux {

double GMTOffsetHours = 0.0;

void InitGMTOffset(const Clock& clock) {
    const DateTime utc = clock.utcNow();
    const DateTime local = clock.localNow();
    // Zones are whole minutes from GMT (+5:45, +13:45): rounding to the
    // minute keeps them exact and absorbs a second that ticks between the two
    // readings.
    const double minutes = static_cast<double>((local - utc).count()) / 60.0;
    GMTOffsetHours = std::nearbyint(minutes) / 60.0;
}

DateTime GmtNow(const Clock& clock) {
    const auto offset = std::chrono::seconds{std::llround(GMTOffsetHours * 3600.0)};
    return clock.localNow() - offset;
}

}  // namespace parlux
