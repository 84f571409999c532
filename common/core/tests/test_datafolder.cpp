// The data folder: PARLUX_DATA, else the home folder's Parlux, and never a
// folder shared with other users.
#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "common/core/DataFolder.h"
#include "testsupport/TestSupport.h"

namespace parlux {
namespace {

namespace fs = std::filesystem;
using test::ScopedEnv;

TEST(DataFolder, FromParluxDataElseTheHomeFolder) {
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
TEST(DataFolder, DataFolderOfAUserWithoutHomeFails) {
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

}  // namespace
}  // namespace parlux
