// The single steps: the guards, out-of-order runs, dumps, the parsing rules
// and the page pieces on small hand-made tables.
#include <sys/stat.h>

#include <functional>

#include "common/core/DumpFile.h"
#include "common/core/TextFields.h"
#include "pulsegrid/StatsPageWriter.h"
#include "pulsegrid/tests/PipelineFixture.h"
#include "workbench/Grid.h"

namespace parlux::test {
namespace {

constexpr const char* kNotInitialized = "9\r\nSubscript out of range\r\nArray not Initialized";

class Steps : public PipelineTest {
protected:
    // A tiny version-1 page of the given rows under an update line.
    static std::string Page(const std::vector<std::string>& rows,
                            const std::string& update = "Fri 30 Nov 2012 10:20:00 GMT") {
        std::string page = "Last update: " + update + "\r\nremailer  history\r\n---------\r\n";
        for (const auto& row : rows) page += row + "\r\n";
        return page;
    }
    void loadPingers(const std::vector<std::pair<std::string, std::string>>& pages) {
        std::string list;
        for (const auto& [nick, content] : pages) {
            server_.serve("/" + nick, content);
            list += "\"" + workbench().statsType() + "\",\"" + nick + "\",\"URL/" + nick + "\"\r\n";
        }
        startServer();
        const std::string base = url("");
        for (auto pos = list.find("URL"); pos != std::string::npos; pos = list.find("URL")) list.replace(pos, 3, base);
        writeList(list);
    }
};

// A hostile page of very many remailers is read up to the cap, which keeps
// the grid and the memory of the run bounded; a detail line says so. A page
// at the cap is read whole, without it.
TEST_F(Steps, APageOfMoreRemailersThanTheCapIsReadUpToIt) {
    struct Case {
        const char* nick;
        long remailers;
        bool cut;
    };
    const std::vector<Case> cases = {{"big", kMostRemailersPerPage + 5, true}, {"full", kMostRemailersPerPage, false}};
    std::vector<std::pair<std::string, std::string>> pages;
    for (const auto& c : cases) {
        std::vector<std::string> rows;
        for (long i = 0; i < c.remailers; ++i) {
            char row[32];
            std::snprintf(row, sizeof row, "r%07ld  figures", i);
            rows.push_back(row);
        }
        pages.emplace_back(c.nick, Page(rows));
    }
    loadPingers(pages);
    workbench().press("LOA_Pingers");
    workbench().press("LOA_Stats");
    EXPECT_EQ(workbench().box("txt_LOA_Stats"), std::to_string(2 * kMostRemailersPerPage));
    const std::string records = log();
    for (const auto& c : cases) {
        const std::string line = "LOA_StatsArray " + std::string(c.nick) + " PGP-1 lines after the " +
                                 std::to_string(kMostRemailersPerPage) + "th remailer not read";
        EXPECT_EQ(records.find(line) != std::string::npos, c.cut) << c.nick;
        // The cut is no secret of the log: the run's stderr summary names it.
        const std::string named = "Pulsegrid: " + std::string(c.nick) + " PGP-1: only the first " +
                                  std::to_string(kMostRemailersPerPage) + " remailers read\n";
        EXPECT_EQ(workbench().report().summary("Pulsegrid").find(named) != std::string::npos, c.cut) << c.nick;
    }
}

TEST_F(Steps, SuperWithAnEmptyPingerListShowsTheBoxAtEveryLaterStep) {
    writeList("\"MIX-1\",\"alpha\",\"http://127.0.0.1:1/x\"\r\n");  // no record of PGP-1
    workbench().SUPER();
    EXPECT_EQ(workbench().box("txt_LOA_Pingers"), "0");
    // FIX, SRT_Pingers, LOA_Stats, LOA_Pingeds, SRT_Pingeds, EXP, REV, SRT_Stats, PRT.
    EXPECT_EQ(messages_.texts, std::vector<std::string>(9, kNotInitialized));
    EXPECT_EQ(workbench().box("txt_PRT_Compil"), "False");
    EXPECT_EQ(workbench().box("txt_EXP_Stats"), "0");
    EXPECT_FALSE(std::filesystem::exists(data_ / "Comp_DS_PGP-1.txt"));
    // The sorts write no line when their table is not loaded.
    EXPECT_EQ(log().find("SRT_Pingers in Progress"), std::string::npos);
    EXPECT_NE(log().find("\"PRT_Compil Completed: PGP-1 - False\""), std::string::npos);
    // The MIX-1 record was not downloaded.
    EXPECT_FALSE(std::filesystem::exists(data_ / "alpha_mlist.shtml"));
}

TEST_F(Steps, MissingPingerListIsReportedAndLoadsNothing) {
    workbench().press("LOA_Pingers");
    EXPECT_EQ(messages(), std::vector<std::string>{"<data>/Pingers.lst Not found"});
    EXPECT_EQ(workbench().box("txt_LOA_Pingers"), "0");
    EXPECT_FALSE(workbench().table(kPingersTable).loaded());
    EXPECT_FALSE(workbench().choiceEnabled());  // the type stays fixed until RESET
    workbench().RESET();
    EXPECT_TRUE(workbench().choiceEnabled());
}

// A FIFO (or a folder) where the list or a cached page belongs is refused at
// once with a message; a reader that waited on it would hold the run for ever.
TEST_F(Steps, ListsAndPagesThatAreNotRegularFilesAreRefusedWithoutWaiting) {
    const auto list = data_ / "Pingers.lst";
    const std::vector<std::function<void(const std::filesystem::path&)>> makers = {
        [](const auto& path) { ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0); },
        [](const auto& path) { std::filesystem::create_directory(path); },
    };
    for (const auto& make : makers) {
        make(list);
        workbench().RESET();
        messages_.texts.clear();
        workbench().press("LOA_Pingers");
        EXPECT_EQ(messages(), std::vector<std::string>{"<data>/Pingers.lst cannot be read: not a regular file"});
        EXPECT_EQ(workbench().box("txt_LOA_Pingers"), "0");
        std::filesystem::remove(list);
    }

