// LOA_Pingers and FIX_LfToCrLf when hosts stall, files cannot be saved or
// repaired, and what an unattended run reports at its end.
#include <fcntl.h>
#include <httplib.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>

#include "common/core/StatsTypes.h"
#include "common/core/Transfers.h"
#include "pulsegrid/tests/PipelineFixture.h"

namespace parlux::test {
namespace {

using namespace std::chrono_literals;

class Downloads : public PipelineTest {
protected:
    void SetUp() override { saved_ = CurrentDownloadLimits(); }
    void TearDown() override { CurrentDownloadLimits() = saved_; }

    // The detail lines of the run log, in order.
    std::vector<std::string> details() const {
        std::vector<std::string> out;
        for (const auto& line : CrLfLines(log())) {
            const auto open = line.rfind(",\"");
            out.push_back(withoutDataFolder(line.substr(open + 2, line.size() - open - 3)));
        }
        return out;
    }

    DownloadLimits saved_;
};

// Three records on a host that sends headers and then nothing: all three
// wait at the same time, so the host costs one time-out, not three. Names
// near the file-name limit are saved; one over it is said to be unsavable.
TEST_F(Downloads, StalledHostsCostOneTimeOutAndUnsavableFilesSayWhy) {
    CurrentDownloadLimits().lowSpeedTimeSeconds = 1;
    std::mutex mutex;
    std::condition_variable released;
    int waiting = 0, most = 0;
    bool done = false;
    server_.setWorkers(8);
    server_.handle(R"(/stall/\w+)", [&](const httplib::Request&, httplib::Response& res) {
        res.set_chunked_content_provider("text/html", [&](std::size_t, httplib::DataSink&) {
            std::unique_lock lock(mutex);
            most = std::max(most, ++waiting);
            released.wait_for(lock, 5s, [&] { return done; });
            --waiting;
            return false;
        });
    });
    server_.serve("/page", "Last update: Fri 30 Nov 2012 10:20:00 GMT\r\n");
    startServer();
    const std::string longNick(240, 'n'), tooLong(250, 't');
    writeList("PGP-1,s1," + url("/stall/s1") + "\r\nPGP-1,s2," + url("/stall/s2") + "\r\nPGP-1,good," + url("/page") +
              "\r\nPGP-1,s3," + url("/stall/s3") + "\r\nPGP-1," + longNick + "," + url("/page") + "\r\nPGP-1," +
              tooLong + "," + url("/page") + "\r\n");
    WriteFile(data_ / "s2_rlist.shtml", "");  // an empty stand-in is no earlier copy

    workbench().press("LOA_Pingers");
    {
        std::lock_guard lock(mutex);
        done = true;
    }
    released.notify_all();
    EXPECT_EQ(most, 3);
    // The "in Progress" and "Completed" records blank the detail line.
    const std::vector<std::string> expected = {
        " ",
        "s1 PGP-1 Downloading ",
        "s1 PGP-1 not downloaded: Timeout was reached; no earlier copy",
        "s2 PGP-1 Downloading ",
        "s2 PGP-1 not downloaded: Timeout was reached; no earlier copy",
        "good PGP-1 Downloading ",
        "good PGP-1 Downloaded, 43 Bytes",
        "s3 PGP-1 Downloading ",
        "s3 PGP-1 not downloaded: Timeout was reached; no earlier copy",
        longNick + " PGP-1 Downloading ",
        longNick + " PGP-1 Downloaded, 43 Bytes",
        tooLong + " PGP-1 Downloading ",
        tooLong + " PGP-1 not downloaded: cannot save <data>/" + tooLong +
            "_rlist.shtml: File name too long; no earlier copy",
        " ",
    };
    EXPECT_EQ(details(), expected);
    EXPECT_EQ(workbench().box("txt_LOA_Pingers"), "5");
    server_.stop();
}

// A pinger that truncates its file while regenerating it answers with an
// empty or partial body: the cached copy stays and is compared, and the log
// says why it was kept.
TEST_F(Downloads, AnswersThatAreNoPageKeepTheCachedCopy) {
    const ScopedTimeZone utc("UTC0");
    const std::string page = "Last update: Fri 30 Nov 2012 10:20:00 GMT\r\nh\r\n-----\r\nalpha   1\r\n";
    server_.serve("/empty", "");
    server_.serve("/none", "", 204);
    server_.serve("/part", "Last upd", 206);
    startServer();
    writeList("PGP-1,e," + url("/empty") + "\r\nPGP-1,n," + url("/none") + "\r\nPGP-1,p," + url("/part") +
              "\r\nPGP-1,fresh," + url("/empty") + "\r\n");
    for (const char* nick : {"e", "n", "p"}) {
        const auto path = data_ / StatsFileName("PGP-1", nick);
        WriteFile(path, page);
        std::tm when{};
        when.tm_year = 2026 - 1900, when.tm_mon = 11, when.tm_mday = 6, when.tm_hour = 23, when.tm_min = 15;
        const timespec times[2] = {{::timegm(&when), 0}, {::timegm(&when), 0}};
        ::utimensat(AT_FDCWD, path.c_str(), times, 0);
    }
    workbench().press("LOA_Pingers");
    const std::vector<std::string> expected = {
        " ",
        "e PGP-1 Downloading ",
        "e PGP-1 not downloaded: an empty answer; the copy of 2026/12/06 23:15:00 is used",
        "n PGP-1 Downloading ",
        "n PGP-1 not downloaded: HTTP status 204, no content; the copy of 2026/12/06 23:15:00 is used",
        "p PGP-1 Downloading ",
        "p PGP-1 not downloaded: HTTP status 206, a partial body; the copy of 2026/12/06 23:15:00 is used",
        "fresh PGP-1 Downloading ",
        "fresh PGP-1 not downloaded: an empty answer; no earlier copy",
        " ",
    };
    EXPECT_EQ(details(), expected);
    for (const char* nick : {"e", "n", "p"}) EXPECT_EQ(ReadFile(data_ / StatsFileName("PGP-1", nick)), page) << nick;
    EXPECT_EQ(workbench().report().notDownloaded.size(), 4u);
}

// A repair that cannot be written (here: a file-size limit, as a full disk
// would) says so, keeps the file and writes no success line for it.
TEST_F(Downloads, ARepairThatCannotBeWrittenSaysSoAndKeepsTheFile) {
    const std::string longLf =
        "Last update: Fri 30 Nov 2012 10:20:00 GMT" + std::string(200, '-') + "\n" + std::string(1500, 'x') + "\nend\n";
    server_.serve("/lf", longLf);
    server_.serve("/crlf", "Last update: Fri 30 Nov 2012 10:20:00 GMT\r\n");
    startServer();
    writeList("PGP-1,lf," + url("/lf") + "\r\nPGP-1,crlf," + url("/crlf") + "\r\n");
    workbench().press("LOA_Pingers");

    struct rlimit saved {};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    const auto oldHandler = ::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = longLf.size() + 1;  // the repaired file is longer by one CR per line
    ::setrlimit(RLIMIT_FSIZE, &small);
    workbench().press("FIX_LfToCrLf");
    ::setrlimit(RLIMIT_FSIZE, &saved);
    ::signal(SIGXFSZ, oldHandler);

    EXPECT_EQ(messages(), std::vector<std::string>{"<data>/lf_rlist.shtml cannot be rewritten: File too large"});
    EXPECT_EQ(ReadFile(data_ / "lf_rlist.shtml"), longLf);
    const auto lines = details();
    const std::vector<std::string> fix(lines.end() - 4, lines.end() - 1);
    EXPECT_EQ(fix, (std::vector<std::string>{"lf PGP-1 being LfToCrLf 'ed", "crlf PGP-1 being LfToCrLf 'ed",
                                             "crlf PGP-1 succesfully LfToCrLf 'ed 43 41"}));
}

// Without a list to go by (missing, or no record in it) an unattended HYPER
// stops at the step that found out, tries no other type, and its summary
// says why. At a screen every later step and type reports its box.
TEST_F(Downloads, HyperWithoutAListStopsAndSaysWhy) {
    const std::string empty = "Pulsegrid: <data>/Pingers.lst holds no pinger record: no page written\n";
    struct Case {
        const char* name;
        std::optional<std::string> list;  // nullopt: no file
        std::string summary;
        std::vector<std::string> messages;
    };
    const std::vector<Case> cases = {
        {"no list",
         std::nullopt,
         "Pulsegrid: 0 pingers not reached, 0 pages not written\nPulsegrid: list missing: <data>/Pingers.lst\n",
         {"<data>/Pingers.lst Not found"}},
        {"an empty file", "", empty, {}},
        {"blank lines", "\r\n  \r\n\n", empty, {}},
        {"a byte-order mark alone", "\xEF\xBB\xBF\r\n", empty, {}},
    };
    workbench().setUnattended(true);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(data_ / "Pingers.lst");
        if (c.list) writeList(*c.list);
        messages_.texts.clear();
        WriteFile(program_.path() / "Pulsegrid.log", "");
        workbench().HYPER();
        EXPECT_TRUE(workbench().report().failed());
        EXPECT_EQ(withoutDataFolder(workbench().report().summary("Pulsegrid")), c.summary);
        EXPECT_EQ(messages(), c.messages);
        const std::string records = log();
        EXPECT_NE(records.find("LOA_Pingers Completed: PGP-1"), std::string::npos);
        EXPECT_EQ(records.find("FIX_LfToCrLf"), std::string::npos);  // no step after it
        EXPECT_EQ(records.find("MIX-1"), std::string::npos);         // no other type
        EXPECT_NE(records.find("HYPER Completed: "), std::string::npos);
    }
    // By hand, with a box for each step that finds nothing, in every type.
    workbench().setUnattended(false);
    writeList("");
    messages_.texts.clear();
    workbench().HYPER();
    const std::string records = log();
    for (const auto& type : {"PGP-1", "MIX-1", "PGP-2", "MIX-2"}) {
        EXPECT_NE(records.find(std::string("PRT_Compil Completed: ") + type + " - False"), std::string::npos) << type;
    }
    // Each of the nine steps after LOA_Pingers finds no table, in four types.
    EXPECT_EQ(messages().size(), 4u * 9u);
    EXPECT_EQ(withoutDataFolder(workbench().report().summary("Pulsegrid")), empty);

