// A remailer's own page after three recorded nights, as a golden file: a
// pinger gone stale, a key that differs from the night it was taken,
// capability strings changed, a broken chain, and a name written %XX in its
// file's name; and every link of Remailers.html names a page written.
#include <gtest/gtest.h>

#include <regex>

#include "common/core/SiteConfig.h"
#include "history/Consensus.h"
#include "history/NightRecorder.h"
#include "testsupport/TestSupport.h"

namespace parlux::test {
namespace {

history::Run NightOf(const char* type, int night) {
    history::Run run;
    run.type = type;
    const std::string day = "2026/12/0" + std::to_string(night);
    // beta's page stopped updating after the first night.
    for (const char* nick : {"alpha", "beta"})
        run.pingers.push_back(
            {nick, history::PingerState::Downloaded,
             type == std::string("PGP-2") ? (nick[0] == 'b' ? "2026/12/01" : day) + " 02:00:00" : ""});
    for (const char* nick : {"alpha", "beta"}) {
        for (const char* name : {"dizum", "mix+1"}) {
            history::Figure f;
            f.pinger = nick;
            f.remailer = name;
            f.uptimePercent = 100.0 - night * (nick[0] == 'a' ? 10 : 1);
            f.latencySeconds = 60L * night;
            f.keyId = nick[0] == 'a' && night > 1 ? "fedc" : "0123";
            f.caps = nick[0] == 'a' && night > 2 ? "cpunk mix" : "cpunk mix <hash>";
            run.figures.push_back(f);
        }
    }
    if (night == 3) run.brokenChains.push_back({"alpha", 1, "dizum", "mix+1"});
    return run;
}

TEST(RemailerPage, ThreeNightsMatchTheGoldenPageAndEveryLinkIsWritten) {
    site::SetCurrent(site::SiteConfig{});
    TempDir data;
    std::vector<std::string> complaints;
    history::NightRecorder recorder(data.path(), [&](const std::string& line) { complaints.push_back(line); });
    for (int night = 1; night <= 3; ++night)
        for (const char* type : {"PGP-2", "K-TY2", "0000"})
            recorder.recordRun(NightOf(type, night), MakeDateTime(2026, 12, night, 3, 15), 0);
    EXPECT_TRUE(complaints.empty()) << complaints.front();
    ExpectGolden(ReadFile(data / "Remailer_mix%2B1.html"), SourceDir() / "history/tests/golden/Remailer_mix+1.html");
    const std::string index = ReadFile(data / "Remailers.html");
    const std::regex link("href=\"(Remailer_[^\"]*)\"");
    int links = 0;
    for (std::sregex_iterator it(index.begin(), index.end(), link), end; it != end; ++it, ++links)
        EXPECT_TRUE(std::filesystem::exists(data / (*it)[1].str())) << (*it)[1];
    EXPECT_EQ(links, 2);
    // A hostile list's long name still makes a file name that can be written, and its own.
    const std::string longName = history::RemailerPageName(std::string(300, '+') + "a");
    EXPECT_TRUE(longName.size() <= 255 && longName != history::RemailerPageName(std::string(300, '+') + "b"));
}

}  // namespace
}  // namespace parlux::test
