// The maintainer's night, whole: "Gridhub --wait FULL_AUTO" (and "Pulsegrid
// --wait FULL_AUTO") run headless from a program folder of the built
// programs against pingers served on loopback, one row per road of the
// night. What cron reads: the status, the stderr lines, and the pages there
// when the waiting program has ended.
#include <gtest/gtest.h>

#include <QProcess>
#include <algorithm>
#include <functional>
#include <ostream>

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
    const char* program;                              // what cron runs with --wait FULL_AUTO
    std::vector<std::string> down;                    // pingers whose addresses lead nowhere
    std::function<void(const fs::path& data)> spoil;  // before the run
    int status;
    Strings errors;       // every stderr line, DATA standing for the data folder
    bool started = true;  // whether the comparers ran at all
};

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

// In the order of Pingers.lst: type by type, beta before alpha.
Strings NotReached(const Strings& nicks) {
    Strings lines;
    for (const auto& type : kFourTypes)
        for (const auto& nick : nicks) lines.push_back("Pulsegrid: not reached: " + nick + " " + type);
    return lines;
}

Strings Joined(std::initializer_list<Strings> parts) {
    Strings all;
    for (const Strings& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
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
     Joined({{"Pulsegrid: 4 pingers not reached, 0 pages not written"}, NotReached({"beta"})})},
    {"AllDown",
     "Gridhub",
     {"alpha", "beta"},
     nullptr,
     1,
     Joined({{"Pulsegrid: 8 pingers not reached, 0 pages not written",
              "Pulsegrid: no pinger reached: the pages hold only the copies of earlier runs"},
             NotReached({"beta", "alpha"}),
             {"Gridhub: Pulsegrid FULL_AUTO ended with status 1"}})},
    {"APageNotWritable",
     "Gridhub",
     {},
     [](const fs::path& data) { fs::create_directory(data / "Comp_DS_MIX-1.txt"); },
     1,
     {"Pulsegrid: DATA/Comp_DS_MIX-1.txt cannot be written", "Pulsegrid: 0 pingers not reached, 1 page not written",
      "Pulsegrid: not written: DATA/Comp_DS_MIX-1.txt", "Gridhub: Pulsegrid FULL_AUTO ended with status 1"}},
    {"PingersBadMissing",
     "Gridhub",
     {},
     [](const fs::path& data) { fs::remove(data / "PingersBad.lst"); },
     1,
     {"Gridhub: DATA/PingersBad.lst Not found: nothing started"},
     false},
    {"AFailingFlaggridFailsTheNight",
     "Gridhub",
     {},
     [](const fs::path& data) { fs::create_directory(data / "Comp_RC_0000.txt"); },
     1,
     {"Flaggrid: DATA/Comp_RC_0000.txt cannot be written", "Flaggrid: 0 pingers not reached, 1 page not written",
      "Flaggrid: not written: DATA/Comp_RC_0000.txt", "Pulsegrid: 0 pingers not reached, 0 pages not written",
      "Pulsegrid: Flaggrid FULL_AUTO ended with status 1", "Gridhub: Pulsegrid FULL_AUTO ended with status 1"}},
    {"PulsegridWaitsForItsFlaggrid",
     "Pulsegrid",
     {},
     [](const fs::path& data) { fs::create_directory(data / "Comp_RC_0000.txt"); },
     1,
     {"Flaggrid: DATA/Comp_RC_0000.txt cannot be written", "Flaggrid: 0 pingers not reached, 1 page not written",
      "Flaggrid: not written: DATA/Comp_RC_0000.txt", "Pulsegrid: 0 pingers not reached, 0 pages not written",
      "Pulsegrid: Flaggrid FULL_AUTO ended with status 1"}},
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
        server_.start();
    }
    // The stderr lines, a pinger's reason cut off (libcurl's words vary).
    Strings errorLines() const {
        Strings lines;
        const std::string errors = Replaced(ReadFile(tmp_ / "err.txt"), data_.path().string(), "DATA");
        for (std::size_t pos = 0, end; (end = errors.find('\n', pos)) != std::string::npos; pos = end + 1) {
            std::string line = errors.substr(pos, end - pos);
            if (line.find(": not reached: ") != std::string::npos) line = line.substr(0, line.find(" ("));
            lines.push_back(line);
        }
        return lines;
    }

    TempDir program_;
    LoopbackServer server_;
};

TEST_P(NightRoads, StatusStderrAndPagesTellTheNight) {
    const Road& road = GetParam();
    // A stats-only site: Lockgrid finds no key record and keeps quiet.
    std::string list = PingersList(server_);
    const std::string closed = "127.0.0.1:" + std::to_string(ClosedLoopbackPort());
    for (const auto& nick : road.down)
        list = Replaced(list, "127.0.0.1:" + std::to_string(server_.port()) + "/" + nick + "/", closed + "/");
    WriteFile(data_ / "Pingers.lst", list);
    WriteFile(data_ / "PingersBad.lst", "");
    // Last night's copies, for the pingers that are down tonight.
    for (const auto& type : kFourTypes)
        for (const std::string nick : {"alpha", "beta"})
            WriteFile(data_ / (nick + StatsFileName(type, "")),
                      StatsList(type, {nick == "alpha" ? "austria" : "hermetix"}));
    if (road.spoil) road.spoil(data_.path());

    auto process = start({"--wait", "FULL_AUTO"}, true);
    ASSERT_TRUE(process->waitForFinished(100000));
    EXPECT_EQ(process->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process->exitCode(), road.status);
    EXPECT_EQ(errorLines(), road.errors);

    // Ended only once the programs it started had ended: their logs are whole.
    const bool gridhub = road.program == std::string("Gridhub");
    for (const char* name : {"Pulsegrid", "Flaggrid", "Lockgrid"}) {
        const fs::path log = program_ / (std::string(name) + ".log");
        const bool ran = road.started && (gridhub || name != std::string("Lockgrid"));
        ASSERT_EQ(fs::exists(log), ran) << name;
        if (!ran) continue;
        const auto tops = TopLines(ReadLog(log));
        ASSERT_FALSE(tops.empty()) << name;
        EXPECT_EQ(tops.back(), "HYPER Completed: ") << name;
    }
    if (!road.started) {
        int hits = 0;
        for (const auto& type : kFourTypes) hits += server_.hits("/alpha/" + type) + server_.hits("/beta/" + type);
        EXPECT_EQ(hits, 0);
        return;
    }
    std::error_code ec;
    EXPECT_EQ(fs::is_regular_file(data_ / "Comp_RC_0000.txt", ec), !fs::is_directory(data_ / "Comp_RC_0000.txt", ec));
    EXPECT_EQ(fs::is_regular_file(data_ / "Pingers.html", ec), gridhub);
    // One log of several programs at once: every line says whose it is.
    auto printed = LinesByProgram(ReadFile(tmp_ / "out.txt"));
    EXPECT_EQ(printed[""], Strings{});
    EXPECT_EQ(printed["Pulsegrid"], CrLfLines(ReadFile(program_ / "Pulsegrid.log")));
    EXPECT_EQ(printed["Flaggrid"], CrLfLines(ReadFile(program_ / "Flaggrid.log")));
}

INSTANTIATE_TEST_SUITE_P(Roads, NightRoads, ::testing::ValuesIn(kRoads),
                         [](const ::testing::TestParamInfo<Road>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace parlux::test