    // A list of records of other types only is a list: each type runs.
    writeList("\"K-RSA\",\"alpha\",\"http://127.0.0.1:1/x\"\r\n");
    messages_.texts.clear();
    workbench().HYPER();
    EXPECT_FALSE(workbench().report().failed());
    EXPECT_NE(log().find("PRT_Compil in Progress: MIX-2"), std::string::npos);
}

// What an unattended run could not do, summed up at its end.
TEST_F(Downloads, TheRunReportCountsPingersNotReachedAndPagesNotWritten) {
    workbench().HYPER();  // no list at all
    EXPECT_TRUE(workbench().report().failed());
    EXPECT_EQ(withoutDataFolder(workbench().report().summary("Pulsegrid")),
              "Pulsegrid: 0 pingers not reached, 0 pages not written\n"
              "Pulsegrid: list missing: <data>/Pingers.lst\n");

    server_.serve("/page", "Last update: Fri 30 Nov 2012 10:20:00 GMT\r\nh\r\n-----\r\nalpha   1\r\n");
    server_.serve("/gone", "Not Found", 404);
    startServer();
    writeList("PGP-1,p1," + url("/page") + "\r\nPGP-1,p2," + url("/gone") + "\r\nMIX-1,p1," + url("/page") + "\r\n");
    std::filesystem::create_directory(data_ / "Comp_RS_PGP-1.txt");  // a page that cannot replace it
    workbench().HYPER();
    EXPECT_TRUE(workbench().report().failed());
    EXPECT_EQ(withoutDataFolder(workbench().report().summary("Pulsegrid")),
              "Pulsegrid: 1 pinger not reached, 1 page not written\n"
              "Pulsegrid: not reached: p2 PGP-1 (HTTP status 404)\n"
              "Pulsegrid: not written: <data>/Comp_RS_PGP-1.txt\n");

    std::filesystem::remove(data_ / "Comp_RS_PGP-1.txt");
    writeList("PGP-1,p1," + url("/page") + "\r\n");
    workbench().HYPER();
    EXPECT_FALSE(workbench().report().failed());
    EXPECT_EQ(workbench().report().summary("Pulsegrid"), "");  // a clean run says nothing

    // A Flaggrid that does not start would leave its page of an earlier night.
    launcher_.refuse = true;
    workbench().HYPER();
    EXPECT_TRUE(workbench().report().failed());
    EXPECT_EQ(workbench().report().summary("Pulsegrid"),
              "Pulsegrid: 0 pingers not reached, 0 pages not written\nPulsegrid: not started: " +
                  (program_ / "Flaggrid").string() + "\n");
}

}  // namespace
}  // namespace parlux::test
