// The whole-file readers on things that are not regular files: each is
// refused at once with a reason, never waited on or read without end.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <functional>
#include <string>

#include "common/core/DumpFile.h"
#include "common/core/LfToCrLf.h"
#include "common/core/PingersList.h"
#include "common/core/UrlToFile.h"
#include "common/core/WholeFile.h"
#include "testsupport/TestSupport.h"

namespace parlux {
namespace {

namespace fs = std::filesystem;
using test::RecordingMessages;
using test::TempDir;

TEST(WholeFile, ReadersRefuseWhatIsNotARegularFile) {
    TempDir dir;
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    fs::create_directory(dir / "folder");
    fs::create_symlink(dir / "fifo", dir / "link-to-fifo");
    struct Case {
        const char* what;
        fs::path path;
    };
    const Case cases[] = {
        {"a FIFO without a writer", dir / "fifo"},
        {"a folder", dir / "folder"},
        {"a link to a FIFO", dir / "link-to-fifo"},
        {"a device that never ends", "/dev/zero"},
    };
    const auto refused = [](const std::function<void()>& read) {
        try {
            read();
        } catch (const fs::filesystem_error& e) {
            return e.code() == NotRegularFileError();
        }
        return false;
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::string failure;
        EXPECT_FALSE(ReadPingersList(c.path, &failure).has_value());
        EXPECT_EQ(failure, c.path.string() + " cannot be read: not a regular file");
        EXPECT_TRUE(refused([&] { ReadWholeFile(c.path); }));
        RecordingMessages messages;
        std::int32_t length = -1, firstLine = -1;
        EXPECT_TRUE(refused([&] { LfToCrLf(c.path, length, firstLine, messages); }));
        EXPECT_TRUE(messages.texts.empty());
        Table table;
        EXPECT_TRUE(refused([&] { RestoreDump(table, 3, c.path); }));
        EXPECT_FALSE(table.loaded());
    }
    // A missing file keeps its own words.
    std::string failure;
    EXPECT_FALSE(ReadPingersList(dir / "Pingers.lst", &failure).has_value());
    EXPECT_EQ(failure, (dir / "Pingers.lst").string() + " Not found");
    EXPECT_TRUE(fs::is_fifo(dir / "fifo"));  // nothing was replaced
}

}  // namespace
}  // namespace parlux
