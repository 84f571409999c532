#include "common/core/Sinks.h"

#include <ctime>

namespace parlux {

namespace {

class MachineClock final : public Clock {
public:
    DateTime localNow() const override { return read(false); }
    DateTime utcNow() const override { return read(true); }

private:
    static DateTime read(bool utc) {
        std::time_t now = std::time(nullptr);
        std::tm parts{};
        if (utc)
            ::gmtime_r(&now, &parts);
        else
            ::localtime_r(&now, &parts);
        using namespace std::chrono;
        auto day = sys_days{year{parts.tm_year + 1900} / (parts.tm_mon + 1) / parts.tm_mday};
        return day + hours{parts.tm_hour} + minutes{parts.tm_min} + seconds{parts.tm_sec};
    }
};

}  // namespace

const Clock& SystemClock() {
    static const MachineClock clock;
    return clock;
}

}  // namespace parlux
