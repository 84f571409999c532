// The data folder's lock in each kind of place it may find: a lock that cannot
// be taken is no lock, and the program stops as when another copy holds it.
#include <gtest/gtest.h>
#include <sys/stat.h>
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
    const std::string said = AnswerAsUser(65534, [&rootOnly] {
        std::unique_ptr<DataFolderLock> lock;
        std::string problem;
        return OpenDataFolder("Rosterbase", rootOnly.path(), lock, problem) ? std::string() : problem;
    });
    EXPECT_EQ(said, (rootOnly / ".Rosterbase.lock").string() + " cannot be opened: Permission denied: nothing done");
}

}  // namespace
}  // namespace parlux::test
