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
#include "history/RecentRuns.h"
#include "history/TrendChart.h"
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

// More pingers than a reader can follow: one band of their range and a
// median line, no line of any pinger, the cached copy counted, not drawn.
TEST(TrendChart, ThirteenPingersDrawTheirRangeAsABand) {
    history::TrendChart chart({"2026/12/05 03:15:00", "2026/12/06 03:15:00"});
    std::vector<std::array<std::int32_t, 2>> values;
    values.reserve(13);
    const std::array<std::uint8_t, 2> fresh = {0, 0}, cachedLast = {0, 1};
    history::ChartInput uptime;
    for (std::int32_t k = 0; k < 13; ++k) values.push_back({9000 + 50 * k, k == 12 ? 9950 : 9900});
    for (std::size_t k = 0; k < 13; ++k) uptime.series.push_back({k, "p", values[k], k == 12 ? cachedLast : fresh});
    std::string svg;
    chart.draw(svg, uptime);
    EXPECT_EQ(svg.find("class=\"p"), std::string::npos) << svg;
    // On a scale from 90 %: run one spans 90 % to 96 % (heights 100 and 44.8),
    // its median 93 % (72.4); run two is 99 % (17.2), the cached 99.5 % not in it.
    EXPECT_NE(svg.find("d=\"M205 44.8L522 17.2L522 17.2L205 100Z\""), std::string::npos) << svg;
    EXPECT_NE(svg.find("d=\"M205 72.4L522 17.2\""), std::string::npos) << svg;
    EXPECT_NE(svg.find(">13 pingers: the fresh figures from lowest to highest, their median as a line; 1 figure from"
                       " cached copies left out</text>"),
              std::string::npos);
}

// The last runs keep their figures in 16 bits while they fit: a figure past
// them (a latency of eleven hours, a figure in a file written by hand) turns
// the column to 32 bits, every figure kept, before and after it.
TEST(FigureColumn, AFigurePastSixteenBitsKeepsEveryFigure) {
    const std::vector<std::int32_t> figures = {9960, history::kNoFigure, -32767, 32767, 39600, -1000000, 0, 120};
    history::FigureColumn column;
    column.grow(figures.size());
    for (std::size_t i = 0; i < figures.size(); ++i) {
        column.set(i, figures[i]);
        for (std::size_t k = 0; k <= i; ++k) EXPECT_EQ(column[k], figures[k]) << "after " << i << ", at " << k;
    }
    std::vector<std::int32_t> appended;
    column.append(2, 5, appended);
    EXPECT_EQ(appended, std::vector<std::int32_t>(figures.begin() + 2, figures.begin() + 7));
}

TEST(Percent, PrintedWithUpToTwoDecimals) {
    EXPECT_EQ(history::FormatPercent(100.0), "100");
    EXPECT_EQ(history::FormatPercent(99.6), "99.6");
    EXPECT_EQ(history::FormatPercent(48.333), "48.33");
}

}  // namespace
}  // namespace parlux::test
