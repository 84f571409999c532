#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "common/core/DataFolder.h"
#include "common/core/DateTime.h"
#include "common/core/Feedback.h"
#include "common/core/Files.h"
#include "common/core/GmtOffset.h"
#include "common/core/Process.h"
#include "common/core/RunLog.h"
#include "common/core/Sinks.h"
#include "common/core/StatsTypes.h"
#include "common/core/Table.h"
#include "common/core/TextFields.h"
#include "testsupport/TestSupport.h"

namespace parlux {
namespace {

namespace fs = std::filesystem;
using test::FixedClock;
using test::ReadFile;
using test::RecordingMessages;
using test::ScopedEnv;
using test::TempDir;
using test::WriteFile;

TEST(Common, StatsFileNames) {
    EXPECT_EQ(StatsFileName("MIX-2", "alpha"), "alpha_mlist2.shtml");
    EXPECT_EQ(StatsFileName("PGP-1", "alpha"), "alpha_rlist.shtml");
    EXPECT_EQ(StatsFileName("MIX-1", "alpha"), "alpha_mlist.shtml");
    EXPECT_EQ(StatsFileName("PGP-2", "alpha"), "alpha_rlist2.shtml");
    EXPECT_EQ(StatsFileName("K-TY2", "b"), "b_type2.lis");
    EXPECT_EQ(StatsFileName("K-MIX", "b"), "b_pubring.mix");
    EXPECT_EQ(StatsFileName("K-RSA", "b"), "b_rsakeys.asc");
    EXPECT_EQ(StatsFileName("K-DSS", "b"), "b_dsskeys.asc");
    EXPECT_EQ(StatsFileName("mix-2", "alpha"), "");  // codes are case-sensitive
    EXPECT_EQ(StatsFileName("MIX-2 ", "alpha"), "");
    EXPECT_EQ(StatsFileName("", "alpha"), "");
}

TEST(Common, PadField) {
    EXPECT_EQ(PadField("abc", 5), "abc  ");
    EXPECT_EQ(PadField("abcdefgh", 5), "abcde");
    EXPECT_EQ(PadField("", 3), "   ");
    EXPECT_EQ(PadField("abc", 3), "abc");
    EXPECT_EQ(PadField("abc", 0), "");
    EXPECT_EQ(PadField("abc", -4), "");
}

// Valid UTF-8 is counted and cut in whole characters; anything else in bytes.
TEST(Common, PadFieldCountsCharactersOfUtf8) {
    struct Case {
        std::string text;
        int width;
        std::string field;
    };
    const std::vector<Case> cases = {
        {"abcdefgh\xC3\xA9", 9, "abcdefgh\xC3\xA9"},  // é is one character
        {"abcdefgh\xC3\xA9z", 9, "abcdefgh\xC3\xA9"},
        {"abcdefghi\xC3\xA9", 9, "abcdefghi"},                                 // never half of it
        {"\xC3\xA9t\xC3\xA9", 5, "\xC3\xA9t\xC3\xA9  "},                       // padded to five characters
        {"\xE2\x82\xAC\xF0\x9F\x98\x80x", 2, "\xE2\x82\xAC\xF0\x9F\x98\x80"},  // three and four bytes
        {"caf\xE9 latin-1", 4, "caf\xE9"},                                     // not UTF-8: bytes
        {"caf\xE9", 6, "caf\xE9  "},
        {"ab\xC3", 3, "ab\xC3"},  // a sequence cut short: bytes
        {"\xC3\xA9\xC3", 2, "\xC3\xA9"},
        {"\xC0\xAF"
         "ab",
         2, "\xC0\xAF"},  // an overlong form is no UTF-8
        {"\xED\xA0\x80"
         "a",
         2, "\xED\xA0"},                      // nor is a surrogate
        {"\xF4\x90\x80\x80", 2, "\xF4\x90"},  // nor a value above U+10FFFF
    };
    for (const auto& c : cases) EXPECT_EQ(PadField(c.text, c.width), c.field) << c.text << " " << c.width;
}

TEST(Common, ArrayNotInitialized) {
    RecordingMessages messages;
    Table never;
    EXPECT_TRUE(ArrayNotInitialized(never, messages));
    ASSERT_EQ(messages.texts.size(), 1u);
    EXPECT_EQ(messages.texts[0], "9\r\nSubscript out of range\r\nArray not Initialized");

    Table table;
    table.create(3);
    EXPECT_FALSE(ArrayNotInitialized(table, messages));
    EXPECT_EQ(messages.texts.size(), 1u);  // no box when loaded

    table.reset();
    EXPECT_TRUE(ArrayNotInitialized(table, messages));
    EXPECT_EQ(messages.texts.size(), 2u);
}

TEST(Common, DeleteIfExists) {
    TempDir dir;
    const fs::path file = dir / "DMP-S_PingersArray.tmp";
    WriteFile(file, "x");
    DeleteIfExists(file);
    EXPECT_FALSE(fs::exists(file));
    fs::create_directory(dir / "folder");
    WriteFile(dir / "folder" / "inside", "kept");
    DeleteIfExists(dir / "folder");  // only files are deleted
    EXPECT_EQ(ReadFile(dir / "folder" / "inside"), "kept");
    // A link is deleted as a link: its target stays.
    WriteFile(dir / "target", "kept");
    fs::create_symlink(dir / "target", dir / "link");
    DeleteIfExists(dir / "link");
    EXPECT_FALSE(fs::is_symlink(dir / "link"));
    EXPECT_EQ(ReadFile(dir / "target"), "kept");
}

TEST(Common, DataFolder) {
    {
        ScopedEnv data("PARLUX_DATA", "/srv/parlux-data");
        EXPECT_EQ(DataFolder(), fs::path("/srv/parlux-data"));
        EXPECT_EQ(DataPath("Pingers.lst"), fs::path("/srv/parlux-data/Pingers.lst"));
    }
    ScopedEnv home("HOME", "/home/quill");
    {
        ScopedEnv data("PARLUX_DATA", "");
        EXPECT_EQ(DataFolder(), fs::path("/home/quill/Parlux"));
    }
    ScopedEnv data("PARLUX_DATA", nullptr);
    EXPECT_EQ(DataFolder(), fs::path("/home/quill/Parlux"));
    EXPECT_EQ(DefaultDataFolder(), fs::path("/home/quill/Parlux"));
    // Without HOME (cron, service managers) the password database names the home folder.
    const passwd* self = ::getpwuid(::getuid());
    ASSERT_NE(self, nullptr);
    for (const char* unset : {static_cast<const char*>(nullptr), ""}) {
        ScopedEnv noHome("HOME", unset);
        EXPECT_EQ(DataFolder(), fs::path(self->pw_dir) / "Parlux");
        ScopedEnv given("PARLUX_DATA", "/srv/parlux-data");
        EXPECT_EQ(DataFolder(), fs::path("/srv/parlux-data"));
    }
}

// A user without HOME and without an entry in the password database has no
// data folder: a clear failure, never a folder shared with other users.
TEST(Common, DataFolderOfAUserWithoutHomeFails) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to become a user without a password entry";
    uid_t stranger = 54321;
    while (::getpwuid(stranger)) ++stranger;
    const std::string said = test::AnswerAsUser(stranger, [] {
        ::unsetenv("HOME");
        ::unsetenv("PARLUX_DATA");
        try {
            return "folder " + DataFolder().string();
        } catch (const DataFolderError& e) {
            return std::string(e.what());
        }
    });
    EXPECT_EQ(said, "No data folder: HOME is not set and user " + std::to_string(stranger) +
                        " has no home folder in the password database; set HOME or PARLUX_DATA");
}

TEST(Common, ProgramFolderAndRunLogPath) {
    EXPECT_EQ(fs::canonical(ProgramFolder()), fs::canonical(test::BinDir()));
    EXPECT_EQ(ProgramName(), "core_tests");
    EXPECT_EQ(RunLogPath(), ProgramFolder() / "core_tests.log");
}

TEST(Common, ARunLogThatCannotStandBesideTheProgramGoesToTheUsersStateFolder) {
    TempDir home;
    ScopedEnv setHome("HOME", home.path().c_str());
    ScopedEnv noState("XDG_STATE_HOME", nullptr);
    const fs::path unwritable = home / "no-such-folder";
    EXPECT_EQ(RunLogPath(home.path(), "Pulsegrid"), home / "Pulsegrid.log");
    EXPECT_EQ(RunLogPath(unwritable, "Pulsegrid"), home / ".local/state/parlux/Pulsegrid.log");
    EXPECT_TRUE(fs::is_directory(home / ".local/state/parlux"));
    const std::string state = (home / "state").string();
    ScopedEnv setState("XDG_STATE_HOME", state.c_str());
    EXPECT_EQ(RunLogPath(unwritable, "Lockgrid"), home / "state/parlux/Lockgrid.log");
}

// ---- run log and feedback ----------------------------------------------------

TEST(CommonRunLog, ResetLogEmptiesThisProgramsLog) {
    const auto path = RunLogPath();
    WriteFile(path, "#2003-04-12 13:45:02#,\"old\",\" \"\r\n");
    ResetLog();
    ASSERT_TRUE(std::filesystem::exists(path));
    EXPECT_EQ(std::filesystem::file_size(path), 0u);
    std::filesystem::remove(path);
    ResetLog();  // a missing log is created empty
    EXPECT_TRUE(std::filesystem::exists(path));
    std::filesystem::remove(path);
}

TEST(CommonRunLog, RecordsAreAppendedAsWritten) {
    TempDir dir;
    const RunLog log(dir / "Pulsegrid.log");
    log.reset();  // creates it
    ASSERT_TRUE(fs::exists(log.path()));
    EXPECT_EQ(ReadFile(log.path()), "");

    const std::string first = log.append(MakeDateTime(2003, 4, 12, 13, 45, 2), "LOA_Pingers in Progress: MIX-2", " ");
    EXPECT_EQ(first, "#2003-04-12 13:45:02#,\"LOA_Pingers in Progress: MIX-2\",\" \"");
    // Midnight is written as the date alone; quotes go in as they are.
    const std::string second = log.append(MakeDateTime(2003, 4, 13), "say \"hi\"", "");
    EXPECT_EQ(second, "#2003-04-13#,\"say \"hi\"\",\"\"");
    EXPECT_EQ(ReadFile(log.path()), first + "\r\n" + second + "\r\n");

    log.reset();  // empties it
    EXPECT_EQ(ReadFile(log.path()), "");

    const RunLog nowhere(dir / "missing" / "x.log");
    EXPECT_THROW(nowhere.append(MakeDateTime(2003, 1, 1), "a", "b"), fs::filesystem_error);
    EXPECT_THROW(nowhere.reset(), fs::filesystem_error);
}

class RecordingDisplay final : public FeedbackDisplay {
public:
    void showLines(const std::string& top, const std::string& detail) override {
        calls.push_back("show " + top + "|" + detail);
    }
    void pause(int milliseconds) override { calls.push_back("pause " + std::to_string(milliseconds)); }
    void processEvents() override {
        calls.push_back("events");
        if (onEvents) {
            auto action = std::move(onEvents);
            onEvents = nullptr;
            action();
        }
    }
    void logged(const std::string& record) override { calls.push_back("logged " + record); }

