// The data folder's lock in each kind of place it may find: a lock that cannot
// be taken is no lock, and the program stops as when another copy holds it.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "common/core/DataFolderLock.h"
#include "testsupport/TestSupport.h"

namespace parlux::test {
namespace {

namespace fs = std::filesystem;

struct LockCase {
    const char* name;
    std::function<void(const fs::path& folder, const fs::path& lock)> make;
    bool runs;            // OpenDataFolder lets the program go on
    std::string problem;  // after the lock's path, when it does not
};

// OpenDataFolder as user 65534 in a forked child, which cannot make the lock
// in a folder of root's: its answer, or "" when it would run.
std::string ProblemAsAnotherUser(const fs::path& folder) {
    int out[2];
    if (::pipe(out) != 0) return "no pipe";
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(out[0]);
        std::string said = "cannot change user";
        if (::setgid(65534) == 0 && ::setuid(65534) == 0) {
            std::unique_ptr<DataFolderLock> lock;
            std::string problem;
            said = OpenDataFolder("Rosterbase", folder, lock, problem) ? "" : problem;
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
    return said;
}

TEST(DataFolderLockKinds, ALockThatCannotBeTakenStopsTheProgram) {
    const LockCase cases[] = {
        {"no lock file yet", [](const fs::path&, const fs::path&) {}, true, ""},
        {"a lock file left by an earlier run", [](const fs::path&, const fs::path& lock) { WriteFile(lock, ""); }, true,
         ""},
        {"a folder", [](const fs::path&, const fs::path& lock) { fs::create_directory(lock); }, false,
         " cannot be opened: Is a directory: nothing done"},
        {"a link to a file",
         [](const fs::path& folder, const fs::path& lock) {
             WriteFile(folder / "elsewhere", "");
             fs::create_symlink(folder / "elsewhere", lock);
         },
         false, " is a link: nothing done"},
        {"a link to nothing",
         [](const fs::path& folder, const fs::path& lock) { fs::create_symlink(folder / "nothing", lock); }, false,
         " is a link: nothing done"},
        {"a FIFO", [](const fs::path&, const fs::path& lock) { ASSERT_EQ(::mkfifo(lock.c_str(), 0600), 0); }, false,
         " is not a regular file: nothing done"},
    };
    for (const LockCase& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir data;
        const fs::path lockPath = data / ".Rosterbase.lock";
        c.make(data.path(), lockPath);
        std::unique_ptr<DataFolderLock> lock;
        std::string problem;
        EXPECT_EQ(OpenDataFolder("Rosterbase", data.path(), lock, problem), c.runs);
        EXPECT_EQ(problem, c.runs ? "" : lockPath.string() + c.problem);
        if (c.runs) {
            EXPECT_EQ(lock->state(), DataFolderLock::State::Taken);
        }
    }

    // Held by another copy: the same stop, in its own words.
    TempDir data;
    std::unique_ptr<DataFolderLock> first, second;
    std::string problem;
    ASSERT_TRUE(OpenDataFolder("Rosterbase", data.path(), first, problem));
    EXPECT_FALSE(OpenDataFolder("Rosterbase", data.path(), second, problem));
    EXPECT_EQ(problem, AnotherCopyText(data.path()));
    // A folder that is not there is left to the run, which says so at its first file.
    EXPECT_TRUE(OpenDataFolder("Rosterbase", data / "missing", second, problem));

    // A folder the user cannot write in: the lock cannot be made.
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to become another user";
    TempDir rootOnly;
    fs::permissions(rootOnly.path(), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                         fs::perms::others_read | fs::perms::others_exec);
    EXPECT_EQ(ProblemAsAnotherUser(rootOnly.path()),
              (rootOnly / ".Rosterbase.lock").string() + " cannot be opened: Permission denied: nothing done");
}

}  // namespace
}  // namespace parlux::test
