// frm_Rostermark on the offscreen platform: its controls (a golden file), and
// one run from a data folder to the page, with the answers of the servers
// given by a table.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>

#include "rosters/gui/RostermarkWindow.h"
#include "testsupport/QtTestSupport.h"

namespace parlux::test {
namespace {

// Names, captions and states of every widget before the run: each label
// beside its box.
TEST(RostermarkWindow, WidgetTreeMatchesItsGoldenFile) {
    rosters::RostermarkWindow window;
    ExpectWidgetsGolden(window, SourceDir() / "rosters/gui_tests/golden/frm_Rostermark.txt");
}

TEST(RostermarkWindow, ShowsEachRecordAndClosesWhenThePageIsWritten) {
    rosters::RostermarkWindow window;
    TempDir data;
    WriteFile(data / "Pingers.lst",
              "\"PGP-1\",\"bravo\",\"http://b/r\"\r\n\"MIX-1\",\"alpha\",\"http://a/m\"\r\n"
              "\"NEWS\",\"charlie\",\"http://c/n\"\r\n");
    RecordingMessages messages;
    int probes = 0;
    const auto prober = [&probes](const std::vector<std::string>& urls, const rosters::AnswerTaken&) {
        ++probes;
        return std::vector<rosters::HeaderAnswer>(urls.size(), {true, "Sat, 12 Apr 2003 13:45:02 GMT"});
    };
    // Without the bad list: a message, no request, no page, and the window
    // closed with the pointer restored all the same.
    EXPECT_EQ(rosters::RunRostermarkWindow(window, data.path(), messages, prober, false), 1);
    ASSERT_EQ(messages.texts.size(), 1u);
    EXPECT_NE(messages.texts[0].find("PingersBad.lst"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(data / "PingersX.html"));
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(probes, 0);

    messages.texts.clear();
    WriteFile(data / "PingersBad.lst", "\"bravo\"\r\n");
    EXPECT_EQ(rosters::RunRostermarkWindow(window, data.path(), messages, prober, false), 0);
    EXPECT_TRUE(messages.texts.empty());
    EXPECT_EQ(probes, 1);
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    // The last record answered is still shown (the one that asks nothing was
    // shown first), and the bar is full.
    EXPECT_EQ(BoxText(window, "txt_Nr"), "1");
    EXPECT_EQ(BoxText(window, "txt_QryType"), "MIX-1");
    EXPECT_EQ(BoxText(window, "txt_PingerNick"), "alpha");
    EXPECT_EQ(BoxText(window, "txt_Url"), "http://a/m");
    EXPECT_EQ(BoxText(window, "txt_TimeBeg").size(), 8u);
    auto* bar = FindWidget<QProgressBar>(window, "ProgressBar1");
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->maximum(), 3);
    EXPECT_EQ(bar->value(), 3);

    const std::string page = ReadFile(data / "PingersX.html");
    const auto alpha = page.find(">alpha<"), bravo = page.find(">bravo<"), charlie = page.find(">charlie<");
    EXPECT_TRUE(alpha < bravo && bravo < charlie && charlie != std::string::npos);
    EXPECT_NE(page.find("<a href=\"http://b/r\" TARGET=\"_blank\">X</a>_2003/04/12_13:45:02</td>"), std::string::npos);
    EXPECT_NE(page.find("#FF0000\">bravo<"), std::string::npos);
}

// While answers come, the boxes show the first record still waited on, not
// the one that has just answered (a failure answers first).
TEST(RostermarkWindow, ShowsTheRecordItWaitsOn) {
    rosters::RostermarkWindow window;
    TempDir data;
    WriteFile(data / "Pingers.lst",
              "\"PGP-1\",\"bravo\",\"http://b/r\"\r\n\"MIX-1\",\"alpha\",\"http://a/m\"\r\n"
              "\"K-RSA\",\"charlie\",\"http://c/k\"\r\n");
    WriteFile(data / "PingersBad.lst", "");
    RecordingMessages messages;
    std::vector<std::string> seen;
    const auto look = [&window, &seen] {
        seen.push_back(BoxText(window, "txt_Nr") + " " + BoxText(window, "txt_PingerNick") + " " +
                       std::to_string(FindWidget<QProgressBar>(window, "ProgressBar1")->value()));
    };
    const auto prober = [&look](const std::vector<std::string>& urls, const rosters::AnswerTaken& taken) {
        std::vector<rosters::HeaderAnswer> answers(urls.size(), {true, "Sat, 12 Apr 2003 13:45:02 GMT"});
        for (const std::size_t k : {2u, 0u, 1u}) {
            taken(k, answers[k]);
            look();
        }
        return answers;
    };
    EXPECT_EQ(rosters::RunRostermarkWindow(window, data.path(), messages, prober, false), 0);
    EXPECT_EQ(seen, (std::vector<std::string>{"0 bravo 1", "1 alpha 2", "1 alpha 3"}));
}

}  // namespace
}  // namespace parlux::test
