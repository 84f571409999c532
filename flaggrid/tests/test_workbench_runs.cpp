// Flaggrid on the workbench: the run log of SUPER and HYPER, RESET, the
// dumps with their date column, and the output view.
#include <algorithm>

#include "flaggrid/tests/FlaggridFixture.h"

namespace parlux::test {
namespace {

class RecordingView final : public WorkbenchView {
public:
    void boxChanged(const std::string& box, const std::string& text) override { boxes.push_back(box + "=" + text); }
    void busyChanged(bool busy) override { busyStates.push_back(busy); }
    void choiceEnabledChanged(bool enabled) override { choiceStates.push_back(enabled); }
    std::vector<std::string> boxes;
    std::vector<bool> busyStates, choiceStates;
};

class WorkbenchRunTest : public FlaggridTest {
protected:
    // Two pingers, three remailers; zeta's page holds one line that cannot be cut.
    void writeTwoPingers() {
        writeList(
            "\"MIX-2\",\"zeta\",\"http://zeta.example/mlist2.html\"\r\n"
            "\"PGP-2\",\"frank\",\"http://frank.example/rlist2.html\"\r\n");
        std::string zeta = Version2List("Mixmaster", {{"bravo", "mix@bravo.example.net", "cpunk mix"}});
        zeta += "$remailer{\"broken\"} = \"<broken@example.net cpunk\";\n";
        writePage("MIX-2", "zeta", HtmlPage("Mixmaster list", zeta));
        writePage("PGP-2", "frank",
                  HtmlPage("Cypherpunk list", Version2List("Cypherpunk", {{"charlie", "c@example.org", "cpunk"},
                                                                          {"alpha", "a@example.com", "mix"},
                                                                          {"bravo", "b@example.net", "latent"}})));
    }
    static std::string record(const std::string& top, const std::string& detail = " ") {
        return "#2024-03-05 10:00:00#,\"" + top + "\",\"" + detail + "\"";
    }
};

TEST_F(WorkbenchRunTest, SuperLogsEveryActionInItsOrderWithoutAType) {
    writeTwoPingers();
    RecordingView view;
    workbench().setView(&view);
    workbench().SUPER();
    const std::vector<std::string> expected = {
        record("SUPER in Progress: "),
        record("RESET in Progress: "),
        record("RESET Completed: "),
        record("LOA_Pingers in Progress: "),
        record("LOA_Pingers Completed:  - 2"),
        record("SRT_Pingers in Progress: "),
        record("SRT_Pingers Completed: "),
        record("LOA_CapStrings in Progress: "),
        record("LOA_CapStrings in Progress: ",
               "zeta capability line skipped, it cannot be cut: "
               "$remailer{&quot;broken&quot;} = &quot;&lt;broken@example.net cpunk&quot;;"),
        record("LOA_CapStrings Completed:  - 4"),
        record("LOA_Pingeds in Progress: "),
        record("LOA_Pingeds Completed:  - 3"),
        record("SRT_Pingeds in Progress: "),
        record("SRT_Pingeds Completed: "),
        record("EXP_CapStrings in Progress: "),
        record("EXP_CapStrings Completed:  - 6"),
        record("REV_CapStrings in Progress: "),
        record("REV_CapStrings Completed:  - 6"),
        record("SRT_CapStrings in Progress: "),
        record("SRT_CapStrings Completed: "),
        record("PRT_Compil in Progress: "),
        record("PRT_Compil Completed:  - True"),
        record("SUPER Completed: "),
    };
    EXPECT_EQ(logRecords(), expected);
    EXPECT_EQ(view.busyStates, (std::vector<bool>{true, false}));
    // Nothing ever disables the choice frame.
    EXPECT_EQ(std::count(view.choiceStates.begin(), view.choiceStates.end(), false), 0);
    EXPECT_TRUE(messages().empty());
    EXPECT_TRUE(reportExists());
    workbench().setView(nullptr);
}

TEST_F(WorkbenchRunTest, SortOfThePingersKeepsTheDetailLineOthersBlankIt) {
    writeTwoPingers();
    workbench().press("LOA_Pingers");
    feedback_.feedBack("", "left by an earlier step", 0);
    workbench().press("SRT_Pingers");
    workbench().press("LOA_CapStrings");
    const auto records = logRecords();
    ASSERT_GE(records.size(), 6u);
    const std::vector<std::string> tail(records.end() - 5, records.end());
    EXPECT_EQ(tail, (std::vector<std::string>{
                        record("SRT_Pingers in Progress: ", "left by an earlier step"),
                        record("SRT_Pingers Completed: ", "left by an earlier step"),
                        record("LOA_CapStrings in Progress: "),
                        record("LOA_CapStrings in Progress: ",
                               "zeta capability line skipped, it cannot be cut: "
                               "$remailer{&quot;broken&quot;} = &quot;&lt;broken@example.net cpunk&quot;;"),
                        record("LOA_CapStrings Completed:  - 4"),
                    }));
}

TEST_F(WorkbenchRunTest, HyperRunsSuperOnceThenResetsAndStartsNothing) {
    writeTwoPingers();
    workbench().HYPER();
    const auto records = logRecords();
    ASSERT_GE(records.size(), 4u);
    EXPECT_EQ(records.front(), record("HYPER in Progress: "));
    EXPECT_EQ(records[1], record("SUPER in Progress: "));
    EXPECT_EQ(std::count(records.begin(), records.end(), record("SUPER in Progress: ")), 1);
    const std::vector<std::string> tail(records.end() - 4, records.end());
    EXPECT_EQ(tail, (std::vector<std::string>{record("SUPER Completed: "), record("RESET in Progress: "),
                                              record("RESET Completed: "), record("HYPER Completed: ")}));
    EXPECT_TRUE(launcher_.started.empty());
    EXPECT_TRUE(reportExists());
    for (int t = 0; t < 3; ++t) EXPECT_FALSE(workbench().table(t).loaded()) << t;
}

// A list with no record: HYPER stops after LOA_Pingers, with no box, and
// its summary is the one line that says why.
TEST_F(WorkbenchRunTest, HyperOnAnEmptyListSaysWhyInOneLine) {
    writeList("\r\n");
    workbench().setUnattended(true);
    workbench().HYPER();
    EXPECT_TRUE(messages().empty());
    EXPECT_TRUE(workbench().report().failed());
    EXPECT_EQ(withoutDataFolder(workbench().report().summary("Flaggrid")),
              "Flaggrid: <data>/Pingers.lst holds no pinger record: no page written\n");
    EXPECT_FALSE(reportExists());
}

TEST_F(WorkbenchRunTest, ResetEmptiesTheNineBoxesAndErasesTheDumps) {
    writeTwoPingers();
    workbench().SUPER();
    for (int t = 0; t < 3; ++t) EXPECT_GT(workbench().save(t), 0) << t;
    for (const char* dump : {"DMP-C_PingersArray.tmp", "DMP-C_PingedsArray.tmp", "DMP-C_CapStringsArray.tmp"})
        EXPECT_TRUE(std::filesystem::exists(data_ / dump)) << dump;

    RecordingView view;
    workbench().setView(&view);
    workbench().RESET();
    workbench().setView(nullptr);
    EXPECT_EQ(view.boxes, (std::vector<std::string>{"txt_DMP_Pingers=", "txt_DMP_Pingeds=", "txt_DMP_CapStrings=",
                                                    "txt_LOA_Pingers=", "txt_LOA_Pingeds=", "txt_LOA_CapStrings=",
                                                    "txt_EXP_CapStrings=", "txt_REV_CapStrings=", "txt_PRT_Compil="}));
    for (const char* dump : {"DMP-C_PingersArray.tmp", "DMP-C_PingedsArray.tmp", "DMP-C_CapStringsArray.tmp"})
        EXPECT_FALSE(std::filesystem::exists(data_ / dump)) << dump;
    for (int t = 0; t < 3; ++t) EXPECT_FALSE(workbench().table(t).loaded()) << t;
    // The report stays.
    EXPECT_TRUE(reportExists());
}

TEST_F(WorkbenchRunTest, PrintAfterResetIsFalseAndWritesNoReport) {
    writeTwoPingers();
    workbench().RESET();
    workbench().press("PRT_Compil");
    EXPECT_EQ(workbench().box("txt_PRT_Compil"), "False");
    EXPECT_EQ(messages(), std::vector<std::string>{kArrayMessage});
    EXPECT_FALSE(reportExists());
    EXPECT_EQ(logRecords().back(), record("PRT_Compil Completed:  - False"));
}

TEST_F(WorkbenchRunTest, UnwritableReportIsReportedAndFalse) {
    writeTwoPingers();
    std::filesystem::create_directory(data_ / "Comp_RC_0000.txt");  // a folder where the report should go
    workbench().SUPER();
    EXPECT_EQ(workbench().box("txt_PRT_Compil"), "False");
    EXPECT_EQ(messages(), std::vector<std::string>{"<data>/Comp_RC_0000.txt cannot be written"});
}

TEST_F(WorkbenchRunTest, DumpsRoundTripWithThePageDateAsADate) {
    ScopedTimeZone utc("UTC0");
    writeTwoPingers();
    SetFileTime(data_ / "zeta_mlist2.shtml", MakeDateTime(2024, 3, 1, 12, 30, 15), 250);
    SetFileTime(data_ / "frank_rlist2.shtml", MakeDateTime(2024, 3, 1, 0, 0, 0));
    for (const char* action :
         {"LOA_Pingers", "SRT_Pingers", "LOA_CapStrings", "LOA_Pingeds", "SRT_Pingeds", "EXP_CapStrings"})
        workbench().press(action);

    const auto pingersDump = data_ / "DMP-C_PingersArray.tmp";
    EXPECT_EQ(workbench().save(kPingersTable), 2);
    const std::string saved = ReadFile(pingersDump);
    EXPECT_EQ(withoutDataFolder(saved),
              "\"PGP-2\",\"frank\",\"http://frank.example/rlist2.html\",\"<data>/frank_rlist2.shtml\",#2024-03-01#\r\n"
              "\"MIX-2\",\"zeta\",\"http://zeta.example/mlist2.html\",\"<data>/zeta_mlist2.shtml\","
              "#2024-03-01 12:30:15#\r\n");
    const Table before = workbench().table(kPingersTable);
    workbench().RESET();
    WriteFile(pingersDump, saved);
    EXPECT_EQ(workbench().restore(kPingersTable), 2);
    EXPECT_EQ(workbench().box("txt_DMP_Pingers"), "2");
    EXPECT_EQ(workbench().table(kPingersTable), before);
    EXPECT_EQ(workbench().table(kPingersTable).cell(kCapPingerDate, 1).kind, Cell::Kind::Date);
    EXPECT_EQ(workbench().save(kPingersTable), 2);
    EXPECT_EQ(ReadFile(pingersDump), saved);
}

TEST_F(WorkbenchRunTest, ExpandedRowsDumpTheirNeverWrittenCellsAsNothing) {
    writeTwoPingers();
    for (const char* action :
         {"LOA_Pingers", "SRT_Pingers", "LOA_CapStrings", "LOA_Pingeds", "SRT_Pingeds", "EXP_CapStrings"})
        workbench().press(action);
    const Table before = workbench().table(kMainTable);
    workbench().saveAndViewDump(kMainTable);
    const std::string saved = ReadFile(data_ / "DMP-C_CapStringsArray.tmp");
    const auto lines = CrLfLines(saved);
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[3], "\"zeta\",\"bravo\",\"mix@bravo.example.net\",\"cpunk mix\",");
    EXPECT_EQ(lines[4], "\"zeta\",\"alpha\",,,");
    EXPECT_EQ(lines[5], "\"zeta\",\"charlie\",,,");
    EXPECT_EQ(workbench().restore(kMainTable), 6);
    EXPECT_EQ(workbench().table(kMainTable), before);
    ASSERT_EQ(launcher_.started.size(), 1u);
    EXPECT_EQ(withoutDataFolder(launcher_.started[0]), "EditPad.exe \"<data>/DMP-C_CapStringsArray.tmp\"");
}

TEST_F(WorkbenchRunTest, OutputViewOpensTheReportLikeADump) {
    workbench().viewOutput();
    ASSERT_EQ(launcher_.started.size(), 1u);
    EXPECT_EQ(withoutDataFolder(launcher_.started[0]), "EditPad.exe \"<data>/Comp_RC_0000.txt\"");
    workbench().viewDump(kPingersTable);
    ASSERT_EQ(launcher_.styles.size(), 2u);
    EXPECT_EQ(launcher_.styles[0], launcher_.styles[1]);
}

}  // namespace
}  // namespace parlux::test
