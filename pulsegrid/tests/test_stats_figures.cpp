// The latency and uptime read from the pingers' stats texts, as the history
// records them.
#include <gtest/gtest.h>

#include <optional>

#include "pulsegrid/StatsFigures.h"

namespace parlux::test {
namespace {

struct FigureCase {
    const char* text;
    bool version1;
    std::optional<long> latency;
    std::optional<double> uptime;
};

TEST(StatsFigures, LatencyAndUptimeAsThePingersPrintThem) {
    const FigureCase cases[] = {
        // version 1: [[h:]m]m:ss and uu.uu% in the last 16 characters
        {"remailer@dizum.example   +++++++++-++  1:47:01 100.00%", true, 6421, 100.0},
        {"************    25:00  99.99%", true, 1500, 99.99},
        {"****     5:03   3.20%", true, 303, 3.2},
        {"history but no figures", true, std::nullopt, std::nullopt},
        {"  1:47:01 101.00%", true, 6421, std::nullopt},
        // version 2: h:mm at 15-19, uuu.u% at 37-42
        {"ABBAABABAAAA   1:15   +9+9+9+999+9   99.6%  D  MHGOXATLEUIN9", false, 4500, 99.6},
        {"665645435445    :25   9999+++99+9+  100.0%  DP M GO ATLE IN9", false, 1500, 100.0},
        {"4444444444??   ?:??   444444444?4?   48.3%", false, std::nullopt, 48.3},
        {"short", false, std::nullopt, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(ParseLatency(c.text, c.version1), c.latency);
        EXPECT_EQ(ParseUptime(c.text, c.version1), c.uptime);
    }
}

}  // namespace
}  // namespace parlux::test
