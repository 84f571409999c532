#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "common/core/LfToCrLf.h"
#include "common/core/UrlToFile.h"
#include "testsupport/TestSupport.h"

namespace parlux {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::RecordingMessages;
using test::TempDir;
using test::WriteFile;

// A remailer list as some servers send it: LF line ends only.
std::string LfOnlyList() {
    return "Last update: Fri 30 Nov 2012 10:20:00 GMT\n"
           "mixmaster           history  latency  uptime\n"
           "--------------------------------------------\n"
           "citrus         +++++++++-++  1:47:01 100.00%\n"
           "austria        ++++++++++++    5:02 100.00%\n"
           "frell          ++++++++++++   20:13  99.98%\n"
           "\n";
}

std::string WithCrLf(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

struct Repair {
    std::int32_t fileLength = -1;
    std::int32_t firstLine = -1;
    RecordingMessages messages;
};

Repair RunRepair(const fs::path& path, bool keyFile = false) {
    Repair r;
    LfToCrLf(path, r.fileLength, r.firstLine, r.messages, keyFile);
    return r;
}

TEST(LfToCrLf, RepairsLfOnlyFiles) {
    TempDir dir;
    const fs::path file = dir / "alpha_mlist.shtml";
    const std::string list = LfOnlyList();
    ASSERT_GT(list.size(), 200u);
    WriteFile(file, list);
    const Repair r = RunRepair(file);
    EXPECT_EQ(ReadFile(file), WithCrLf(list));
    EXPECT_EQ(r.fileLength, static_cast<std::int32_t>(list.size()));
    EXPECT_EQ(r.firstLine, static_cast<std::int32_t>(list.size()));  // no CR: one long line
    EXPECT_TRUE(r.messages.texts.empty());

    // 300 characters with LF ends: 300 + the number of LFs, every LF after a CR.
    std::string text;
    int lfs = 0;
    while (text.size() < 300) {
        text += (text.size() % 30 == 29) ? '\n' : 'x';
        lfs += text.back() == '\n';
    }
    WriteFile(file, text);
    const Repair r300 = RunRepair(file);
    const std::string repaired = ReadFile(file);
    EXPECT_EQ(repaired.size(), 300u + static_cast<std::size_t>(lfs));
    EXPECT_EQ(repaired, WithCrLf(text));
    EXPECT_EQ(r300.fileLength, 300);
    EXPECT_EQ(r300.firstLine, 300);

    // Repairing again changes nothing: the first line is now short.
    const Repair again = RunRepair(file);
    EXPECT_EQ(ReadFile(file), repaired);
    EXPECT_EQ(again.firstLine, 29);
}

TEST(LfToCrLf, ThresholdIsTwoHundredCharacters) {
    TempDir dir;
    const fs::path file = dir / "f";
    const std::string at200 = std::string(200, 'a') + "\rtail\nmore\n";
    WriteFile(file, at200);
    Repair r = RunRepair(file);
    EXPECT_EQ(ReadFile(file), at200);  // untouched
    EXPECT_EQ(r.firstLine, 200);
    EXPECT_EQ(r.fileLength, static_cast<std::int32_t>(at200.size()));

    const std::string lf200 = std::string(199, 'a') + "\n";  // 200 with its LF
    WriteFile(file, lf200);
    r = RunRepair(file);
    EXPECT_EQ(ReadFile(file), lf200);
    EXPECT_EQ(r.firstLine, 200);

    const std::string lf201 = std::string(200, 'a') + "\n";
    WriteFile(file, lf201);
    r = RunRepair(file);
    EXPECT_EQ(ReadFile(file), std::string(200, 'a') + "\r\n");
    EXPECT_EQ(r.firstLine, 201);
    EXPECT_EQ(r.fileLength, 201);
}

// The NUL-byte rule is for key files: a binary keyring (a NUL byte anywhere)
// keeps its LF bytes, however long its "first line"; a stats page with a NUL
// byte is a page all the same and is repaired.
TEST(LfToCrLf, ANulByteSparesKeyFilesOnly) {
    TempDir dir;
    const fs::path file = dir / "f";
    std::string binary = std::string(300, '\x99') + "\n" + std::string(50, 'b') + "\n";
    binary[320] = '\0';
    std::string page = LfOnlyList();
    page[60] = '\0';
    struct Case {
        const char* name;
        std::string content;
        bool keyFile;
        std::string after;
    };
    const std::vector<Case> cases = {
        {"binary keyring", binary, true, binary},
        {"binary bytes among the pages", binary, false, WithCrLf(binary)},
        {"stats page with a NUL byte", page, false, WithCrLf(page)},
        {"key list without NUL byte", LfOnlyList(), true, WithCrLf(LfOnlyList())},
    };
    for (const auto& c : cases) {
        WriteFile(file, c.content);
        const Repair r = RunRepair(file, c.keyFile);
        EXPECT_EQ(ReadFile(file), c.after) << c.name;
        EXPECT_EQ(r.firstLine, static_cast<std::int32_t>(c.content.size())) << c.name;
    }
}

TEST(LfToCrLf, LongFirstLineBeforeCrLfLinesLosesNothing) {
    TempDir dir;
    const fs::path file = dir / "f";
    // An LF-only head, then proper lines, then LF-only lines again and a lone CR.
    const std::string head = std::string(150, 'h') + "\n" + std::string(100, 'i') + "\n";
    const std::string body = "Last update: Fri 30 Nov 2012 10:20:00 GMT\r\nline two\r\nlf line\nlone cr\rend\n";
    WriteFile(file, head + body);
    const Repair r = RunRepair(file);
    EXPECT_EQ(r.firstLine, static_cast<std::int32_t>(head.size() + body.find('\r')));
    EXPECT_EQ(ReadFile(file), WithCrLf(head) +
                                  "Last update: Fri 30 Nov 2012 10:20:00 GMT\r\nline two\r\nlf line\r\n"
                                  "lone cr\rend\r\n");

    // A short first line: the rest is left as it is, LFs and all.
    const std::string shortFirst = "short\r\n" + std::string(500, 'x') + "\n";
    WriteFile(file, shortFirst);
    EXPECT_EQ(RunRepair(file).firstLine, 5);
    EXPECT_EQ(ReadFile(file), shortFirst);

    // A leading LF is repaired too.
    const std::string leading = "\n" + std::string(300, 'y');
    WriteFile(file, leading);
    RunRepair(file);
    EXPECT_EQ(ReadFile(file), "\r" + leading);
}

TEST(LfToCrLf, EmptyAndMissingFiles) {
    TempDir dir;
    const fs::path empty = dir / "beta_rlist.shtml";
    WriteFile(empty, "");
    const Repair r = RunRepair(empty);
    ASSERT_EQ(r.messages.texts.size(), 1u);
    EXPECT_EQ(r.messages.texts[0], empty.string());
    EXPECT_EQ(r.fileLength, 0);
    EXPECT_EQ(r.firstLine, 0);
    EXPECT_TRUE(fs::exists(empty));
    EXPECT_EQ(fs::file_size(empty), 0u);

    const fs::path missing = dir / "gamma_rlist.shtml";
    std::int32_t fileLength = 7, firstLine = 7;
    RecordingMessages messages;
    EXPECT_THROW(LfToCrLf(missing, fileLength, firstLine, messages), fs::filesystem_error);
    EXPECT_EQ(fileLength, 0);
    EXPECT_EQ(firstLine, 0);
    EXPECT_FALSE(fs::exists(missing));  // opening to read does not create it
    EXPECT_TRUE(messages.texts.empty());
}

TEST(LfToCrLf, RepairReplacesTheFileWhole) {
    TempDir dir;
    const fs::path file = dir / "alpha_rlist.shtml";
    WriteFile(file, LfOnlyList());
    ASSERT_EQ(::chmod(file.c_str(), 0640), 0);
    RunRepair(file);
    EXPECT_EQ(ReadFile(file), WithCrLf(LfOnlyList()));
    // Same permissions, and no work file left beside it.
    EXPECT_EQ(fs::status(file).permissions(), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    int entries = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dir.path())) ++entries;
    EXPECT_EQ(entries, 1);
}

}  // namespace
}  // namespace parlux
