// The maintainer's night, whole: "Gridhub --wait FULL_AUTO" (and "Pulsegrid
// --wait FULL_AUTO") run headless from a program folder of the built
// programs against pingers served on loopback, one row per road of the
// night. What cron reads: the status, the stderr lines, and the pages there
// when the waiting program has ended.
#include <gtest/gtest.h>

#include <httplib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QProcess>
#include <algorithm>
#include <chrono>
#include <csignal>
#include <functional>
#include <ostream>
#include <thread>

#include "common/core/StatsTypes.h"
#include "pulsegrid/gui_tests/Pingers.h"
#include "testsupport/LoopbackServer.h"
#include "testsupport/QtTestSupport.h"

namespace parlux::test {
namespace {

namespace fs = std::filesystem;
using Strings = std::vector<std::string>;

struct Road {
    const char* name;
    const char* program;                                                       // what cron runs with --wait FULL_AUTO
    std::vector<std::string> down;                                             // pingers whose addresses lead nowhere
    std::function<void(const fs::path& data, const fs::path& program)> spoil;  // before the run
    int status;                                                                // or the signal that ended it
    Strings errors;        // every stderr line, DATA standing for the data folder, PROG for the program folder
    bool started = true;   // whether the comparers ran at all
    int signal = 0;        // sent once beta, answering slowly, is being fetched
    bool journal = false;  // stderr is the journal
    bool foreign = false;  // the data folder and all in it belong to nobody (root's run)
};

constexpr uid_t kNobody = 65534;

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

// In the order of Pingers.lst: type by type, beta before alpha.
Strings NotReached(const Strings& nicks, const std::string& level = "") {
    Strings lines;
    for (const auto& type : kFourTypes)
        for (const auto& nick : nicks) lines.push_back(level + "Pulsegrid: not reached: " + nick + " " + type);
    return lines;
}

// Every page of the four types, as not written.
Strings PagesNotWritten() {
    Strings lines;
    for (const auto& type : kFourTypes)
        for (const char* page : {"DS", "RS", "RC"})
            if (page[1] != 'C' || type.back() == '2')
                lines.push_back(std::string("Pulsegrid: not written: DATA/Comp_") + page + "_" + type + ".txt");
    return lines;
}

const Strings kFlaggridFoundNothing = {"Flaggrid: 0 pingers not reached, 1 page not written",
                                       "Flaggrid: not written: DATA/Comp_RC_0000.txt"};

Strings Joined(std::initializer_list<Strings> parts) {
    Strings all;
    for (const Strings& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

void RemoveCopies(const fs::path& data, const fs::path&) {
    for (const auto& type : kFourTypes)
        for (const char* nick : {"alpha", "beta"}) fs::remove(data / (nick + StatsFileName(type, "")));
}

// A road as its name, where a failure names the parameter.
void PrintTo(const Road& road, std::ostream* out) { *out << road.name; }

const Road kRoads[] = {
    {"AllReached", "Gridhub", {}, nullptr, 0, {}},
    {"OnePingerDown",
     "Gridhub",
     {"beta"},
     nullptr,
     0,
     Joined({{"Pulsegrid: 1 pinger not reached (4 files), 0 pages not written"}, NotReached({"beta"})})},
    {"AllDown",
     "Gridhub",
     {"alpha", "beta"},
     nullptr,
     1,
     Joined({{"Pulsegrid: 2 pingers not reached (8 files), 0 pages not written",
              "Pulsegrid: no pinger reached: the pages hold only the copies of earlier runs"},
             NotReached({"beta", "alpha"}),
             {"Gridhub: Pulsegrid FULL_AUTO ended with status 1"}})},
    {"APageNotWritable",
     "Gridhub",
     {},
     [](const fs::path& data, const fs::path&) { fs::create_directory(data / "Comp_DS_MIX-1.txt"); },
     1,
     {"Pulsegrid: DATA/Comp_DS_MIX-1.txt cannot be written", "Pulsegrid: 0 pingers not reached, 1 page not written",
      "Pulsegrid: not written: DATA/Comp_DS_MIX-1.txt", "Gridhub: Pulsegrid FULL_AUTO ended with status 1"}},
    {"PingersBadMissing",
     "Gridhub",
     {},
     [](const fs::path& data, const fs::path&) { fs::remove(data / "PingersBad.lst"); },
     1,
     {"Gridhub: DATA/PingersBad.lst Not found: Pingers.html is not written",
      "Rosterbase: Cannot read DATA/PingersBad.lst (No such file or directory): Pingers.html not written",
      "Gridhub: Rosterbase ended with status 1"}},
    {"AFailingFlaggridFailsTheNight",
     "Gridhub",
     {},
     [](const fs::path& data, const fs::path&) { fs::create_directory(data / "Comp_RC_0000.txt"); },
     1,
     {"Flaggrid: DATA/Comp_RC_0000.txt cannot be written", "Flaggrid: 0 pingers not reached, 1 page not written",
      "Flaggrid: not written: DATA/Comp_RC_0000.txt", "Pulsegrid: 0 pingers not reached, 0 pages not written",
      "Pulsegrid: Flaggrid FULL_AUTO ended with status 1", "Gridhub: Pulsegrid FULL_AUTO ended with status 1"}},
    {"PulsegridWaitsForItsFlaggrid",
     "Pulsegrid",
     {},
     [](const fs::path& data, const fs::path&) { fs::create_directory(data / "Comp_RC_0000.txt"); },
     1,
     {"Flaggrid: DATA/Comp_RC_0000.txt cannot be written", "Flaggrid: 0 pingers not reached, 1 page not written",
      "Flaggrid: not written: DATA/Comp_RC_0000.txt", "Pulsegrid: 0 pingers not reached, 0 pages not written",
      "Pulsegrid: Flaggrid FULL_AUTO ended with status 1"}},
    {"NoPingerNorCopy",
     "Gridhub",
     {"alpha", "beta"},
     RemoveCopies,
     1,
     Joined(
         {kFlaggridFoundNothing,
          {"Pulsegrid: 2 pingers not reached (8 files), 10 pages not written", "Pulsegrid: no pinger reached"},
          NotReached({"beta", "alpha"}),
          PagesNotWritten(),
          {"Pulsegrid: Flaggrid FULL_AUTO ended with status 1", "Gridhub: Pulsegrid FULL_AUTO ended with status 1"}})},
    {"NoCapabilityLine",
     "Pulsegrid",
     {"alpha", "beta"},
     [](const fs::path& data, const fs::path&) {
         for (const auto& type : kFourTypes)
             for (const char* nick : {"alpha", "beta"}) {
                 std::string page = Replaced(StatsList(type, {"dizum"}), CapabilityLine("dizum"), "");
                 WriteFile(data / (nick + StatsFileName(type, "")), page);
             }
     },
     1,
     Joined({kFlaggridFoundNothing,
             {"Pulsegrid: 2 pingers not reached (8 files), 0 pages not written",
              "Pulsegrid: no pinger reached: the pages hold only the copies of earlier runs"},
             NotReached({"beta", "alpha"}),
             {"Pulsegrid: Flaggrid FULL_AUTO ended with status 1"}})},
    {"RunLogIsALink",
     "Gridhub",
     {},
     [](const fs::path&, const fs::path& program) {
         fs::create_symlink(program / "elsewhere", program / "Pulsegrid.log");
     },
     0,
     {"Pulsegrid: PROG/Pulsegrid.log: the run log is a link, never written through: no log kept"}},
    {"JournalGetsLevels",
     "Gridhub",
     {"beta"},
     [](const fs::path& data, const fs::path&) { fs::create_directory(data / "Comp_DS_MIX-1.txt"); },
     1,
     Joined({{"<3>Pulsegrid: DATA/Comp_DS_MIX-1.txt cannot be written",
              "<4>Pulsegrid: 1 pinger not reached (4 files), 1 page not written"},
             NotReached({"beta"}, "<4>"),
             {"<3>Pulsegrid: not written: DATA/Comp_DS_MIX-1.txt",
              "<3>Gridhub: Pulsegrid FULL_AUTO ended with status 1"}}),
     true,
     0,
     true},
    {"SignalPassedOn", "Gridhub", {}, nullptr, SIGTERM, {}, true, SIGTERM},
    {"RootInAUsersFolder",
     "Gridhub",
     {"beta"},
     nullptr,
     0,
     Joined({{"Pulsegrid: 1 pinger not reached (4 files), 0 pages not written"}, NotReached({"beta"})}),
     true,
     0,
     false,
     true},
};

// The programs of the night in a program folder of their own (hard links
// to the built ones), so that their run logs stay apart from other tests'.
class NightRoads : public ProgramTest, public ::testing::WithParamInterface<Road> {
protected:
    NightRoads() : ProgramTest(GetParam().program) {
        for (const char* name : {"Gridhub", "Pulsegrid", "Flaggrid", "Lockgrid", "Rosterbase"}) {
            std::error_code ec;
            fs::create_hard_link(BinDir() / name, program_ / name, ec);
            if (ec) fs::copy_file(BinDir() / name, program_ / name);
        }
        useBinary(program_ / GetParam().program);
        ServePingers(server_);
        server_.handle("/slow/", [](const httplib::Request&, httplib::Response& answer) {
            std::this_thread::sleep_for(std::chrono::seconds(3));
            answer.set_content(StatsList("PGP-1", {"dizum"}), "text/html");
        });
        server_.start();
    }
    // The stderr lines, a pinger's reason cut off (libcurl's words vary).
    Strings errorLines() const {
        Strings lines;
        const std::string errors = Replaced(Replaced(ReadFile(tmp_ / "err.txt"), data_.path().string(), "DATA"),
                                            program_.path().string(), "PROG");
        for (std::size_t pos = 0, end; (end = errors.find('\n', pos)) != std::string::npos; pos = end + 1) {
            std::string line = errors.substr(pos, end - pos);
            if (line.find(": not reached: ") != std::string::npos) line = line.substr(0, line.find(" ("));
            lines.push_back(line);
        }
        return lines;
    }

    // The list, last night's copies and the road's own spoiling, before the run.
    void prepare(const Road& road) {
        // A stats-only site: Lockgrid finds no key record and keeps quiet.
        std::string list = PingersList(server_);
        const std::string closed = "127.0.0.1:" + std::to_string(ClosedLoopbackPort());
        const std::string served = "127.0.0.1:" + std::to_string(server_.port()) + "/";
        for (const auto& nick : road.down) list = Replaced(list, served + nick + "/", closed + "/");
        if (road.signal) list = Replaced(list, served + "beta/", served + "slow/");
        WriteFile(data_ / "Pingers.lst", list);
        WriteFile(data_ / "PingersBad.lst", "");
        // Last night's copies, for the pingers that are down tonight.
        for (const auto& type : kFourTypes)
            for (const std::string nick : {"alpha", "beta"})
                WriteFile(data_ / (nick + StatsFileName(type, "")),
                          StatsList(type, {nick == "alpha" ? "austria" : "hermetix"}));
        if (road.spoil) road.spoil(data_.path(), program_.path());
        if (road.journal) {
            WriteFile(tmp_ / "err.txt", "");
            struct stat err {};
            ASSERT_EQ(::stat((tmp_ / "err.txt").c_str(), &err), 0);
            setEnv("JOURNAL_STREAM", QString("%1:%2").arg(err.st_dev).arg(err.st_ino));
        }
        if (road.foreign) {
            for (const auto& entry : fs::recursive_directory_iterator(data_.path()))
                ASSERT_EQ(::lchown(entry.path().c_str(), kNobody, kNobody), 0);
            ASSERT_EQ(::chown(data_.path().c_str(), kNobody, kNobody), 0);
        }
    }

    // No empty copy stands for a pinger not reached; root's files are the owner's.
    void expectCopiesAndOwners(const Road& road) const {
        for (const auto& type : kFourTypes)
            for (const std::string nick : {"alpha", "beta"}) {
                const fs::path copy = data_ / (nick + StatsFileName(type, ""));
                EXPECT_TRUE(!fs::exists(copy) || fs::file_size(copy) > 0) << copy;
            }
        for (const auto& entry : fs::recursive_directory_iterator(data_.path())) {
            struct stat info {};
            ASSERT_EQ(::lstat(entry.path().c_str(), &info), 0);
            EXPECT_TRUE(!road.foreign || info.st_uid == kNobody) << entry.path();
        }
    }

    // Ended only once the programs it started had ended: their logs are whole.
    void expectWholeLogs(const Road& road) const {
        const bool gridhub = road.program == std::string("Gridhub");
        for (const char* name : {"Pulsegrid", "Flaggrid", "Lockgrid"}) {
            const fs::path log = program_ / (std::string(name) + ".log");
            if (fs::is_symlink(log)) continue;  // no log kept
            const bool ran = road.started && (gridhub || name != std::string("Lockgrid"));
            ASSERT_EQ(fs::exists(log), ran) << name;
            if (!ran) continue;
            const auto tops = TopLines(ReadLog(log));
            ASSERT_FALSE(tops.empty()) << name;
            EXPECT_EQ(tops.back(), "HYPER Completed: ") << name;
        }
    }

    TempDir program_;
    LoopbackServer server_;
};

TEST_P(NightRoads, StatusStderrAndPagesTellTheNight) {
    const Road& road = GetParam();
    if (road.foreign && ::geteuid() != 0) GTEST_SKIP() << "only root runs in another user's folder";
    prepare(road);
    auto process = start({"--wait", "FULL_AUTO"}, true);
    if (road.signal) {
        for (int i = 0; i < 1000 && server_.hits("/slow/PGP-1") == 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        ::kill(static_cast<pid_t>(process->processId()), road.signal);
    }
    ASSERT_TRUE(process->waitForFinished(100000));
    EXPECT_EQ(process->exitStatus(), road.signal ? QProcess::CrashExit : QProcess::NormalExit);
    EXPECT_EQ(process->exitCode(), road.status);
    EXPECT_EQ(errorLines(), road.errors);
    expectCopiesAndOwners(road);
    if (road.signal) {
        // What it started ended with it: no Pulsegrid runs on to start a Flaggrid.
        std::this_thread::sleep_for(std::chrono::seconds(4));
        EXPECT_FALSE(fs::exists(program_ / "Flaggrid.log"));
        return;
    }

    expectWholeLogs(road);
    if (!road.started) {
        int hits = 0;
        for (const auto& type : kFourTypes) hits += server_.hits("/alpha/" + type) + server_.hits("/beta/" + type);
        EXPECT_EQ(hits, 0);
        return;
    }
    // Flaggrid's report and Rosterbase's page are there unless a line said otherwise.
    const bool reported = std::none_of(road.errors.begin(), road.errors.end(), [](const std::string& line) {
        return line.find("Flaggrid: not written:") != std::string::npos;
    });
    std::error_code ec;
    EXPECT_EQ(fs::is_regular_file(data_ / "Comp_RC_0000.txt", ec), reported);
    const bool gridhub = road.program == std::string("Gridhub");
    EXPECT_EQ(fs::is_regular_file(data_ / "Pingers.html", ec), gridhub && fs::exists(data_ / "PingersBad.lst"));
    // One log of several programs at once: every line says whose it is.
    auto printed = LinesByProgram(ReadFile(tmp_ / "out.txt"));
    EXPECT_EQ(printed[""], Strings{});
    if (!fs::is_symlink(program_ / "Pulsegrid.log")) {
        EXPECT_EQ(printed["Pulsegrid"], CrLfLines(ReadFile(program_ / "Pulsegrid.log")));
    }
    EXPECT_EQ(printed["Flaggrid"], CrLfLines(ReadFile(program_ / "Flaggrid.log")));
}

INSTANTIATE_TEST_SUITE_P(Roads, NightRoads, ::testing::ValuesIn(kRoads),
                         [](const ::testing::TestParamInfo<Road>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace parlux::test