    // The cached page of a pinger that cannot be reached is a FIFO; the other pinger is read.
    loadPingers({{"p2", Page({"alpha    two"})}});
    writeList(ReadFile(list) + "\"PGP-1\",\"p1\",\"http://127.0.0.1:1/x\"\r\n");
    ASSERT_EQ(::mkfifo((data_ / "p1_rlist.shtml").c_str(), 0600), 0);
    workbench().RESET();
    messages_.texts.clear();
    for (const auto& step : {"LOA_Pingers", "FIX_LfToCrLf", "SRT_Pingers", "LOA_Stats"}) workbench().press(step);
    const std::string refused = "<data>/p1_rlist.shtml cannot be read: not a regular file";
    EXPECT_EQ(messages(), (std::vector<std::string>{refused, refused}));  // by the repair and by the reader
    EXPECT_EQ(workbench().box("txt_LOA_Stats"), "1");
}

// The grid is pingers × remailers rows: counted without overflow, and refused
// above 100 million cells, by the expansion and by the pages alike.
TEST_F(Steps, GridsOverTheBoundAreRefusedNamingBothCounts) {
    struct Case {
        std::size_t pingers, remailers;
        bool accepted;
    };
    const Case cases[] = {
        {0, 0, true},
        {1, 100'000'000, true},
        {100'000'000, 1, true},
        {10'000, 10'000, true},
        {10'000, 10'001, false},
        {46'341, 46'341, false},  // just over 2^31
        {65'537, 65'537, false},  // wraps to 131,073 in 32 bits
        {std::size_t(1) << 40, std::size_t(1) << 40, false},
    };
    for (const auto& c : cases) {
        RecordingMessages boxes;
        EXPECT_EQ(GridSizeAccepted(c.pingers, c.remailers, boxes), c.accepted) << c.pingers << " x " << c.remailers;
        if (c.accepted) {
            EXPECT_TRUE(boxes.texts.empty());
        } else {
            ASSERT_EQ(boxes.texts.size(), 1u);
            EXPECT_EQ(boxes.texts[0], std::to_string(c.pingers) + " pingers by " + std::to_string(c.remailers) +
                                          " remailers make a grid larger than 100000000 cells: it is not built");
        }
    }

    // 65,537 pingers and remailers, as a crafted dump could bring them.
    Table& pingers = workbench().table(kPingersTable);
    Table& pingeds = workbench().table(kPingedsTable);
    Table& stats = workbench().table(kMainTable);
    for (int i = 0; i < 65'537; ++i) {
        pingers.setText(kPingerNick, pingers.addRow(kPingerColumnCount), "p" + std::to_string(i));
        pingeds.setText(0, pingeds.addRow(1), "r" + std::to_string(i));
    }
    stats.setText(kStatsNick, stats.addRow(kStatsColumnCount), "p0");
    stats.setText(kStatsName, 0, "r0");
    const std::string refused =
        "65537 pingers by 65537 remailers make a grid larger than 100000000 cells: it is not built";
    workbench().press("EXP_Stats");
    EXPECT_EQ(workbench().box("txt_EXP_Stats"), "0");
    EXPECT_EQ(stats.rowCount(), 1);
    workbench().press("PRT_Compil");
    EXPECT_EQ(workbench().box("txt_PRT_Compil"), "False");
    EXPECT_EQ(messages_.texts, (std::vector<std::string>{refused, refused}));
    EXPECT_FALSE(std::filesystem::exists(data_ / "Comp_DS_PGP-1.txt"));
}

TEST_F(Steps, ParsingKeepsTheFirstLinePerRemailerAndCutsAtTheVersionsColumn) {
    loadPingers({{"p1", Page({"abcdefghijklm rest", "abcdefghiZZZ second", "bramble  x", "Bramble  kept", "short", "",
                              "after the end"})}});
    workbench().press("LOA_Pingers");
    workbench().press("LOA_Stats");
    const Table& stats = workbench().table(kMainTable);
    ASSERT_EQ(stats.rowCount(), 3);
    EXPECT_EQ(stats.text(kStatsName, 0), "abcdefghi");
    EXPECT_EQ(stats.text(kStatsText, 0), "jklm rest");  // from position 10
    EXPECT_EQ(stats.text(kStatsName, 1), "Bramble");
    EXPECT_EQ(stats.text(kStatsName, 2), "short");
    EXPECT_EQ(stats.cell(kStatsText, 2), Cell::FromText(""));  // a short line: an empty stats text
    EXPECT_EQ(workbench().table(kPingersTable).text(kPingerUpdate, 0), "2012/11/30 10:20:00");
}

TEST_F(Steps, VersionTwoTextStartsAtPosition14) {
    workbench().chooseType(3);
    const std::string line = "austria      000000000000    :28   ++++++++++++  100.0%  D  MHG XATLEUIN9";
    loadPingers({{"p1", "Generated: Sat 1 Dec 2012 00:00:00 GMT\r\nh\r\nh\r\n" + line + "\r\n</PRE>\r\nx y\r\n"}});
    workbench().press("LOA_Pingers");
    workbench().press("LOA_Stats");
    EXPECT_EQ(workbench().box("txt_LOA_Stats"), "1");
    EXPECT_EQ(workbench().table(kMainTable).text(kStatsText, 0), line.substr(13));
}

TEST_F(Steps, PagesThatEndEarlyOrCarryAnUnreadableTimeAreReportedAndSkipped) {
    loadPingers({{"cut", "Last update: Fri 30 Nov 2012 10:20:00 GMT\r\nonly one heading\r\n"},
                 {"odd", Page({"alpha    figures"}, "sometime soon")},
                 {"none", "no update line here\r\nalpha    x\r\n"}});
    workbench().press("LOA_Pingers");
    workbench().press("LOA_Stats");
    EXPECT_EQ(messages(), std::vector<std::string>{"<data>/cut_rlist.shtml ends before its stats table"});
    // The odd time is reported in the feedback; its rows still count.
    EXPECT_NE(log().find("LOA_StatsArray odd PGP-1 update time not understood: sometime soon"), std::string::npos);
    EXPECT_EQ(workbench().box("txt_LOA_Stats"), "1");
    EXPECT_EQ(workbench().table(kPingersTable).text(kPingerUpdate, 1), "");

    // A page that has disappeared since the download.
    std::filesystem::remove(data_ / "none_rlist.shtml");
    workbench().press("LOA_Stats");
    EXPECT_EQ(messages().back(), "<data>/none_rlist.shtml Not found");
}

TEST_F(Steps, APingerListedTwiceInARestoredTableStillGivesOneRowPerRemailer) {
    loadPingers({{"p1", Page({"alpha    one", "beta     two"})}, {"p2", Page({"alpha    three"})}});
    workbench().press("LOA_Pingers");
    // As a dump edited by hand could leave it: p1, p2, p1.
    Table& pingers = workbench().table(kPingersTable);
    pingers.growRow();
    pingers.setRow(2, pingers.copyRow(0));
    workbench().press("LOA_Stats");
    EXPECT_EQ(workbench().box("txt_LOA_Stats"), "3");
    workbench().press("LOA_Pingeds");
    workbench().press("EXP_Stats");
    EXPECT_EQ(workbench().box("txt_EXP_Stats"), "6");        // the grid size counts p1 twice...
    EXPECT_EQ(workbench().table(kMainTable).rowCount(), 4);  // ...but only p2 × beta was missing
}

TEST_F(Steps, ExpandRefusesWhileThePingersOrPingedsAreNotLoaded) {
    loadPingers({{"p1", Page({"alpha    one"})}});
    workbench().press("LOA_Pingers");
    workbench().press("LOA_Stats");
    workbench().press("EXP_Stats");  // LOA_Pingeds not run yet
    EXPECT_EQ(workbench().box("txt_EXP_Stats"), "0");
    EXPECT_EQ(messages_.texts, std::vector<std::string>{kNotInitialized});
    EXPECT_EQ(workbench().table(kMainTable).rowCount(), 1);
}

TEST_F(Steps, GridHasOneRowPerPairOrderedRemailerByRemailer) {
    loadPingers({{"p2", Page({"beta     b2", "alpha    a2"})}, {"p1", Page({"gamma    g1", "alpha    a1"})}});
    for (const auto& step : {"LOA_Pingers", "FIX_LfToCrLf", "SRT_Pingers", "LOA_Stats", "LOA_Pingeds", "SRT_Pingeds",
                             "EXP_Stats", "REV_Stats", "SRT_Stats"})
        workbench().press(step);
    EXPECT_EQ(workbench().box("txt_EXP_Stats"), "6");  // the grid size, not the rows added
    const Table& stats = workbench().table(kMainTable);
    ASSERT_EQ(stats.rowCount(), 6);
    const std::vector<std::string> keys = {"alpha    p1       ", "alpha    p2       ", "beta     p1       ",
                                           "beta     p2       ", "gamma    p1       ", "gamma    p2       "};
    for (int r = 0; r < 6; ++r) EXPECT_EQ(stats.text(kStatsKey, r), keys[r]) << r;
    // Rows added by the expansion have no stats text at all.
    EXPECT_EQ(stats.cell(kStatsText, 2).kind, Cell::Kind::Empty);
    // Expanding again adds nothing.
    workbench().press("EXP_Stats");
    EXPECT_EQ(stats.rowCount(), 6);
}

TEST_F(Steps, DumpsSurviveSaveRestoreSaveAndMissingDumpsAreReported) {
    loadPingers({{"p1", Page({"alpha    one"})}, {"p2", Page({"beta     two"})}});
    for (const auto& step : {"LOA_Pingers", "SRT_Pingers", "LOA_Stats", "LOA_Pingeds", "SRT_Pingeds", "EXP_Stats",
                             "REV_Stats", "SRT_Stats"})
        workbench().press(step);
    std::vector<std::string> first;
    for (int t = 0; t < 3; ++t) {
        workbench().save(t);
        first.push_back(ReadFile(workbench().dumpPath(t)));
    }
    EXPECT_EQ(workbench().box("txt_DMP_Stats"), "4");
    // An expanded row: the pinger, the remailer, nothing, the key.
    EXPECT_NE(first[2].find("\"p1\",\"beta\",,\"beta     p1       \"\r\n"), std::string::npos);
    EXPECT_EQ(workbench().dumpPath(0).filename(), "DMP-S_PingersArray.tmp");

    const Table before = workbench().table(kMainTable);
    for (int t = 0; t < 3; ++t) {
        workbench().table(t).reset();
        const int rows = workbench().restore(t);
        EXPECT_EQ(rows, workbench().count(t));
        EXPECT_GT(rows, 0);
        workbench().save(t);
        EXPECT_EQ(ReadFile(workbench().dumpPath(t)), first[t]) << t;
    }
    EXPECT_EQ(workbench().table(kMainTable), before);

    workbench().RESET();
    for (int t = 0; t < 3; ++t) EXPECT_FALSE(std::filesystem::exists(workbench().dumpPath(t)));
    EXPECT_EQ(workbench().box("txt_DMP_Stats"), "");
    EXPECT_EQ(workbench().restore(kPingedsTable), 0);
    EXPECT_EQ(messages(), std::vector<std::string>{"<data>/DMP-S_PingedsArray.tmp Not found"});
    // Saving a table that is not loaded writes nothing and shows 0.
    EXPECT_EQ(workbench().save(kMainTable), 0);
    EXPECT_EQ(workbench().box("txt_DMP_Stats"), "0");
    EXPECT_FALSE(std::filesystem::exists(workbench().dumpPath(kMainTable)));
}

TEST_F(Steps, OutputViewOpensTwoOrThreeTextPagesAndDumpViewsUseTheEditor) {
    workbench().chooseType(1);
    workbench().viewOutput();
    EXPECT_EQ(launcher_.started.size(), 2u);
    workbench().chooseType(3);
    workbench().viewOutput();
    ASSERT_EQ(launcher_.started.size(), 5u);
    EXPECT_EQ(launcher_.started[4], "EditPad.exe \"" + (data_ / "Comp_RC_MIX-2.txt").string() + "\"");
    workbench().viewDump(kMainTable);
    EXPECT_EQ(launcher_.started.back(), "EditPad.exe \"" + (data_ / "DMP-S_StatsArray.tmp").string() + "\"");
}

// Tables as a hand-restored dump could leave them: nicks equal in their first
// nine characters and a remailer row out of order. Cells still land under
// their own pinger.
TEST(StatsPages, CellsAreFoundByPingerAndRemailer) {
    Table pingers, pingeds, stats;
    pingers.create(3);
    pingers.setText(0, 0, "pingerlongA");
    pingers.setText(1, 0, "http://a/");
    pingers.setText(2, 0, "2012/11/30 10:20:00");
    pingers.growRow();
    pingers.setText(0, 1, "pingerlongB");
    pingers.setText(1, 1, "http://b/");
    pingeds.create(1);
    pingeds.setText(0, 0, "alpha");
    stats.create(4);
    stats.setText(0, 0, "pingerlongB");
    stats.setText(1, 0, "alpha");
    stats.setText(2, 0, "               B-figures  ");
    const StatsPageInput in{pingers, pingeds, stats, "PGP-1", "2026/12/07 11:30:05"};
    const auto lines = CrLfLines(ReverseTextPage(in));
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[4], "pingerlong 2012/11/30 10:20:0|" + std::string(29, ' ') + "|");
    EXPECT_EQ(lines[5], "pingerlong                   |" + PadField("               B-figures  ", 29) + "|");

