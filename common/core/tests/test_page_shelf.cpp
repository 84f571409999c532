// Pages rewritten through the shelf: each page whole, its old text the next
// copy, no new file for a page written again; and what is found in the shelf
// or in a page's place is never written through, a page it cannot take is
// written the usual way.
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>

#include <fcntl.h>
#include <unistd.h>

#include <functional>

#include "common/core/PageShelf.h"
#include "testsupport/TestSupport.h"

namespace parlux {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::WriteFile;

ino_t Inode(const fs::path& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 ? info.st_ino : 0;
}

TEST(PageShelf, EachPageWholeAndNothingElseTouched) {
    struct Case {
        const char* name;
        std::function<void(const fs::path& folder, const fs::path& elsewhere)> arrange;
        bool shelved = true;
        const char* copyAfter = "old";  // what the shelf's copy holds after; nullptr: no copy
    };
    const auto shelf = [](const fs::path& folder) { return folder / kShelfName; };
    int held = -1;
    // clang-format off
    const Case cases[] = {
        {"a page written for the first time", [](const fs::path& f, const fs::path&) { fs::remove(f / "p.html"); },
         true, nullptr},
        {"a page written again", [](const fs::path&, const fs::path&) {}},
        {"a copy that is a link to a file elsewhere",
         [&](const fs::path& f, const fs::path& e) { fs::create_directory(shelf(f)), fs::create_symlink(e / "victim", shelf(f) / "p.html"); }},
        {"a copy that is a second name of a file elsewhere",
         [&](const fs::path& f, const fs::path& e) { fs::create_directory(shelf(f)), fs::create_hard_link(e / "victim", shelf(f) / "p.html"); }},
        {"a shelf that is a link to a folder elsewhere",
         [&](const fs::path& f, const fs::path& e) { fs::create_directory_symlink(e, shelf(f)); }, false, nullptr},
        {"a shelf others may write",
         [&](const fs::path& f, const fs::path&) { fs::create_directory(shelf(f)), fs::permissions(shelf(f), fs::perms::all); },
         false, nullptr},
        {"a shelf another program holds",
         [&](const fs::path& f, const fs::path&) {
             fs::create_directory(shelf(f));
             held = ::open(shelf(f).c_str(), O_RDONLY | O_DIRECTORY);
             ::flock(held, LOCK_EX);
         }, false, nullptr},
        {"a page that is a link to a file elsewhere",
         [](const fs::path& f, const fs::path& e) { fs::remove(f / "p.html"), fs::create_symlink(e / "victim", f / "p.html"); },
         true, nullptr},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempDir folder, elsewhere;
        WriteFile(folder / "p.html", "old");
        WriteFile(elsewhere / "victim", "victim");
        c.arrange(folder.path(), elsewhere.path());
        {
            PageShelf pages(folder.path(), std::chrono::milliseconds(50));
            EXPECT_EQ(pages.shelved(), c.shelved);
            pages.replace("p.html", "new");
        }
        ::close(held), held = -1;
        EXPECT_EQ(ReadFile(folder / "p.html"), "new");
        EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(folder / "p.html")));
        EXPECT_EQ(ReadFile(elsewhere / "victim"), "victim");
        EXPECT_FALSE(fs::exists(elsewhere / "p.html"));
        if (c.copyAfter) {
            EXPECT_EQ(ReadFile(shelf(folder.path()) / "p.html"), c.copyAfter);
        }
        if (!c.shelved) continue;
        // Written again: into the last copy, which becomes the page.
        const ino_t copy = Inode(shelf(folder.path()) / "p.html");
        PageShelf(folder.path()).replace("p.html", "newer");
        EXPECT_EQ(ReadFile(folder / "p.html"), "newer");
        EXPECT_EQ(ReadFile(shelf(folder.path()) / "p.html"), "new");
        if (copy) {
            EXPECT_EQ(Inode(folder / "p.html"), copy);
        }
    }
}

TEST(PageShelf, APageThatIsAFolderIsRefusedAndKept) {
    test::TempDir folder;
    fs::create_directories(folder / "p.html" / "inside");
    EXPECT_THROW(PageShelf(folder.path()).replace("p.html", "new"), fs::filesystem_error);
    EXPECT_TRUE(fs::is_directory(folder / "p.html" / "inside"));
}

}  // namespace
}  // namespace parlux
