// The bad list's fields and answers, and what both programs do when a list is
// missing or empty or the page cannot be written: a message, status 1, the old
// page as it was, no request made.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <regex>
#include <sstream>

#include "common/core/Table.h"
#include "common/core/Transfers.h"
#include "rosters/Rosters.h"
#include "testsupport/TestSupport.h"

namespace parlux::test {
namespace {

namespace fs = std::filesystem;

TEST(PingersBad, FieldsQuotesAndCase) {
    struct Case {
        std::string content;
        std::vector<std::string> rows;  // PingersBadArray, in order
        std::vector<std::string> bad, good;
    };
    const Case cases[] = {
        {"\"alpha\",\"ALPHA\"\r\nalpha\r\n\"alpha\"\r\n", {"alpha", "ALPHA"}, {"alpha", "ALPHA"}, {"Alpha", "alpha "}},
        {"zulu, \"beta \"\n", {"zulu", "beta "}, {"zulu", "beta "}, {"beta", " beta"}},
        {"\"a,b\",c\r\n\r\n  d  ,e", {"a,b", "c", "d", "e"}, {"a,b", "d"}, {"a", "b", " d", "d  "}},
        {"", {}, {}, {"", "alpha"}},
        {"\r\n  \r\n", {}, {}, {""}},
        {"\xEF\xBB\xBF"
         "alpha\r\nbeta\r\n",
         {"alpha", "beta"},
         {"alpha", "beta"},
         {"\xEF\xBB\xBF"
          "alpha"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.content);
        rosters::PingersBad list;
        EXPECT_EQ(list.LoadPingersBad(c.content), static_cast<int>(c.rows.size()));
        std::vector<std::string> rows;
        const Table& table = list.PingersBadArray();
        for (int r = 0; table.loaded() && r < table.rowCount(); ++r) rows.push_back(table.text(0, r));
        EXPECT_EQ(rows, c.rows);
        for (const auto& nick : c.bad) EXPECT_TRUE(list.IsPingerBad(nick)) << nick;
        for (const auto& nick : c.good) EXPECT_FALSE(list.IsPingerBad(nick)) << nick;
    }
}

TEST(RosterRuns, FailuresLeaveTheOldPageAndMakeNoRequest) {
    struct Case {
        const char* what;
        std::function<void(const fs::path& folder, const std::string& page)> spoil;
        std::string message;  // a piece of the one message expected
        bool asks = false;    // the servers are asked before the failure shows
    };
    const Case cases[] = {
        {"no bad list", [](const fs::path& d, const std::string&) { fs::remove(d / "PingersBad.lst"); },
         "PingersBad.lst (No such file or directory): PAGE not written"},
        {"no pinger list", [](const fs::path& d, const std::string&) { fs::remove(d / "Pingers.lst"); },
         "Pingers.lst (No such file or directory): PAGE not written"},
        {"pinger list is a folder",
         [](const fs::path& d, const std::string&) {
             fs::remove(d / "Pingers.lst");
             fs::create_directory(d / "Pingers.lst");
         },
         "Pingers.lst (not a regular file): PAGE not written"},
        {"pinger list is a FIFO",
         [](const fs::path& d, const std::string&) {
             fs::remove(d / "Pingers.lst");
             ASSERT_EQ(::mkfifo((d / "Pingers.lst").c_str(), 0600), 0);
         },
         "Pingers.lst (not a regular file): PAGE not written"},
        {"empty pinger list", [](const fs::path& d, const std::string&) { WriteFile(d / "Pingers.lst", "\r\n  \r\n"); },
         "Pingers.lst holds no pinger record: PAGE not written"},
        {"a folder in the page's place",
         [](const fs::path& d, const std::string& page) {
             fs::remove(d / page);
             fs::create_directories(d / page / "inside");
         },
         "Cannot write FOLDER/PAGE (", true},
    };
    for (const bool marked : {false, true}) {
        const std::string page = marked ? "PingersX.html" : "Pingers.html";
        for (const Case& c : cases) {
            SCOPED_TRACE(page + ": " + c.what);
            TempDir data;
            WriteFile(data / "Pingers.lst", "\"PGP-1\",\"alpha\",\"http://a/r\"\r\n");
            WriteFile(data / "PingersBad.lst", "");
            WriteFile(data / page, "old page\r\n");
            c.spoil(data.path(), page);
            const auto before = fs::is_regular_file(data / page) ? ReadFile(data / page) : "";

            FixedClock clock(MakeDateTime(2026, 12, 7, 9, 0, 0), MakeDateTime(2026, 12, 7, 8, 0, 0));
            RecordingMessages messages;
            std::ostringstream notes;
            int requests = 0;
            const auto prober = [&](const std::vector<std::string>& urls, const rosters::AnswerTaken&) {
                requests += static_cast<int>(urls.size());
                return std::vector<rosters::HeaderAnswer>(urls.size());
            };
            const int status = marked ? rosters::RunRostermark(data.path(), clock, messages, notes, prober, nullptr)
                                      : rosters::RunRosterbase(data.path(), clock, messages, notes);
            EXPECT_EQ(status, 1);
            std::string expected = std::regex_replace(c.message, std::regex("PAGE"), page);
            expected = std::regex_replace(expected, std::regex("FOLDER"), data.path().string());
            ASSERT_EQ(messages.texts.size(), 1u);
            EXPECT_NE(messages.texts[0].find(expected), std::string::npos) << messages.texts[0];
            EXPECT_EQ(fs::is_regular_file(data / page) ? ReadFile(data / page) : "", before);
            EXPECT_EQ(requests, marked && c.asks ? 1 : 0);
            for (const auto& entry : fs::directory_iterator(data.path()))  // no scratch file left behind
                EXPECT_NE(entry.path().filename().string()[0], '.') << entry.path();
        }
    }
}

// A killed run leaves its scratch file beside the page: the next run of the
// program clears it, but not one another copy may still be writing.
TEST(RosterRuns, StaleScratchFilesOfAKilledRunGo) {
    for (const bool marked : {false, true}) {
        SCOPED_TRACE(marked ? "Rostermark" : "Rosterbase");
        TempDir data;
        WriteFile(data / "Pingers.lst", "\"PGP-1\",\"alpha\",\"http://a/r\"\r\n");
        WriteFile(data / "PingersBad.lst", "");
        const fs::path stale = data / (ScratchPrefix() + "k1lled"), busy = data / (ScratchPrefix() + "w0rk1n");
        WriteFile(stale, "half a page");
        WriteFile(busy, "half a page");
        fs::last_write_time(stale, fs::file_time_type::clock::now() - std::chrono::hours(2));
        FixedClock clock(MakeDateTime(2026, 12, 7, 9, 0, 0), MakeDateTime(2026, 12, 7, 8, 0, 0));
        RecordingMessages messages;
        std::ostringstream notes;
        const auto prober = [](const std::vector<std::string>& urls, const rosters::AnswerTaken&) {
            return std::vector<rosters::HeaderAnswer>(urls.size(), rosters::HeaderAnswer{true, std::nullopt});
        };
        const int status = marked ? rosters::RunRostermark(data.path(), clock, messages, notes, prober, nullptr)
                                  : rosters::RunRosterbase(data.path(), clock, messages, notes);
        EXPECT_EQ(status, 0);
        EXPECT_FALSE(fs::exists(stale));
        EXPECT_TRUE(fs::exists(busy));
    }
}

// A night on which no pinger's server answers still writes PingersX.html
// (every date unknown), but fails: its status and a line say so. One server
// that answers, even without a date, makes it a good night.
TEST(RosterRuns, RostermarkFailsWhenNoServerAnswers) {
    for (const bool anyAnswer : {false, true}) {
        SCOPED_TRACE(anyAnswer ? "one answer" : "no answer");
        TempDir data;
        WriteFile(data / "Pingers.lst", "\"PGP-1\",\"alpha\",\"http://a/r\"\r\n\"PGP-1\",\"beta\",\"http://b/r\"\r\n");
        WriteFile(data / "PingersBad.lst", "");
        FixedClock clock(MakeDateTime(2026, 12, 7, 9, 0, 0), MakeDateTime(2026, 12, 7, 8, 0, 0));
        RecordingMessages messages;
        std::ostringstream notes;
        const auto prober = [anyAnswer](const std::vector<std::string>& urls, const rosters::AnswerTaken&) {
            std::vector<rosters::HeaderAnswer> answers(urls.size());
            answers.back().answered = anyAnswer;
            return answers;
        };
        EXPECT_EQ(rosters::RunRostermark(data.path(), clock, messages, notes, prober, nullptr), anyAnswer ? 0 : 1);
        EXPECT_TRUE(fs::is_regular_file(data / "PingersX.html"));
        EXPECT_EQ(messages.texts,
                  anyAnswer ? std::vector<std::string>{}
                            : std::vector<std::string>{
                                  "no pinger's web server answered: PingersX.html written without any upload date"});
    }
}

}  // namespace
}  // namespace parlux::test
