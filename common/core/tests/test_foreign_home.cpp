// The run log and the "Me" folder of an installed program (its own folder not
// the user's to write in) in a home that may hold planted links, or that
// belongs to another user: root started with a user's HOME, as su without
// "-" leaves it. Nothing is written through a link, and nothing is made in a
// home that is not the running user's own.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "common/core/DataFolder.h"
#include "common/core/Files.h"
#include "common/core/RunLog.h"
#include "common/core/StderrLines.h"
#include "testsupport/TestSupport.h"

namespace parlux::test {
namespace {

namespace fs = std::filesystem;

constexpr uid_t kStranger = 65534;  // nobody: the owner of another user's home

enum class Planted { Nothing, LinkToVictim, Fifo, Folder };

struct HomeCase {
    const char* name;
    bool foreign;         // the home and all in it belong to kStranger
    const char* plantAt;  // under the home
    Planted planted;
    const char* log;      // the run log under the home; "" when none is kept
    const char* refused;  // what the refused log says after its path; "" when it works
    const char* me;       // the "Me" folder under the home; "" for the program folder
};

// Every entry under the home belongs to the stranger: root made nothing there.
bool AllTheStrangers(const fs::path& home) {
    for (const auto& entry : fs::recursive_directory_iterator(home)) {
        struct stat info {};
        if (::lstat(entry.path().c_str(), &info) != 0 || info.st_uid != kStranger) return false;
    }
    return true;
}

void ChownAll(const fs::path& home) {
    ASSERT_EQ(::lchown(home.c_str(), kStranger, kStranger), 0);
    for (const auto& entry : fs::recursive_directory_iterator(home))
        ASSERT_EQ(::lchown(entry.path().c_str(), kStranger, kStranger), 0);
}

void Plant(const HomeCase& c, const fs::path& at, const fs::path& victim) {
    if (c.planted == Planted::Nothing) return;
    fs::create_directories(at.parent_path());
    if (c.planted == Planted::LinkToVictim) fs::create_symlink(victim, at);
    if (c.planted == Planted::Fifo) {
        ASSERT_EQ(::mkfifo(at.c_str(), 0600), 0);
    }
    if (c.planted == Planted::Folder) fs::create_directory(at);
}

// The log emptied and written to, or refused with its reason.
void ExpectLog(const HomeCase& c, const fs::path& logPath, std::vector<std::string>& refusals) {
    const RunLog log(logPath);
    if (!*c.refused) {
        log.reset();
        log.append(MakeDateTime(2026, 12, 9), "RESET", " ");
        log.close();
        if (!logPath.empty()) {
            EXPECT_EQ(ReadFile(logPath), "#2026-12-09#,\"RESET\",\" \"\r\n");
        }
        return;
    }
    // Refused: said once on stderr, nothing written, and the run goes on.
    log.reset();
    log.append(MakeDateTime(2026, 12, 9), "RESET", " ");
    refusals.push_back(StderrProgram() + ": " + logPath.string() + ": " + c.refused + ": no log kept\n");
}

TEST(ForeignHome, NoLinkIsWrittenThroughAndNothingIsMadeInAnotherUsersHome) {
    const char* const stateLog = ".local/state/parlux/Pulsegrid.log";
    const char* const meList = ".config/parlux/Pingers.lst";
    const HomeCase cases[] = {
        {"own home: the log in its state folder", false, "", Planted::Nothing, stateLog, "", ".config/parlux"},
        {"own home: a link planted at the log", false, stateLog, Planted::LinkToVictim, stateLog,
         "the run log is a link, never written through", ".config/parlux"},
        {"own home: a FIFO at the log", false, stateLog, Planted::Fifo, stateLog, "the run log is not a regular file",
         ".config/parlux"},
        {"own home: a folder at the log", false, stateLog, Planted::Folder, stateLog,
         "the run log is not a regular file", ".config/parlux"},
        {"own home: a link planted at the \"Me\" folder's list", false, meList, Planted::LinkToVictim, stateLog, "",
         ".config/parlux"},
        {"another user's home", true, "", Planted::Nothing, "", "", ""},
        {"another user's home: a link planted at the log", true, stateLog, Planted::LinkToVictim, "", "", ""},
        {"another user's home: a link planted at the \"Me\" folder's list", true, meList, Planted::LinkToVictim, "", "",
         ""},
    };
    const bool root = ::geteuid() == 0;
    ScopedEnv noState("XDG_STATE_HOME", nullptr);
    ScopedEnv noConfig("XDG_CONFIG_HOME", nullptr);
    std::vector<std::string> refusals;
    testing::internal::CaptureStderr();
    for (const HomeCase& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.foreign && !root) continue;  // only root can hand a home to another user
        TempDir top;
        const fs::path home = top / "home", victim = top / "root-only", data = top / "data";
        const fs::path installed = top / "usr-bin";  // not there: not the user's own to write in
        fs::create_directories(home);
        fs::create_directories(data);
        WriteFile(victim, "root's own, 28 bytes of it.\n");
        fs::permissions(victim, fs::perms::owner_read | fs::perms::owner_write);
        Plant(c, home / c.plantAt, victim);
        if (c.foreign) ChownAll(home);
        ScopedEnv setHome("HOME", home.c_str());

        const fs::path logPath = RunLogPath(installed, "Pulsegrid");
        EXPECT_EQ(logPath, *c.log ? home / c.log : fs::path());
        ExpectLog(c, logPath, refusals);

        const fs::path me = MeFolder(installed);
        EXPECT_EQ(me, *c.me ? home / c.me : installed);
        RecordingMessages messages;
        CopyFilesOver(me, data, {"Pingers.lst"}, messages);
        if (c.foreign) {
            EXPECT_FALSE(fs::exists(data / "Pingers.lst"));  // nothing read through the user's link
            EXPECT_TRUE(AllTheStrangers(home));
        }
        EXPECT_EQ(ReadFile(victim), "root's own, 28 bytes of it.\n");
    }
    const std::string said = testing::internal::GetCapturedStderr();
    for (const std::string& refusal : refusals) {
        const auto at = said.find(refusal);
        EXPECT_TRUE(at != std::string::npos && said.find(refusal, at + 1) == std::string::npos) << said;
    }
    if (root) {
        // Said once, however often the folders are asked for.
        const std::string line = " is not the running user's own: no run log and no \"Me\" files are kept\n";
        const auto first = said.find(line);
        EXPECT_NE(first, std::string::npos) << said;
        EXPECT_EQ(said.find(line, first + 1), std::string::npos) << said;
    }
}

}  // namespace
}  // namespace parlux::test
