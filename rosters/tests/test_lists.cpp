// The bad list's fields and answers, and what both programs do when a list is
// missing or empty or the page cannot be written: a message, status 1, the old
// page as it was, no request made.
#include <gtest/gtest.h>

#include <sstream>

#include "Rosters.h"
#include "TestSupport.h"
#include "core/Common.h"

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
        std::function<void(const fs::path&)> spoil;
        std::string message;  // a piece of the one message expected
    };
    const Case cases[] = {
        {"no bad list", [](const fs::path& d) { fs::remove(d / "PingersBad.lst"); },
         "PingersBad.lst (No such file or directory)"},
        {"no pinger list", [](const fs::path& d) { fs::remove(d / "Pingers.lst"); },
         "Pingers.lst (No such file or directory)"},
        {"pinger list is a folder",
         [](const fs::path& d) {
             fs::remove(d / "Pingers.lst");
             fs::create_directory(d / "Pingers.lst");
         },
         "Pingers.lst (Is a directory)"},
        {"empty pinger list", [](const fs::path& d) { WriteFile(d / "Pingers.lst", "\r\n  \r\n"); },
         "Pingers.lst holds no pinger record"},
    };
    for (const bool marked : {false, true}) {
        const std::string page = marked ? "PingersX.html" : "Pingers.html";
        for (const Case& c : cases) {
            SCOPED_TRACE(page + ": " + c.what);
            TempDir data;
            WriteFile(data / "Pingers.lst", "\"PGP-1\",\"alpha\",\"http://a/r\"\r\n");
            WriteFile(data / "PingersBad.lst", "");
            WriteFile(data / page, "old page\r\n");
            c.spoil(data.path());

            FixedClock clock(MakeDateTime(2026, 12, 7, 9, 0, 0), MakeDateTime(2026, 12, 7, 8, 0, 0));
            RecordingMessages messages;
            std::ostringstream notes;
            int requests = 0;
            const auto prober = [&](const std::vector<std::string>& urls) {
                requests += static_cast<int>(urls.size());
                return std::vector<rosters::HeaderAnswer>(urls.size());
            };
            const int status = marked ? rosters::RunRostermark(data.path(), clock, messages, notes, prober, nullptr)
                                      : rosters::RunRosterbase(data.path(), clock, messages, notes);
            EXPECT_EQ(status, 1);
            ASSERT_EQ(messages.texts.size(), 1u);
            EXPECT_NE(messages.texts[0].find(c.message), std::string::npos) << messages.texts[0];
            EXPECT_NE(messages.texts[0].find(page + " not written"), std::string::npos) << messages.texts[0];
            EXPECT_EQ(ReadFile(data / page), "old page\r\n");
            if (std::string(c.what) != "empty pinger list") {
                EXPECT_EQ(requests, 0);
            }
        }
    }
}

TEST(RosterRuns, APageThatCannotBeReplacedIsReportedAndNothingIsLeftBehind) {
    for (const std::string page : {"Pingers.html", "PingersX.html"}) {
        SCOPED_TRACE(page);
        TempDir data;
        WriteFile(data / "Pingers.lst", "\"PGP-1\",\"alpha\",\"http://a/r\"\r\n");
        WriteFile(data / "PingersBad.lst", "alpha");
        fs::create_directories(data / page / "inside");  // a folder in the page's place
        FixedClock clock(MakeDateTime(2026, 12, 7, 9, 0, 0), MakeDateTime(2026, 12, 7, 8, 0, 0));
        RecordingMessages messages;
        std::ostringstream notes;
        const auto prober = [](const std::vector<std::string>& urls) {
            return std::vector<rosters::HeaderAnswer>(urls.size());
        };
        const int status = page == "PingersX.html"
                               ? rosters::RunRostermark(data.path(), clock, messages, notes, prober, nullptr)
                               : rosters::RunRosterbase(data.path(), clock, messages, notes);
        EXPECT_EQ(status, 1);
        ASSERT_EQ(messages.texts.size(), 1u);
        EXPECT_EQ(messages.texts[0].rfind("Cannot write " + (data / page).string(), 0), 0u) << messages.texts[0];
        EXPECT_TRUE(fs::is_directory(data / page / "inside"));
        int entries = 0;
        for ([[maybe_unused]] const auto& e : fs::directory_iterator(data.path())) ++entries;
        EXPECT_EQ(entries, 3);  // the two lists and the folder: no scratch file left
    }
}

}  // namespace
}  // namespace parlux::test
