// The trend page of a type after a handful of recorded runs, as a golden
// file: the rows in the order of the type's pages, a line per pinger with
// gaps where it gave no figure and apart from the figures of a cached copy
// (a pinger not reached the last three runs), tonight's median and spread
// of the pingers reached (marked when wide, "1 pinger" where one gave a
// figure), the latencies, every pinger-supplied text escaped; and the
// percentages as the pages print them.
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
        {"delta", {{100, 99.9, -1}, {99.8, 99.9, -1}, {99.8, 99.9, -1}, {99.8, 99.9, -1}, {99.8, 99.9, -1}}},
    };
    const auto notReached = [](const std::string& nick, std::size_t night) { return nick == "delta" && night >= 2; };
    const std::vector<std::string> remailers = {"dizum", "austria", "x&y", "nobody"};  // the pages' order
    for (std::size_t night = 0; night < 5; ++night) {
        history::Run run;
        run.program = "Pulsegrid";
        run.type = "MIX-2";
        run.remailerOrder = remailers;
        for (const auto& [nick, uptimes] : nights) {
            run.pingers.push_back({nick, notReached(nick, night) ? PingerState::Cached : PingerState::Downloaded});
            for (std::size_t r = 0; r < 3; ++r) {
                if (uptimes[night][r] < 0) continue;
                Figure f;
                f.pinger = nick;
                f.remailer = std::vector<std::string>{"austria", "dizum", "x&y"}[r];
                f.uptimePercent = uptimes[night][r];
                f.latencySeconds = 300 + 60 * static_cast<long>(night * r) + static_cast<long>(nick.size());
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

TEST(Percent, PrintedWithUpToTwoDecimals) {
    EXPECT_EQ(history::FormatPercent(100.0), "100");
    EXPECT_EQ(history::FormatPercent(99.6), "99.6");
    EXPECT_EQ(history::FormatPercent(48.333), "48.33");
}

}  // namespace
}  // namespace parlux::test
