// A whole unattended run (HYPER) over five pingers served on a loopback port,
// every page and the run log compared with the expected files.
#include <fcntl.h>
#include <sys/stat.h>

#include <httplib.h>

#include <chrono>
#include <ctime>
#include <map>
#include <regex>
#include <thread>

#include "common/core/Transfers.h"
#include "pulsegrid/tests/PipelineFixture.h"

namespace parlux::test {
namespace {

class GoldenRun : public PipelineTest {
protected:
    void SetUp() override {
        serveFile("/alpha/rlist.txt", "alpha_rlist.txt");  // LF only, as published
        serveFile("/alpha/mlist.txt", "alpha_mlist.txt");
        serveFile("/alpha/rlist2.html", "alpha_rlist2.html");
        serveFile("/alpha/mlist2.html", "alpha_mlist2.html");
        serveFile("/beta/rlist.html", "beta_rlist.html");
        serveFile("/beta/rlist-mirror.html", "beta_rlist_mirror.html");
        serveFile("/beta/mlist.html", "beta_mlist.html");
        // beta's version-2 list comes late: fetched together, its answer is the last.
        server_.handle("/beta/rlist2.html", [page = ReadFile(SourceDir() / "pulsegrid/tests/data/beta_rlist2.html")](
                                                const httplib::Request&, httplib::Response& res) {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            res.set_content(page, "text/html");
        });
        serveFile("/beta/mlist2.html", "beta_mlist2.html");
        serveFile("/delta/rlist.html", "delta_rlist.html");
        server_.serve("/gamma/empty", "");
        server_.serve("/delta/missing", "Not here", 404);
        startServer();
        // epsilon is down; its cached version-2 list from an earlier run is used.
        writeCachedCopy();
        const std::string down = "http://127.0.0.1:" + std::to_string(ClosedLoopbackPort());
        writeList("\"PGP-1\",\"beta\",\"" + url("/beta/rlist.html") + "\"\r\n" + "\"PGP-1\",\"alpha\",\"" +
                  url("/alpha/rlist.txt") + "\"\r\n" + "\"PGP-1\",\"gamma\",\"" + url("/gamma/empty") + "\"\r\n" +
                  "\"PGP-1\",\"delta\",\"" + url("/delta/rlist.html") + "\"\r\n" + "\"PGP-1\",\"beta\",\"" +
                  url("/beta/rlist-mirror.html") + "\"\r\n" + "\"PGP-1\",\"../evil\",\"" + url("/gamma/empty") +
                  "\"\r\n" + "\"MIX-1\",\"alpha\",\"" + url("/alpha/mlist.txt") + "\"\r\n" + "\"MIX-1\",\"beta\",\"" +
                  url("/beta/mlist.html") + "\"\r\n" + "\"MIX-1\",\"delta\",\"" + url("/delta/missing") + "\"\r\n" +
                  "\"PGP-2\",\"epsilon\",\"" + down + "/rlist2.html\"\r\n" + "\"PGP-2\",\"beta\",\"" +
                  url("/beta/rlist2.html") + "\"\r\n" + "\"PGP-2\",\"alpha\",\"" + url("/alpha/rlist2.html") +
                  "\"\r\n" + "\"MIX-2\",\"alpha\",\"" + url("/alpha/mlist2.html") + "\"\r\n" + "MIX-2,  beta, " +
                  url("/beta/mlist2.html") + "\r\n" + "\"MIX-2\",\"gamma\",\"" + url("/gamma/empty") + "\"\r\n");
    }

    // epsilon's copy from an earlier run; the log names its date, 2026/12/06
    // 23:15:00 local time.
    void writeCachedCopy() {
        const auto path = data_ / "epsilon_rlist2.shtml";
        WriteFile(path, ReadFile(SourceDir() / "pulsegrid/tests/data/epsilon_rlist2.shtml"));
        std::tm when{};
        when.tm_year = 2026 - 1900;
        when.tm_mon = 11;
        when.tm_mday = 6;
        when.tm_hour = 23;
        when.tm_min = 15;
        when.tm_isdst = -1;
        const std::time_t stamp = std::mktime(&when);
        const timespec times[2] = {{stamp, 0}, {stamp, 0}};
        ::utimensat(AT_FDCWD, path.c_str(), times, 0);
    }

    // Every file of the data folder with its content.
    std::map<std::string, std::string> files() const {
        std::map<std::string, std::string> out;
        for (const auto& entry : std::filesystem::directory_iterator(data_.path()))
            out[entry.path().filename().string()] = ReadFile(entry.path());
        return out;
    }

