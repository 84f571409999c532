// The data folder: PARLUX_DATA, else the home folder's Parlux, and never a
// folder shared with other users.
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/wait.h>
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
    int out[2];
    ASSERT_EQ(::pipe(out), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(out[0]);
        std::string said;
        if (::setgid(stranger) != 0 || ::setuid(stranger) != 0) {
            said = "cannot change user";
        } else {
            ::unsetenv("HOME");
            ::unsetenv("PARLUX_DATA");
            try {
                said = "folder " + DataFolder().string();
            } catch (const DataFolderError& e) {
                said = e.what();
            }
        }
        const ssize_t written = ::write(out[1], said.data(), said.size());
        ::_exit(written == static_cast<ssize_t>(said.size()) ? 0 : 1);
    }
    ::close(out[1]);
    std::string said;
    char buffer[512];
    for (ssize_t n; (n = ::read(out[0], buffer, sizeof buffer)) > 0;) said.append(buffer, static_cast<std::size_t>(n));
    ::close(out[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_EQ(said, "No data folder: HOME is not set and user " + std::to_string(stranger) +
                        " has no home folder in the password database; set HOME or PARLUX_DATA");
}

}  // namespace
}  // namespace parlux
