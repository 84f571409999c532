// The trend page of a type after a handful of recorded runs, as a golden
// file: the rows in the order of the type's pages, a line per pinger with
// gaps where it gave no figure, tonight's median and spread (marked when
// wide), every pinger-supplied text escaped; and the figures read from the
// pingers' stats texts.
#include <gtest/gtest.h>

#include "common/core/SiteConfig.h"
#include "history/NightRecorder.h"
#include "testsupport/TestSupport.h"

namespace parlux::test {
namespace {

using history::Figure;
using history::PingerState;

TEST(TrendPage, FiveRunsOfThreePingersMatchTheGoldenPage) {
    site::SetCurrent(site::SiteConfig{});
    TempDir data;
    std::vector<std::string> complaints;
    history::NightRecorder recorder(data.path(), [&](const std::string& line) { complaints.push_back(line); });
    // pinger -> the uptime of each run for austria, dizum and x&y; < 0: no figure.
    const std::vector<std::pair<std::string, std::vector<std::array<double, 3>>>> nights = {
        {"alpha", {{100, 99, 50}, {100, 98.5, 55}, {99.9, 97, 60}, {100, 96, 65}, {100, 95, -1}}},
        {"b<eta>&", {{100, 100, -1}, {100, 100, -1}, {100, 80, -1}, {100, 70, -1}, {100, 60, 40}}},
        {"charlie", {{98, 99, 50}, {-1, -1, -1}, {-1, -1, -1}, {97, 90, 50}, {96.5, 88, -1}}},
    };
    const std::vector<std::string> remailers = {"dizum", "austria", "x&y", "nobody"};  // the pages' order
    for (std::size_t night = 0; night < 5; ++night) {
        history::Run run;
        run.program = "Pulsegrid";
        run.type = "MIX-2";
        run.remailerOrder = remailers;
        for (const auto& [nick, uptimes] : nights) {
            run.pingers.push_back({nick, PingerState::Downloaded});
            for (std::size_t r = 0; r < 3; ++r) {
                if (uptimes[night][r] < 0) continue;
                Figure f;
                f.pinger = nick;
                f.remailer = std::vector<std::string>{"austria", "dizum", "x&y"}[r];
                f.uptimePercent = uptimes[night][r];
                run.figures.push_back(f);
            }
        }
        recorder.recordRun(run, MakeDateTime(2026, 12, 5 + static_cast<int>(night), 3, 15),
                           site::SiteConfig{}.historyDays);
    }
    EXPECT_TRUE(complaints.empty()) << complaints.front();
    const std::string page = ReadFile(data / "Trend_MIX-2.html");
    EXPECT_EQ(page.find("<script"), std::string::npos);
    ExpectGolden(page, SourceDir() / "history/tests/golden/Trend_MIX-2.html");
}

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
        EXPECT_EQ(history::ParseLatency(c.text, c.version1), c.latency);
        EXPECT_EQ(history::ParseUptime(c.text, c.version1), c.uptime);
    }
    EXPECT_EQ(history::FormatPercent(100.0), "100");
    EXPECT_EQ(history::FormatPercent(99.6), "99.6");
    EXPECT_EQ(history::FormatPercent(48.333), "48.33");
}

}  // namespace
}  // namespace parlux::test