    // The web pages carry the pingers' addresses, whose port changes per run.
    std::string withoutPort(const std::string& text) const {
        return std::regex_replace(text, std::regex("127\\.0\\.0\\.1:[0-9]+"), "127.0.0.1:PORT");
    }
};

TEST_F(GoldenRun, HyperWritesEveryPageOfEveryTypeByteForByte) {
    workbench().HYPER();

    for (const std::string type : {"PGP-1", "MIX-1", "PGP-2", "MIX-2"}) {
        ExpectGolden(ReadFile(data_ / ("Comp_DS_" + type + ".txt")), golden("hyper/Comp_DS_" + type + ".txt"));
        ExpectGolden(ReadFile(data_ / ("Comp_RS_" + type + ".txt")), golden("hyper/Comp_RS_" + type + ".txt"));
        ExpectGolden(withoutPort(ReadFile(data_ / ("Comp_DS_" + type + ".html"))),
                     golden("hyper/Comp_DS_" + type + ".html"));
        const bool v2 = type.back() == '2';
        EXPECT_EQ(std::filesystem::exists(data_ / ("Comp_RC_" + type + ".txt")), v2) << type;
        if (v2) ExpectGolden(ReadFile(data_ / ("Comp_RC_" + type + ".txt")), golden("hyper/Comp_RC_" + type + ".txt"));
    }
    ExpectGolden(log(), golden("hyper/Pulsegrid.log"));
}

// Fetching one pinger at a time or all at once (beta slow, epsilon down)
// leaves the same files and writes the same log.
TEST_F(GoldenRun, OneAtATimeAndAllAtOnceLeaveTheSameFilesAndLog) {
    const DownloadLimits saved = CurrentDownloadLimits();
    const auto before = files();
    std::map<int, std::map<std::string, std::string>> after;
    for (const int inFlight : {1, 16}) {
        SCOPED_TRACE(inFlight);
        for (const auto& [name, content] : before) WriteFile(data_ / name, content);
        for (const auto& entry : std::filesystem::directory_iterator(data_.path()))
            if (!before.count(entry.path().filename().string())) std::filesystem::remove(entry.path());
        writeCachedCopy();
        feedback_.log().reset();
        CurrentDownloadLimits().maxInFlight = inFlight;
        workbench().HYPER();
        for (const auto& [name, content] : files()) after[inFlight][name] = withoutPort(content);
        ExpectGolden(log(), golden("hyper/Pulsegrid.log"));
    }
    CurrentDownloadLimits() = saved;
    EXPECT_EQ(after[1], after[16]);
    for (const auto& [name, content] : after[16]) EXPECT_EQ(name.find(".part-"), std::string::npos) << name;
}

TEST_F(GoldenRun, DumpsOfAFinishedGridAreWrittenReadBackAndWrittenAgainAlike) {
    workbench().chooseType(2);  // PGP-2: alpha, beta and the cached epsilon
    for (const auto& action : workbench().description().actions) workbench().press(action.name);
    const std::vector<std::string> names = {"DMP-S_PingersArray.tmp", "DMP-S_PingedsArray.tmp", "DMP-S_StatsArray.tmp"};
    for (int t = 0; t < 3; ++t) {
        workbench().save(t);
        ExpectGolden(withoutPort(ReadFile(data_ / names[t])), golden("dumps/" + names[t]));
    }
    for (int t = 0; t < 3; ++t) {
        workbench().table(t).reset();
        workbench().restore(t);
        workbench().save(t);
        ExpectGolden(withoutPort(ReadFile(data_ / names[t])), golden("dumps/" + names[t]));
    }
    // The restored tables write the same pages.
    const std::string before = ReadFile(data_ / "Comp_RS_PGP-2.txt");
    workbench().press("PRT_Compil");
    EXPECT_EQ(ReadFile(data_ / "Comp_RS_PGP-2.txt"), before);
}

TEST_F(GoldenRun, HyperEndsIdleOnTheLastTypeAndStartsFlaggrid) {
    workbench().HYPER();
    EXPECT_EQ(workbench().statsType(), "MIX-2");
    EXPECT_TRUE(workbench().choiceEnabled());
    for (int t = 0; t < 3; ++t) EXPECT_FALSE(workbench().table(t).loaded());
    ASSERT_EQ(launcher_.started.size(), 1u);
    EXPECT_EQ(launcher_.started[0], "\"" + (program_.path() / "Flaggrid").string() + "\" FULL_AUTO");
    EXPECT_EQ(launcher_.styles[0], 2);  // minimised
    // A page served empty, or a 404 with no earlier copy, leaves no file: the summary alone names it.
    EXPECT_EQ(messages(), std::vector<std::string>{});
}

TEST_F(GoldenRun, UnreachablePingersKeepTheirCachedCopyAndBadNicksMakeNoFile) {
    const std::string cached = ReadFile(data_ / "epsilon_rlist2.shtml");
    workbench().chooseType(2);
    workbench().press("LOA_Pingers");
    EXPECT_EQ(ReadFile(data_ / "epsilon_rlist2.shtml"), cached);
    EXPECT_EQ(workbench().box("txt_LOA_Pingers"), "3");

    workbench().RESET();
    workbench().chooseType(0);
    workbench().press("LOA_Pingers");
    // beta's second record is not fetched: its first record's page and URL stay together.
    EXPECT_EQ(workbench().box("txt_LOA_Pingers"), "4");
    EXPECT_EQ(workbench().table(kPingersTable).text(kPingerUrl, 0), url("/beta/rlist.html"));
    EXPECT_EQ(ReadFile(data_ / "beta_rlist.shtml"), ReadFile(SourceDir() / "pulsegrid/tests/data/beta_rlist.html"));
    EXPECT_EQ(server_.hits("/beta/rlist-mirror.html"), 0);
    EXPECT_FALSE(std::filesystem::exists(data_.path().parent_path() / "evil_rlist.shtml"));
    EXPECT_NE(log().find("\"../evil PGP-1 skipped: the nick is not a usable file name\""), std::string::npos);

    // delta's MIX-1 page answers 404 and there was no copy: an empty file, still loaded.
    workbench().RESET();
    workbench().chooseType(1);
    workbench().press("LOA_Pingers");
    EXPECT_EQ(workbench().box("txt_LOA_Pingers"), "3");
    EXPECT_FALSE(std::filesystem::exists(data_ / "delta_mlist.shtml"));
}

}  // namespace
}  // namespace parlux::test
