// Deleting a file, and only a file.
#include <gtest/gtest.h>

#include <filesystem>

#include "common/core/Files.h"
#include "testsupport/TestSupport.h"

namespace parlux {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

TEST(Files, DeleteIfExists) {
    TempDir dir;
    const fs::path file = dir / "DMP-S_PingersArray.tmp";
    WriteFile(file, "x");
    DeleteIfExists(file);
    EXPECT_FALSE(fs::exists(file));
    fs::create_directory(dir / "folder");
    WriteFile(dir / "folder" / "inside", "kept");
    DeleteIfExists(dir / "folder");  // only files are deleted
    EXPECT_EQ(ReadFile(dir / "folder" / "inside"), "kept");
    // A link is deleted as a link: its target stays.
    WriteFile(dir / "target", "kept");
    fs::create_symlink(dir / "target", dir / "link");
    DeleteIfExists(dir / "link");
    EXPECT_FALSE(fs::is_symlink(dir / "link"));
    EXPECT_EQ(ReadFile(dir / "target"), "kept");
}

}  // namespace
}  // namespace parlux
