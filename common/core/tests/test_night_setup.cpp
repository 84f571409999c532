// A set-up from an empty home and the waiting road: the examples the package
// installs are the files the programs themselves write (and change nothing
// until edited), a new "Me" folder holds both lists, and only "--wait
// FULL_AUTO" of a program that starts others asks for waiting.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <optional>

#include "common/core/DataFolder.h"
#include "common/core/PingersList.h"
#include "common/core/SiteConfig.h"
#include "common/core/WaitedRun.h"
#include "testsupport/TestSupport.h"

namespace parlux::test {
namespace {

namespace fs = std::filesystem;

TEST(NightSetup, TheExamplesAreTheProgramsOwnFilesAndChangeNothing) {
    const fs::path examples = SourceDir() / "packaging/examples";
    EXPECT_EQ(ReadFile(examples / "Pingers.lst"), kPingersListTemplate);
    EXPECT_EQ(ReadFile(examples / "PingersBad.lst"), "");

    // Comments only: no record until one is taken out of its comment.
    const PingersList list = ParsePingersList(kPingersListTemplate);
    EXPECT_TRUE(list.records.empty());
    EXPECT_EQ(list.warning, "");
    std::string uncommented;
    for (const std::string& line : CrLfLines(kPingersListTemplate))
        if (line.starts_with("# \"")) uncommented += line.substr(2) + "\r\n";
    std::vector<std::string> types;
    for (const PingerRecord& record : ParsePingersList(uncommented).records) types.push_back(record.type);
    EXPECT_EQ(types,
              (std::vector<std::string>{"PGP-1", "MIX-1", "PGP-2", "MIX-2", "K-RSA", "K-DSS", "K-TY2", "K-MIX"}));

    // The built-in addresses, but as a file that is there: no mirror offered.
    const site::SiteConfig config = site::ParseSiteConfig(site::ConfigTemplate(), "Parlux.conf");
    EXPECT_EQ(config.site, site::kDefaultSite);
    EXPECT_EQ(config.mail, site::kDefaultMail);
    EXPECT_EQ(config.mirrorSet, (std::array<bool, 4>{}));
}

// An installed suite's "Me" folder: made with both lists; an older one with
// Pingers.lst only gets the empty bad list beside it, never over one.
TEST(NightSetup, AMeFolderHoldsBothLists) {
    TempDir home, installed;
    fs::create_directories(installed / "share/doc/parlux");
    fs::create_directories(installed / "bin");
    // The user's own home, for this test.
    struct Variable {
        const char* name;
        std::optional<std::string> saved;
        Variable(const char* n, const fs::path& value) : name(n) {
            if (const char* old = std::getenv(n)) saved = old;
            ::setenv(n, value.c_str(), 1);
        }
        ~Variable() {
            if (saved)
                ::setenv(name, saved->c_str(), 1);
            else
                ::unsetenv(name);
        }
    } homeVariable("HOME", home.path()), configVariable("XDG_CONFIG_HOME", home / "config");
    const fs::path me = MeFolder(installed / "bin");
    EXPECT_EQ(me, home / "config/parlux");
    EXPECT_EQ(ReadFile(me / "Pingers.lst"), kPingersListTemplate);
    EXPECT_EQ(ReadFile(me / "PingersBad.lst"), "");

    fs::remove(me / "PingersBad.lst");
    WriteFile(me / "Pingers.lst", "kept\r\n");
    MeFolder(installed / "bin");
    EXPECT_EQ(ReadFile(me / "PingersBad.lst"), "");
    EXPECT_EQ(ReadFile(me / "Pingers.lst"), "kept\r\n");
    WriteFile(me / "PingersBad.lst", "delta\r\n");
    MeFolder(installed / "bin");
    EXPECT_EQ(ReadFile(me / "PingersBad.lst"), "delta\r\n");
}

TEST(NightSetup, OnlyWaitFullAutoOfAStartingProgramAsksForWaiting) {
    struct Case {
        const char* program;
        const char* commandLine;
        const char* after;  // the command line the program then runs by
        bool waits;
    };
    const Case cases[] = {
        {"Gridhub", "--wait FULL_AUTO", "FULL_AUTO", true},
        {"Pulsegrid", "--wait FULL_AUTO", "FULL_AUTO", true},
        {"Gridhub", "FULL_AUTO", "FULL_AUTO", false},
        {"Gridhub", "FULL_AUTO --wait", "FULL_AUTO --wait", false},
        {"Gridhub", "--wait", "--wait", false},
        {"Gridhub", "--wait full_auto", "--wait full_auto", false},
        {"Lockgrid", "--wait FULL_AUTO", "--wait FULL_AUTO", false},
        {"Flaggrid", "--wait FULL_AUTO", "--wait FULL_AUTO", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.program) + " " + c.commandLine);
        ::unsetenv(kWaitVariable);
        EXPECT_EQ(TakeWaitWord(c.program, c.commandLine), c.after);
        EXPECT_EQ(WaitRequested(), c.waits);
    }
    ::unsetenv(kWaitVariable);

    // What a waiting program says of the ones it waited for.
    for (const auto& [code, end] : {std::pair{0, "ended with status 0"}, std::pair{1, "ended with status 1"},
                                    std::pair{2, "ended with status 2"}}) {
        const pid_t pid = ::fork();
        if (pid == 0) ::_exit(code);
        const int status = WaitForChild(pid, nullptr);
        EXPECT_EQ(ExitStatusOf(status), code);
        EXPECT_EQ(DescribeEnd(status), end);
    }
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::pause();
        ::_exit(0);
    }
    int calls = 0;
    const int status = WaitForChild(pid, [&calls, pid] {
        if (++calls == 3) ::kill(pid, SIGKILL);
    });
    EXPECT_GE(calls, 3);
    EXPECT_EQ(ExitStatusOf(status), 1);
    EXPECT_EQ(DescribeEnd(status), "was ended by signal 9");
    EXPECT_EQ(WaitForChild(pid, nullptr), -1);  // already waited for
}

}  // namespace
}  // namespace parlux::test