    std::vector<std::string> calls;
    std::function<void()> onEvents;  // runs once, from the next processEvents
};

TEST(CommonRunLog, FeedBackSteps) {
    TempDir dir;
    FixedClock clock(MakeDateTime(2003, 4, 12, 13, 45, 2), MakeDateTime(2003, 4, 12, 18, 45, 2));
    RecordingDisplay display;
    FeedbackLines lines(RunLog(dir / "p.log"), clock, &display);

    lines.feedBack("LOA_Pingers in Progress: PGP-1", " ", 250);
    EXPECT_EQ(lines.top(), "LOA_Pingers in Progress: PGP-1");
    EXPECT_EQ(lines.detail(), " ");
    const std::string record1 = "#2003-04-12 13:45:02#,\"LOA_Pingers in Progress: PGP-1\",\" \"";
    EXPECT_EQ(display.calls, (std::vector<std::string>{"show LOA_Pingers in Progress: PGP-1| ", "pause 250", "events",
                                                       "logged " + record1, "events"}));

    // Empty texts leave the lines; no pause asked, none made; same second, same stamp.
    display.calls.clear();
    lines.feedBack("", "alpha PGP-1 Downloading ", 0);
    lines.feedBack("", "", 0);
    EXPECT_EQ(lines.top(), "LOA_Pingers in Progress: PGP-1");
    const std::string record2 = "#2003-04-12 13:45:02#,\"LOA_Pingers in Progress: PGP-1\",\"alpha PGP-1 Downloading \"";
    EXPECT_EQ(display.calls, (std::vector<std::string>{"show LOA_Pingers in Progress: PGP-1|alpha PGP-1 Downloading ",
                                                       "events", "logged " + record2, "events",
                                                       "show LOA_Pingers in Progress: PGP-1|alpha PGP-1 Downloading ",
                                                       "events", "logged " + record2, "events"}));
    EXPECT_EQ(ReadFile(dir / "p.log"), record1 + "\r\n" + record2 + "\r\n" + record2 + "\r\n");

    // Page text reaches the lines: in the log and its echo a lone LF forges no
    // record and ESC or BEL reach no terminal; the window shows them as they are.
    display.calls.clear();
    fs::remove(dir / "p.log");
    lines.endOfStep();
    const std::string top = "top\x1b]0;owned\x07", detail = "x\"\n#2003-01-01#,\"forged\",\"\r\t\x7f\xc3\xa9";
    lines.feedBack(top, detail, 0);
    const std::string record3 = "#2003-04-12 13:45:02#,\"top?]0;owned?\",\"x\"?#2003-01-01#,\"forged\",\"???\xc3\xa9\"";
    EXPECT_EQ(ReadFile(dir / "p.log"), record3 + "\r\n");
    EXPECT_EQ(display.calls,
              (std::vector<std::string>{"show " + top + "|" + detail, "events", "logged " + record3, "events"}));
}

TEST(CommonRunLog, FeedBackLogsTheLinesAsTheyStandAfterEvents) {
    TempDir dir;
    FixedClock clock(MakeDateTime(2003, 4, 12, 9, 0, 0), MakeDateTime(2003, 4, 12, 9, 0, 0));
    RecordingDisplay display;
    FeedbackLines lines(RunLog(dir / "p.log"), clock, &display);
    // A click handled while the first call lets events run writes lines of its own.
    display.onEvents = [&] { lines.feedBack("RESET in Progress: ", "x", 0); };
    lines.feedBack("SUPER in Progress: ", " ", 0);
    const std::string inner = "#2003-04-12 09:00:00#,\"RESET in Progress: \",\"x\"";
    EXPECT_EQ(ReadFile(dir / "p.log"), inner + "\r\n" + inner + "\r\n");

    // Without a display the lines and the log still work.
    FeedbackLines bare(RunLog(dir / "bare.log"), clock);
    bare.feedBack("top", "detail", 1000);
    EXPECT_EQ(ReadFile(dir / "bare.log"), "#2003-04-12 09:00:00#,\"top\",\"detail\"\r\n");
}

// The log is held open across the records of an action, yet every record is
// in the file as soon as it is written; a log removed between actions comes back.
TEST(CommonRunLog, RecordsAreOnDiskAtOnceAndTheLogReopensAfterAStep) {
    TempDir dir;
    FixedClock clock(MakeDateTime(2003, 4, 12, 9, 0, 0), MakeDateTime(2003, 4, 12, 9, 0, 0));
    FeedbackLines lines(RunLog(dir / "p.log"), clock);
    lines.feedBack("a", " ", 0);
    EXPECT_EQ(ReadFile(dir / "p.log"), "#2003-04-12 09:00:00#,\"a\",\" \"\r\n");
    lines.log().reset();
    lines.feedBack("b", " ", 0);
    EXPECT_EQ(ReadFile(dir / "p.log"), "#2003-04-12 09:00:00#,\"b\",\" \"\r\n");
    lines.endOfStep();
    fs::remove(dir / "p.log");
    lines.feedBack("c", " ", 0);
    EXPECT_EQ(ReadFile(dir / "p.log"), "#2003-04-12 09:00:00#,\"c\",\" \"\r\n");
}

// ---- offset from GMT -----------------------------------------------------------

class CommonGmtOffset : public ::testing::Test {
protected:
    void TearDown() override { GMTOffsetHours = saved_; }
    double Offset(int seconds) {
        const DateTime utc = MakeDateTime(2003, 4, 12, 12, 0, 0);
        InitGMTOffset(FixedClock(utc + std::chrono::seconds{seconds}, utc));
        return GMTOffsetHours;
    }

private:
    double saved_ = GMTOffsetHours;
};

TEST_F(CommonGmtOffset, IsTheExactOffsetToTheMinute) {
    struct Case {
        int seconds;      // local minus GMT as read
        double hours;     // GMTOffsetHours
        const char* gmt;  // GmtNow when the local time is 2003/04/12 12:00:00
    };
    const std::vector<Case> cases = {
        {0, 0.0, "2003/04/12 12:00:00"},
        {-(3 * 3600 + 1800), -3.5, "2003/04/12 15:30:00"},
        {5 * 3600 + 1800, 5.5, "2003/04/12 06:30:00"},
        {5 * 3600 + 45 * 60, 5.75, "2003/04/12 06:15:00"},     // Nepal
        {13 * 3600 + 45 * 60, 13.75, "2003/04/11 22:15:00"},   // Chatham, summer
        {-(9 * 3600 + 30 * 60), -9.5, "2003/04/12 21:30:00"},  // Marquesas
        {-5 * 3600, -5.0, "2003/04/12 17:00:00"},
        {3600 + 1, 1.0, "2003/04/12 11:00:00"},  // a second ticked between the readings
        {3600 - 1, 1.0, "2003/04/12 11:00:00"},
        {5 * 3600 + 45 * 60 + 1, 5.75, "2003/04/12 06:15:00"},
        {180, 0.05, "2003/04/12 11:57:00"},  // three minutes stay three minutes
        {-540, -0.15, "2003/04/12 12:09:00"},
    };
    const DateTime local = MakeDateTime(2003, 4, 12, 12, 0, 0);
    for (const auto& c : cases) {
        EXPECT_DOUBLE_EQ(Offset(c.seconds), c.hours) << c.seconds;
        EXPECT_EQ(FormatStamp(GmtNow(FixedClock(local, local))), c.gmt) << c.seconds;
    }
}

TEST_F(CommonGmtOffset, GmtNowSubtractsTheOffset) {
    const DateTime local = MakeDateTime(2003, 4, 12, 1, 0, 0);
    const FixedClock clock(local, local);
    GMTOffsetHours = -5.0;
    EXPECT_EQ(FormatStamp(GmtNow(clock)), "2003/04/12 06:00:00");
    GMTOffsetHours = 5.5;
    EXPECT_EQ(FormatStamp(GmtNow(clock)), "2003/04/11 19:30:00");
    GMTOffsetHours = 0.1;
    EXPECT_EQ(FormatStamp(GmtNow(clock)), "2003/04/12 00:54:00");
}

// ---- dates -----------------------------------------------------------------------

TEST(CommonDates, FormatsAndParts) {
    const DateTime t = MakeDateTime(2003, 4, 12, 13, 45, 2);
    EXPECT_EQ(FormatStamp(t), "2003/04/12 13:45:02");
    EXPECT_EQ(FormatLogDate(t), "#2003-04-12 13:45:02#");
    EXPECT_EQ(FormatLogDate(MakeDateTime(2003, 4, 12)), "#2003-04-12#");
    EXPECT_EQ(FormatLogDate(MakeDateTime(2003, 4, 12, 0, 0, 1)), "#2003-04-12 00:00:01#");
    const DateTimeParts p = SplitDateTime(t);
    EXPECT_EQ((std::vector<int>{p.year, p.month, p.day, p.hour, p.minute, p.second}),
              (std::vector<int>{2003, 4, 12, 13, 45, 2}));
    // Fields past their range carry over.
    EXPECT_EQ(MakeDateTime(2003, 13, 1), MakeDateTime(2004, 1, 1));
    EXPECT_EQ(MakeDateTime(2004, 3, 0), MakeDateTime(2004, 2, 29));
    EXPECT_EQ(MakeDateTime(2003, 4, 12, 24, 0, 0), MakeDateTime(2003, 4, 13));
    EXPECT_EQ(FormatStamp(MakeDateTime(1999, 12, 31, 23, 59, 59)), "1999/12/31 23:59:59");
}

TEST(CommonDates, ParseLogDateReadsBackWhatWasWritten) {
    DateTime out{};
    for (const DateTime t : {MakeDateTime(2003, 4, 12, 13, 45, 2), MakeDateTime(2004, 2, 29),
                             MakeDateTime(1999, 12, 31, 23, 59, 59), MakeDateTime(2003, 1, 1, 0, 0, 1)}) {
        ASSERT_TRUE(ParseLogDate(FormatLogDate(t), out)) << FormatLogDate(t);
        EXPECT_EQ(out, t);
    }
    ASSERT_TRUE(ParseLogDate("2003-04-12 13:45:02", out));  // without the marks
    EXPECT_EQ(out, MakeDateTime(2003, 4, 12, 13, 45, 2));
    ASSERT_TRUE(ParseLogDate("2003-04-12", out));
    EXPECT_EQ(out, MakeDateTime(2003, 4, 12));

    const DateTime before = out;
    for (const char* bad : {"", "#", "##", "#2003-04-12", "2003-04-12#", "#2003-02-29#", "#2003-04-31#", "#2003-13-01#",
                            "#2003-4-12#", "#2003-04-12 24:00:00#", "#2003-04-12 13:60:00#", "#2003-04-12 13:45#",
                            "#2003-04-12T13:45:02#", "#2003-04-12 13:45:02 #", "alpha", "#abcd-ef-gh#"}) {
        EXPECT_FALSE(ParseLogDate(bad, out)) << bad;
    }
    EXPECT_EQ(out, before);  // untouched on failure
}

// ---- command lines and NUL-ended buffers ------------------------------------------

TEST(CommonProcess, RTrimNull) {
    EXPECT_EQ(RTrimNull(std::string("abc\0   ", 7)), "abc");
    EXPECT_EQ(RTrimNull(std::string("ab \0x", 5)), "ab ");  // blanks before the NUL stay
    EXPECT_EQ(RTrimNull(std::string("\0abc", 4)), "");
    EXPECT_EQ(RTrimNull("     "), "");
    EXPECT_EQ(RTrimNull("abc  "), "abc");
    EXPECT_EQ(RTrimNull("  abc"), "  abc");
    EXPECT_EQ(RTrimNull(""), "");
}

TEST(CommonProcess, SplitCommandLine) {
    using V = std::vector<std::string>;
    EXPECT_EQ(SplitCommandLine("/opt/parlux/Flaggrid FULL_AUTO"), (V{"/opt/parlux/Flaggrid", "FULL_AUTO"}));
    EXPECT_EQ(SplitCommandLine("  EditPad   /data/Comp_DS_PGP-1.txt  "), (V{"EditPad", "/data/Comp_DS_PGP-1.txt"}));
    EXPECT_EQ(SplitCommandLine("\"/my programs/EditPad\" \"/my data/a b.txt\""),
              (V{"/my programs/EditPad", "/my data/a b.txt"}));
    EXPECT_EQ(SplitCommandLine("a\"b c\"d e"), (V{"ab cd", "e"}));
    EXPECT_EQ(SplitCommandLine("prog \"\" x"), (V{"prog", "", "x"}));
    EXPECT_EQ(SplitCommandLine("prog \"unclosed arg"), (V{"prog", "unclosed arg"}));
    EXPECT_EQ(SplitCommandLine("a\tb"), (V{"a", "b"}));
    EXPECT_EQ(SplitCommandLine(""), V{});
    EXPECT_EQ(SplitCommandLine("   "), V{});
}

}  // namespace
}  // namespace parlux
