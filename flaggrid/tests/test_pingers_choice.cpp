// LOA_Pingers: one row per pinger, for its newest page among the version-1
// Cypherpunk and the two version-2 lists already in the data folder.
#include <algorithm>

#include "common/core/Transfers.h"
#include "flaggrid/tests/FlaggridFixture.h"

namespace parlux::test {
namespace {

const std::vector<Remailer> kSome = {{"austria", "mixmaster@remailer.privacy.at", "cpunk max mix pgp"}};

class PingersChoiceTest : public FlaggridTest {
protected:
    ScopedTimeZone utc_{"UTC0"};

    void expectRow(int row, const std::string& type, const std::string& nick, const std::string& url, DateTime date) {
        SCOPED_TRACE(nick);
        const Table& t = workbench().table(kPingersTable);
        ASSERT_LT(row, t.rowCount());
        EXPECT_EQ(t.cell(kCapPingerType, row), Cell::FromText(type));
        EXPECT_EQ(t.cell(kCapPingerNick, row), Cell::FromText(nick));
        EXPECT_EQ(t.cell(kCapPingerUrl, row), Cell::FromText(url));
        EXPECT_EQ(t.cell(kCapPingerPath, row), Cell::FromText((data_ / StatsFileName(type, nick)).string()));
        EXPECT_EQ(t.cell(kCapPingerDate, row), Cell::FromDate(date));
    }
};

TEST_F(PingersChoiceTest, NewestPageWinsAtFullTimeResolutionEqualTimesKeepTheFirstRecord) {
    writeList(
        "\"PGP-1\",\"alpha\",\"http://alpha.example/rlist.html\"\r\n"
        "\"PGP-2\",\"alpha\",\"http://alpha.example/rlist2.html\"\r\n"
        "\"MIX-2\",\"alpha\",\"http://alpha.example/mlist2.html\"\r\n"
        "\"MIX-1\",\"alpha\",\"http://alpha.example/mlist.html\"\r\n"
        "\"K-TY2\",\"alpha\",\"http://alpha.example/type2.list\"\r\n"
        "\"PGP-2\",\"bravo\",\"http://bravo.example/rlist2.html\"\r\n"
        "\"MIX-2\",\"bravo\",\"http://bravo.example/mlist2.html\"\r\n"
        "\"PGP-1\",\"carol\",\"http://carol.example/rlist.html\"\r\n"
        "\"MIX-1\",\"delta\",\"http://delta.example/mlist.html\"\r\n"
        "\"PGP-1\",\"echo\",\"http://echo.example/rlist.html\"\r\n"
        "\"PGP-2\",\"echo\",\"http://echo.example/rlist2.html\"\r\n"
        "\"PGP-2\",\"fox\",\"http://fox.example/rlist2.html\"\r\n"
        "\"MIX-2\",\"fox\",\"http://fox.example/mlist2.html\"\r\n"
        "\"MIX-2\",\"golf\",\"http://golf.example/mlist2.html\"\r\n");
    const std::string page = HtmlPage("Remailer list", Version1List(kSome));
    const DateTime noon = MakeDateTime(2024, 3, 1, 12, 0, 0);
    // alpha: the MIX-2 page is newer than the PGP-2 page by a fraction of a second only;
    // the version-1 Mixmaster and the key file are newer still but never count.
    SetFileTime(writePage("PGP-1", "alpha", page), noon);
    SetFileTime(writePage("PGP-2", "alpha", page), MakeDateTime(2024, 3, 1, 12, 30, 15), 200);
    SetFileTime(writePage("MIX-2", "alpha", page), MakeDateTime(2024, 3, 1, 12, 30, 15), 700);
    SetFileTime(writePage("MIX-1", "alpha", page), MakeDateTime(2024, 3, 2, 0, 0, 0));
    SetFileTime(writePage("K-TY2", "alpha", page), MakeDateTime(2024, 3, 2, 0, 0, 0));
    // bravo: two pages of exactly the same time.
    SetFileTime(writePage("PGP-2", "bravo", page), MakeDateTime(2024, 3, 1, 9, 0, 0), 500);
    SetFileTime(writePage("MIX-2", "bravo", page), MakeDateTime(2024, 3, 1, 9, 0, 0), 500);
    // carol has no page; delta only a version-1 Mixmaster page.
    SetFileTime(writePage("MIX-1", "delta", page), noon);
    // echo: the first record's page is the newer one.
    SetFileTime(writePage("PGP-1", "echo", page), MakeDateTime(2024, 2, 28, 23, 59, 59));
    SetFileTime(writePage("PGP-2", "echo", page), MakeDateTime(2024, 2, 27, 8, 0, 0));
    // fox: the newer MIX-2 file is empty, what a failed first download
    // leaves; golf has nothing else. An empty file is no page.
    SetFileTime(writePage("PGP-2", "fox", page), noon);
    SetFileTime(writePage("MIX-2", "fox", ""), MakeDateTime(2024, 3, 2, 0, 0, 0));
    SetFileTime(writePage("MIX-2", "golf", ""), noon);

    workbench().press("LOA_Pingers");

    EXPECT_EQ(workbench().box("txt_LOA_Pingers"), "4");
    ASSERT_EQ(workbench().table(kPingersTable).rowCount(), 4);
    expectRow(0, "MIX-2", "alpha", "http://alpha.example/mlist2.html", MakeDateTime(2024, 3, 1, 12, 30, 15));
    expectRow(1, "PGP-2", "bravo", "http://bravo.example/rlist2.html", MakeDateTime(2024, 3, 1, 9, 0, 0));
    expectRow(2, "PGP-1", "echo", "http://echo.example/rlist.html", MakeDateTime(2024, 2, 28, 23, 59, 59));
    expectRow(3, "PGP-2", "fox", "http://fox.example/rlist2.html", noon);
    // Missing pages are skipped silently, and the choice frame stays enabled.
    EXPECT_TRUE(messages().empty());
    EXPECT_TRUE(workbench().choiceEnabled());
}

TEST_F(PingersChoiceTest, SortOrdersThePingersByNick) {
    writeList(
        "\"PGP-2\",\"zulu\",\"u1\"\r\n\"PGP-1\",\"Mike\",\"u2\"\r\n\"MIX-2\",\"alpha\",\"u3\"\r\n\"PGP-2\",\"kilo\","
        "\"u4\"\r\n");
    const std::string page = HtmlPage("Remailer list", Version2List("Cypherpunk", kSome));
    const DateTime when = MakeDateTime(2024, 1, 2, 3, 4, 5);
    SetFileTime(writePage("PGP-2", "zulu", page), when);
    SetFileTime(writePage("PGP-1", "Mike", page), when);
    SetFileTime(writePage("MIX-2", "alpha", page), when);
    SetFileTime(writePage("PGP-2", "kilo", page), when);
    workbench().press("LOA_Pingers");
    workbench().press("SRT_Pingers");
    expectRow(0, "PGP-1", "Mike", "u2", when);
    expectRow(1, "MIX-2", "alpha", "u3", when);
    expectRow(2, "PGP-2", "kilo", "u4", when);
    expectRow(3, "PGP-2", "zulu", "u1", when);
}

// Flaggrid writes its report through a scratch file: one a killed run left
// goes at the next LOA_Pingers, one that may still be written stays.
TEST_F(FlaggridTest, StaleScratchFilesOfAKilledRunGo) {
    writeList("\"PGP-2\",\"alpha\",\"u\"\r\n");
    const auto stale = data_ / (ScratchPrefix() + "k1lled"), busy = data_ / (ScratchPrefix() + "w0rk1n");
    WriteFile(stale, "half a report");
    WriteFile(busy, "half a report");
    std::filesystem::last_write_time(stale, std::filesystem::file_time_type::clock::now() - std::chrono::hours(2));
    workbench().press("LOA_Pingers");
    EXPECT_FALSE(std::filesystem::exists(stale));
    EXPECT_TRUE(std::filesystem::exists(busy));
}

TEST_F(FlaggridTest, PageDateIsTheLocalTimeOfTheFile) {
    ScopedTimeZone oneHourEast("CET-1");
    writeList("\"PGP-2\",\"alpha\",\"u\"\r\n");
    SetFileTime(writePage("PGP-2", "alpha", "x"), MakeDateTime(2024, 3, 1, 23, 30, 15), 999);
    workbench().press("LOA_Pingers");
    ASSERT_EQ(workbench().count(kPingersTable), 1);
    EXPECT_EQ(workbench().table(kPingersTable).cell(kCapPingerDate, 0),
              Cell::FromDate(MakeDateTime(2024, 3, 2, 0, 30, 15)));
}

TEST_F(FlaggridTest, MissingPingersListIsReportedWithItsPath) {
    workbench().press("LOA_Pingers");
    EXPECT_EQ(messages(), std::vector<std::string>{"<data>/Pingers.lst Not found"});
    EXPECT_EQ(workbench().box("txt_LOA_Pingers"), "0");
    EXPECT_FALSE(workbench().table(kPingersTable).loaded());
}

TEST_F(FlaggridTest, NoPageAtAllLeavesPingersNotLoadedAndSortDoesNothing) {
    writeList("\"PGP-1\",\"alpha\",\"u\"\r\n\"MIX-1\",\"bravo\",\"u\"\r\n");
    writePage("MIX-1", "bravo", "x");
    workbench().press("LOA_Pingers");
    EXPECT_EQ(workbench().box("txt_LOA_Pingers"), "0");
    EXPECT_TRUE(messages().empty());
    workbench().press("SRT_Pingers");
    EXPECT_EQ(messages(), std::vector<std::string>{"9\r\nSubscript out of range\r\nArray not Initialized"});
    // A sort refused by the table check writes no action line.
    const auto records = logRecords();
    ASSERT_FALSE(records.empty());
    EXPECT_EQ(records.back(), "#2024-03-05 10:00:00#,\"LOA_Pingers Completed:  - 0\",\" \"");
}

TEST_F(FlaggridTest, UnusableNicksAreSkippedWithADetailLine) {
    writeList("\"PGP-1\",\"../outside\",\"u\"\r\n\"PGP-1\",\"good\",\"u\"\r\n");
    writePage("PGP-1", "good", "x");
    workbench().press("LOA_Pingers");
    EXPECT_EQ(workbench().box("txt_LOA_Pingers"), "1");
    const auto records = logRecords();
    EXPECT_NE(std::find(records.begin(), records.end(),
                        "#2024-03-05 10:00:00#,\"LOA_Pingers in Progress: \",\"../outside PGP-1 skipped: the nick is "
                        "not a usable file name\""),
              records.end());
}

}  // namespace
}  // namespace parlux::test
