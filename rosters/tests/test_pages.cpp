// Both pages from one small list holding duplicates, an unknown type, a
// lower-case type, a known type with an empty URL, quoted commas, nicks that
// differ in case only, and a bad list with quotes, commas and case variants.
// Rostermark's answers come from a table here; the real probe is tested
// against a loopback server elsewhere.
#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include "rosters/Rosters.h"
#include "testsupport/TestSupport.h"

namespace parlux::test {
namespace {

namespace fs = std::filesystem;
using rosters::HeaderAnswer;

class RosterPages : public ::testing::Test {
protected:
    RosterPages() {
        for (const char* name : {"Pingers.lst", "PingersBad.lst"})
            fs::copy_file(SourceDir() / "rosters/tests/data" / name, data_ / name);
    }

    // What each pinger's server answers; a URL missing here gets no answer.
    // The answers come in the reverse of the asking order.
    std::vector<HeaderAnswer> answer(const std::vector<std::string>& urls, const rosters::AnswerTaken& taken) {
        static const std::map<std::string, HeaderAnswer> kServers = {
            {"http://zulu.example.net/rlist.html", {true, "Sat, 12 Apr 2003 13:45:02 GMT"}},
            {"http://alpha.example.net/mlist.html", {true, "Sat 12 Apr 2003 13:45:02 EST"}},
            {"http://alpha2.example.net/rsa.asc", {true, std::nullopt}},
            {"http://alpha.example.net/old-rlist.html", {true, "Sun, 06 Dec 2026 10:00:00 GMT"}},
            {"http://alpha.example.net/rlist.html", {true, "Mon, 07 Dec 2026 06:30:00 GMT"}},
            {"http://beta.example.net/pubring.mix", {true, "yesterday at noon"}},
            {"http://9lives.example.net/mlist2.html", {true, "Sat 12 Apr 103 08:45:02 EST"}},
            {"http://zulu.example.net/dss,keys.asc", {true, "Fri 11 Apr 2003 01:02:03 est"}},
            {"http://beta.example.net/rlist2.html", {true, "Tue, 1 Dec 2026 00:00:09 GMT"}},
            {"http://zulu.example.net/mlist2.html", {true, ""}},
            {"http://zulu.example.net/type2.lis", {true, "Sat 12 apr 2003 13:45:02 GMT"}},
            // 10x's server does not answer at all.
        };
        asked_.insert(asked_.end(), urls.begin(), urls.end());
        std::vector<HeaderAnswer> answers;
        for (const auto& url : urls) {
            auto it = kServers.find(url);
            answers.push_back(it == kServers.end() ? HeaderAnswer{} : it->second);
        }
        for (std::size_t k = answers.size(); k-- > 0;) taken(k, answers[k]);
        return answers;
    }

    TempDir data_;
    FixedClock clock_{MakeDateTime(2026, 12, 7, 9, 15, 30), MakeDateTime(2026, 12, 7, 8, 15, 30)};
    RecordingMessages messages_;
    std::ostringstream notes_;
    std::vector<std::string> asked_;
};

TEST_F(RosterPages, PingersPageIsTheGoldenOne) {
    ASSERT_EQ(rosters::RunRosterbase(data_.path(), clock_, messages_, notes_), 0);
    ExpectGolden(ReadFile(data_ / "Pingers.html"), SourceDir() / "rosters/tests/golden/Pingers.html");
    EXPECT_TRUE(messages_.texts.empty());
    EXPECT_EQ(notes_.str(), "");
}

TEST_F(RosterPages, PingersXPageIsTheGoldenOneAndEveryKnownRecordIsAskedOnce) {
    std::vector<std::string> shown;
    const auto show = [&](const rosters::RecordProgress& p) {
        shown.push_back(std::to_string(p.taken) + "/" + std::to_string(p.total) + " " + rosters::ClockTime(p.timeBeg) +
                        " " + std::to_string(p.nr) + " " + p.record->type + " " + p.record->nick);
    };
    ASSERT_EQ(rosters::RunRostermark(
                  data_.path(), clock_, messages_, notes_,
                  [this](const auto& urls, const auto& taken) { return answer(urls, taken); }, show),
              0);
    ExpectGolden(ReadFile(data_ / "PingersX.html"), SourceDir() / "rosters/tests/golden/PingersX.html");
    EXPECT_TRUE(messages_.texts.empty());

    // Known types only, duplicates too, in file order; the empty URL is not asked.
    const std::vector<std::string> asked = {
        "http://zulu.example.net/rlist.html",   "http://alpha.example.net/mlist.html",
        "http://alpha2.example.net/rsa.asc",    "http://alpha.example.net/old-rlist.html",
        "http://alpha.example.net/rlist.html",  "http://beta.example.net/pubring.mix",
        "http://10x.example.net/rlist2.html",   "http://9lives.example.net/mlist2.html",
        "http://zulu.example.net/dss,keys.asc", "http://beta.example.net/rlist2.html",
        "http://zulu.example.net/mlist2.html",  "http://zulu.example.net/type2.lis"};
    EXPECT_EQ(asked_, asked);

    // Every record is shown as it is taken, with the row count before it in
    // file order: those that ask nothing at once, the others as their answers
    // come; the page above is the same whatever that order.
    const std::vector<std::string> expectedShown = {
        "1/15 09:15:30 3 STATS mike",   "2/15 09:15:30 5 K-TY2 beta",   "3/15 09:15:30 5 pgp-1 beta",
        "4/15 09:15:30 7 K-TY2 zulu",   "5/15 09:15:30 7 MIX-2 zulu",   "6/15 09:15:30 7 PGP-2 beta",
        "7/15 09:15:30 7 K-DSS zulu",   "8/15 09:15:30 6 MIX-2 9lives", "9/15 09:15:30 5 PGP-2 10x",
        "10/15 09:15:30 4 K-MIX beta",  "11/15 09:15:30 3 PGP-1 alpha", "12/15 09:15:30 3 PGP-1 alpha",
        "13/15 09:15:30 2 K-RSA Alpha", "14/15 09:15:30 1 MIX-1 alpha", "15/15 09:15:30 0 PGP-1 zulu"};
    EXPECT_EQ(shown, expectedShown);
}

}  // namespace
}  // namespace parlux::test