    const auto direct = CrLfLines(DirectTextPage(in));
    EXPECT_EQ(direct[2], "         |pingerlongA     |pingerlongB     |");
    EXPECT_EQ(direct[6], "alpha    |                |     B-figures  |");
}

TEST(StatsPages, WebCellsEscapeRemoteTextAndTurnBlanksIntoUnderscores) {
    Table pingers, pingeds, stats;
    pingers.create(3);
    pingers.setText(0, 0, "p1");
    pingers.setText(1, 0, "http://p1.example.org/rlist.html");
    pingeds.create(1);
    pingeds.setText(0, 0, "<i>x\"");
    stats.create(4);
    stats.setText(0, 0, "p1");
    stats.setText(1, 0, "<i>x\"");
    stats.setText(2, 0, "history  <b>:00  9&.00%");
    const auto lines = CrLfLines(DirectWebPage({pingers, pingeds, stats, "PGP-1", "2026/12/07 11:30:05"}));
    const auto at = [&](const std::string& start) {
        for (std::size_t i = 0; i < lines.size(); ++i)
            if (lines[i].starts_with(start)) return i;
        return lines.size();
    };
    const std::size_t row = at("    <td width=\"40\" height=\"34\"><strong><font color=\"#0000FF\">");
    ASSERT_LT(row + 2, lines.size());
    EXPECT_EQ(
        lines[row],
        "    <td width=\"40\" height=\"34\"><strong><font color=\"#0000FF\">&lt;i&gt;x&quot;</font></strong></td>");
    // The last 16 characters are "  <b>:00  9&.00%": the first 8 and the last 7 of them.
    EXPECT_EQ(lines[row + 1], "    <td width=\"40\" height=\"34\">__&lt;b&gt;:00</td>");
    EXPECT_EQ(lines[row + 2], "    <td width=\"40\" height=\"34\">_9&amp;.00%</td>");
    EXPECT_EQ(lines[at("    <td width=\"40\" height=\"34\" colspan=\"2\">")],
              "    <td width=\"40\" height=\"34\" colspan=\"2\"><strong><a href=\"http://p1.example.org/rlist.html\" "
              "TARGET=\"_blank\">p1</a></font></strong> <strong><a href=\"p1_rlist.shtml\" TARGET=\"_blank\">K</a>"
              "</font></strong>  _GMT</td>");
    EXPECT_EQ(lines.back(), "</html>");
}

}  // namespace
}  // namespace parlux::test
