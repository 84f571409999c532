// Rosterbase and Rostermark as a user starts them, headless (no display in the
// environment), on a scratch data folder: the page written, what they print,
// the exit status.
#include <gtest/gtest.h>

#include <httplib.h>

#include <QProcess>
#include <regex>

#include "rosters/Rosters.h"
#include "testsupport/LoopbackServer.h"
#include "testsupport/QtTestSupport.h"

namespace parlux::test {
namespace {

namespace fs = std::filesystem;

// The page with its "Generated: " line put aside, and that line.
std::pair<std::string, std::string> SplitStamp(const std::string& page) {
    const auto begin = page.find("Generated: ");
    const auto end = page.find("\r\n", begin);
    if (begin == std::string::npos || end == std::string::npos) return {page, ""};
    return {page.substr(0, begin) + page.substr(end), page.substr(begin, end - begin)};
}

struct Finished {
    int status = -1;
    std::string out, err;
};

Finished Await(QProcess& process) {
    Finished f;
    EXPECT_TRUE(process.waitForFinished(60000));
    f.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    f.out = process.readAllStandardOutput().toStdString();
    f.err = process.readAllStandardError().toStdString();
    return f;
}

class RosterbaseProgram : public ProgramTest {
protected:
    RosterbaseProgram() : ProgramTest("Rosterbase") {
        for (const char* name : {"Pingers.lst", "PingersBad.lst"})
            fs::copy_file(SourceDir() / "rosters/tests/data" / name, data_ / name);
    }
};

TEST_F(RosterbaseProgram, WritesThePageSilentlyWhateverTheCommandLine) {
    for (const QStringList& args : {QStringList{}, QStringList{"FULL_AUTO"}, QStringList{"-x", "y z"}}) {
        SCOPED_TRACE(args.join(' ').toStdString());
        fs::remove(data_ / "Pingers.html");
        auto process = start(args);
        const Finished f = Await(*process);
        EXPECT_EQ(f.status, 0);
        EXPECT_EQ(f.out, "");
        EXPECT_EQ(f.err, "");
        const auto [page, stamp] = SplitStamp(ReadFile(data_ / "Pingers.html"));
        const auto [golden, goldenStamp] = SplitStamp(ReadFile(SourceDir() / "rosters/tests/golden/Pingers.html"));
        EXPECT_EQ(page, golden);
        EXPECT_TRUE(std::regex_match(stamp, std::regex("Generated: (Sun|Mon|Tues|Wednes|Thurs|Fri|Satur)day "
                                                       "\\d{4}/\\d\\d/\\d\\d \\d\\d:\\d\\d:\\d\\d</font>.*")))
            << stamp;
    }
}

TEST_F(RosterbaseProgram, AMissingListIsSaidOnStderrWithStatusOne) {
    fs::remove(data_ / "Pingers.lst");
    WriteFile(data_ / "Pingers.html", "old");
    auto process = start({});
    const Finished f = Await(*process);
    EXPECT_EQ(f.status, 1);
    EXPECT_EQ(f.out, "");
    EXPECT_NE(f.err.find("Cannot read " + (data_ / "Pingers.lst").string()), std::string::npos) << f.err;
    EXPECT_EQ(ReadFile(data_ / "Pingers.html"), "old");
}

// Run where a display may be (the platform named, not offscreen as a
// headless run chooses): the program makes its application object for the
// message and must still end with status 1, the text said once.
TEST_F(RosterbaseProgram, AFailureWithADisplayEndsWithStatusOne) {
    fs::remove(data_ / "Pingers.lst");
    for (const char* platform : {"offscreen:fontengine=freetype", "minimal:enable_fonts"}) {
        SCOPED_TRACE(platform);
        auto process = start({}, false, {{"DISPLAY", ":99"}, {"QT_QPA_PLATFORM", platform}});
        const Finished f = Await(*process);
        EXPECT_EQ(f.status, 1);
        const std::string said = "Cannot read " + (data_ / "Pingers.lst").string();
        EXPECT_NE(f.err.find(said), std::string::npos) << f.err;
        EXPECT_EQ(f.err.find(said, f.err.find(said) + 1), std::string::npos) << f.err;
    }
}

class RostermarkProgram : public ProgramTest {
protected:
    RostermarkProgram() : ProgramTest("Rostermark") {}
    ScopedEnv noProxy_{"no_proxy", "127.0.0.1"};
};

TEST_F(RostermarkProgram, ProbesTheServersAndPrintsOneLinePerRecord) {
    LoopbackServer server;
    server.handle("/r", [](const httplib::Request&, httplib::Response& res) {
        res.set_header("Last-Modified", "Mon, 07 Dec 2026 06:30:00 GMT");
        res.set_content("list", "text/html");
    });
    server.start();
    WriteFile(data_ / "PingersBad.lst", "");
    WriteFile(data_ / "Pingers.lst",
              "\"PGP-1\",\"alpha\",\"" + server.url("/r") + "\"\r\n\"NEWS\",\"alpha\",\"\"\r\n" +
                  "\"MIX-1\",\"bravo\",\"http://127.0.0.1:" + std::to_string(ClosedLoopbackPort()) + "/m\"\r\n");
    auto process = start({"FULL_AUTO"});
    const Finished f = Await(*process);
    EXPECT_EQ(f.status, 0);
    EXPECT_EQ(f.err, "");
    const std::regex line(
        R"(Rostermark: \[\d/3\] TimeBeg: \d\d:\d\d:\d\d Nr: \d QryType: [A-Z1-]+ Pinger Nick: \w+ Url: \S*\n)");
    EXPECT_EQ(std::regex_replace(f.out, line, "+"), "+++") << f.out;
    const std::string page = ReadFile(data_ / "PingersX.html");
    EXPECT_NE(page.find("/r\" TARGET=\"_blank\">X</a>_2026/12/07_06:30:00</td>"), std::string::npos);
    EXPECT_NE(page.find("/m\" TARGET=\"_blank\">X</a>" + std::string(rosters::kUnknownUpload) + "</td>"),
              std::string::npos);
}

}  // namespace
}  // namespace parlux::test
