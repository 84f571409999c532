// The eight programs' command lines without any display, as a shell, cron or
// a packaging check gives them: the standard options answer and touch
// nothing; a window program that nobody could reach ends with status 2; the
// programs without a waiting window ignore their words.
#include <gtest/gtest.h>

#include <QProcess>
#include <filesystem>

#include "testsupport/QtTestSupport.h"

namespace parlux::test {
namespace {

namespace fs = std::filesystem;

struct CommandLineCase {
    const char* program;
    QStringList arguments;
    int status;
    std::string out;  // the start of stdout
    std::string err;  // all of stderr
};

class CommandLines : public ProgramTest {
protected:
    CommandLines() : ProgramTest("") {}
    // Every entry of the data folder and the program folder's run logs.
    std::vector<std::string> touched() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(data_.path())) names.push_back(e.path().filename().string());
        for (const auto& e : fs::directory_iterator(BinDir()))
            if (e.path().extension() == ".log" && fs::last_write_time(e.path()) > started_)
                names.push_back(e.path().string());
        return names;
    }
    fs::file_time_type started_ = fs::file_time_type::clock::now();
};

TEST_F(CommandLines, HelpVersionAndNoDisplay) {
    const std::string display = "needs a display, or the command line FULL_AUTO\n";
    const std::string lists = "Cannot read " + (data_ / "PingersBad.lst").string() + " (No such file or directory): ";
    const std::vector<CommandLineCase> cases = {
        {"Pulsegrid", {"--help"}, 0, "Usage: Pulsegrid [FULL_AUTO]\nPulsegrid compares", ""},
        {"Pulsegrid", {"--version"}, 0, "Pulsegrid (Parlux) 0.1\n", ""},
        {"Pulsegrid", {}, 2, "", "Pulsegrid: " + display},
        {"Pulsegrid", {"full_auto"}, 2, "", "Pulsegrid: " + display},
        {"Pulsegrid", {"--help", "x"}, 2, "", "Pulsegrid: " + display},
        {"Flaggrid", {"--help"}, 0, "Usage: Flaggrid [FULL_AUTO]\n", ""},
        {"Flaggrid", {"--version"}, 0, "Flaggrid (Parlux) 0.1\n", ""},
        {"Flaggrid", {"-h"}, 2, "", "Flaggrid: " + display},
        {"Lockgrid", {"--help"}, 0, "Usage: Lockgrid [FULL_AUTO]\n", ""},
        {"Lockgrid", {"--version"}, 0, "Lockgrid (Parlux) 0.1\n", ""},
        {"Lockgrid", {}, 2, "", "Lockgrid: " + display},
        {"Gridhub", {"--help"}, 0, "Usage: Gridhub [FULL_AUTO]\n", ""},
        {"Gridhub", {"--version"}, 0, "Gridhub (Parlux) 0.1\n", ""},
        {"Gridhub", {"FULL_AUTO", "now"}, 2, "", "Gridhub: " + display},
        {"Fetchprobe", {"--help"}, 0, "Usage: Fetchprobe\n", ""},
        {"Fetchprobe", {"--version"}, 0, "Fetchprobe (Parlux) 0.1\n", ""},
        {"Fetchprobe", {"FULL_AUTO"}, 2, "", "Fetchprobe: needs a display\n"},
        {"Sandtest", {"--help"}, 0, "Usage: Sandtest\n", ""},
        {"Sandtest", {"--version"}, 0, "Sandtest (Parlux) 0.1\n", ""},
        {"Sandtest", {}, 2, "", "Sandtest: needs a display\n"},
        {"Rosterbase", {"--help"}, 0, "Usage: Rosterbase\nRosterbase writes Pingers.html", ""},
        {"Rosterbase", {"--version"}, 0, "Rosterbase (Parlux) 0.1\n", ""},
        // Other words are ignored: the run goes on and finds no lists.
        {"Rosterbase", {"--verbose"}, 1, "", "Rosterbase: " + lists + "Pingers.html not written\n"},
        {"Rostermark", {"--help"}, 0, "Usage: Rostermark\n", ""},
        {"Rostermark", {"--version"}, 0, "Rostermark (Parlux) 0.1\n", ""},
        {"Rostermark", {"FULL_AUTO"}, 1, "", "Rostermark: " + lists + "PingersX.html not written\n"},
    };
    for (const CommandLineCase& c : cases) {
        const std::string shown = std::string(c.program) + " " + c.arguments.join(' ').toStdString();
        SCOPED_TRACE(shown);
        useBinary(BinDir() / c.program);
        auto process = start(c.arguments);
        ASSERT_TRUE(process->waitForFinished(15000));
        EXPECT_EQ(process->exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(process->exitCode(), c.status);
        const std::string out = process->readAllStandardOutput().toStdString();
        EXPECT_EQ(out.substr(0, c.out.size()), c.out) << out;
        if (c.out.empty()) {
            EXPECT_EQ(out, "");
        }
        EXPECT_EQ(process->readAllStandardError().toStdString(), c.err);
        // Only the page programs' lock file may appear, and only when they ran.
        std::vector<std::string> expected;
        if (c.status == 1) expected.push_back(std::string(".") + c.program + ".lock");
        EXPECT_EQ(touched(), expected);
        for (const auto& e : fs::directory_iterator(data_.path())) fs::remove(e.path());
    }
}

// Started by a shell with some standard descriptors closed: each is opened
// on /dev/null before any file is, so that no line meant for stdout or
// stderr ends up in the lock or a page; the page is the same as with all
// three open. An answer that cannot be written is a failure.
TEST_F(CommandLines, ClosedStandardDescriptorsAndAFullStandardOutput) {
    const std::string list = ReadFile(SourceDir() / "rosters/tests/data/Pingers.lst") + "\"PGP-1\",\"cut";
    struct Case {
        const char* program;
        std::string redirections;  // for the shell
        int status;
        std::string err;  // "" for none; "warned" for the list's warning
    };
    const std::vector<Case> cases = {
        {"Rosterbase", "", 0, "warned"},  // all three open: the page to compare with
        {"Rosterbase", "<&-", 0, "warned"},
        {"Rosterbase", ">&-", 0, "warned"},
        {"Rosterbase", "2>&-", 0, ""},
        {"Rosterbase", "<&- >&- 2>&-", 0, ""},
        {"Pulsegrid", "--help >/dev/full", 1, "Pulsegrid: the answer could not be written to standard output\n"},
        {"Rostermark", "--version >/dev/full", 1, "Rostermark: the answer could not be written to standard output\n"},
    };
    std::string expectedPage;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.program) + " " + c.redirections);
        for (const char* name : {"Pingers.lst", "PingersBad.lst"})
            fs::copy_file(SourceDir() / "rosters/tests/data" / name, data_ / name);
        WriteFile(data_ / "Pingers.lst", list);
        useBinary("/bin/sh");
        auto process = start({"-c", QString::fromStdString("exec \"$0\" " + c.redirections),
                              QString::fromStdString((BinDir() / c.program).string())});
        ASSERT_TRUE(process->waitForFinished(15000));
        EXPECT_EQ(process->exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(process->exitCode(), c.status);
        const std::string err = process->readAllStandardError().toStdString();
        if (c.err == "warned") {
            EXPECT_NE(err.find("Rosterbase: Pingers.lst ends inside a record"), std::string::npos) << err;
        } else {
            EXPECT_EQ(err, c.err);
        }
        if (c.status == 0) {
            EXPECT_EQ(ReadFile(data_ / ".Rosterbase.lock"), "");
            // The page but for its time stamp.
            std::string page = ReadFile(data_ / "Pingers.html");
            const auto stamp = page.find("Generated: ");
            ASSERT_NE(stamp, std::string::npos);
            page.erase(stamp, page.find("\r\n", stamp) - stamp);
            if (expectedPage.empty()) expectedPage = page;
            EXPECT_EQ(page, expectedPage);
        }
        for (const auto& e : fs::directory_iterator(data_.path())) fs::remove(e.path());
    }
}

}  // namespace
}  // namespace parlux::test
