// The run log: where it stands, and its records as written.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "common/core/DataFolder.h"
#include "common/core/DateTime.h"
#include "common/core/RunLog.h"
#include "testsupport/TestSupport.h"

namespace parlux {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::ScopedEnv;
using test::TempDir;
using test::WriteFile;

TEST(RunLog, ProgramFolderAndRunLogPath) {
    EXPECT_EQ(fs::canonical(ProgramFolder()), fs::canonical(test::BinDir()));
    EXPECT_EQ(ProgramName(), "core_tests");
    EXPECT_EQ(RunLogPath(), ProgramFolder() / "core_tests.log");
}

TEST(RunLog, ARunLogThatCannotStandBesideTheProgramGoesToTheUsersStateFolder) {
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

TEST(RunLog, ResetLogEmptiesThisProgramsLog) {
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

TEST(RunLog, RecordsAreAppendedAsWritten) {
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

}  // namespace
}  // namespace parlux
