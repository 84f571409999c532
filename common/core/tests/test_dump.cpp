#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>

#include "common/core/DumpFile.h"
#include "testsupport/TestSupport.h"

namespace parlux {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

TEST(DumpFile, Names) {
    EXPECT_EQ(DumpFileName('S', "PingersArray"), "DMP-S_PingersArray.tmp");
    EXPECT_EQ(DumpFileName('C', "CapStringsArray"), "DMP-C_CapStringsArray.tmp");
}

TEST(DumpFile, SaveWritesTheRowsAsTheyAre) {
    TempDir dir;
    const fs::path path = dir / DumpFileName('S', "StatsArray");

    Table notLoaded;
    EXPECT_EQ(SaveDump(notLoaded, 4, path), 0);
    EXPECT_FALSE(fs::exists(path));

    Table stats;
    stats.create(4);
    stats.setText(0, 0, "alpha");
    stats.setText(1, 0, "citrus");
    stats.setText(2, 0, "+++++++++-++  1:47:01 100.00%");
    stats.setText(3, 0, "citrus alpha");
    stats.growRow();  // a row made by the expansion: no stats text
    stats.setText(0, 1, "beta");
    stats.setText(1, 1, "citrus");
    stats.setText(3, 1, "citrus beta");
    stats.growRow();  // texts with commas, quotes, blanks; a written empty text; a date
    stats.setText(0, 2, "a,b");
    stats.setText(1, 2, "say \"x\"");
    stats.setText(2, 2, "");
    stats.setDate(3, 2, MakeDateTime(2003, 4, 12, 13, 45, 2));
    stats.growRow();
    stats.setDate(0, 3, MakeDateTime(2003, 4, 12));
    stats.setText(1, 3, "  padded  ");

    EXPECT_EQ(SaveDump(stats, 4, path), 4);
    EXPECT_EQ(ReadFile(path),
              "\"alpha\",\"citrus\",\"+++++++++-++  1:47:01 100.00%\",\"citrus alpha\"\r\n"
              "\"beta\",\"citrus\",,\"citrus beta\"\r\n"
              "\"a,b\",\"say \"x\"\",\"\",#2003-04-12 13:45:02#\r\n"
              "#2003-04-12#,\"  padded  \",,\r\n");

    // Fewer columns than the table has: only those are written.
    EXPECT_EQ(SaveDump(stats, 1, path), 4);
    EXPECT_EQ(ReadFile(path), "\"alpha\"\r\n\"beta\"\r\n\"a,b\"\r\n#2003-04-12#\r\n");
    EXPECT_THROW(SaveDump(stats, 5, path), std::out_of_range);
}

TEST(DumpFile, RestoreReadsCellsBackWithTheirKinds) {
    TempDir dir;
    const fs::path path = dir / "dump.tmp";
    WriteFile(path,
              "\"alpha\",\"http://a.example/rlist.html\",\"2003/04/12 13:45:02\"\r\n"
              "\"beta\",,\r\n"
              "\"\",#2003-04-12#,#2003-02-30#\r\n"
              "  \"lead\" ,bare word ,#2003-04-12 01:02:03#\r\n");
    Table t;
    EXPECT_EQ(RestoreDump(t, 3, path), 4);
    ASSERT_TRUE(t.loaded());
    EXPECT_EQ(t.columns(), 3);
    EXPECT_EQ(t.cell(1, 0), Cell::FromText("http://a.example/rlist.html"));
    EXPECT_EQ(t.cell(2, 0), Cell::FromText("2003/04/12 13:45:02"));  // quoted: a text
    EXPECT_EQ(t.cell(1, 1), Cell{});
    EXPECT_EQ(t.cell(2, 1), Cell{});
    EXPECT_EQ(t.cell(0, 2), Cell::FromText(""));  // written empty text stays a text
    EXPECT_EQ(t.cell(1, 2), Cell::FromDate(MakeDateTime(2003, 4, 12)));
    EXPECT_EQ(t.cell(2, 2), Cell::FromText("#2003-02-30#"));  // not a date
    EXPECT_EQ(t.cell(0, 3), Cell::FromText("lead"));
    EXPECT_EQ(t.cell(1, 3), Cell::FromText("bare word"));
    EXPECT_EQ(t.cell(2, 3), Cell::FromDate(MakeDateTime(2003, 4, 12, 1, 2, 3)));

    // A file cut inside a row: the rest of the row stays never-written.
    WriteFile(path, "\"a\",\"b\",\"c\"\r\n\"d\"");
    EXPECT_EQ(RestoreDump(t, 3, path), 2);
    EXPECT_EQ(t.cell(0, 1), Cell::FromText("d"));
    EXPECT_EQ(t.cell(1, 1), Cell{});

    // An empty file leaves the table not loaded, whatever it held before.
    WriteFile(path, "");
    EXPECT_EQ(RestoreDump(t, 3, path), 0);
    EXPECT_FALSE(t.loaded());

    EXPECT_THROW(RestoreDump(t, 3, dir / "missing.tmp"), fs::filesystem_error);
}

TEST(DumpFile, OneColumnRowsOfNeverWrittenCells) {
    // Such a row is an empty line; it must come back as a row.
    TempDir dir;
    const fs::path path = dir / DumpFileName('S', "PingedsArray");
    Table t;
    t.create(1);
    t.growRow();
    t.growRow();
    t.setText(0, 1, "citrus");
    EXPECT_EQ(SaveDump(t, 1, path), 3);
    EXPECT_EQ(ReadFile(path), "\r\n\"citrus\"\r\n\r\n");
    Table back;
    EXPECT_EQ(RestoreDump(back, 1, path), 3);
    EXPECT_EQ(back, t);
}

TEST(DumpFile, SaveRestoreSaveKeepsEveryByte) {
    TempDir dir;
    const fs::path first = dir / "first.tmp";
    const fs::path second = dir / "second.tmp";
    std::mt19937 rng(4711);
    const std::string pieces[] = {"a", " ", ",", "\r\n", "\n", "\r", "x y", "#2003-04-12#", "\t", "\xC3\xA9"};
    for (int round = 0; round < 60; ++round) {
        const int columns = std::uniform_int_distribution<int>(1, 5)(rng);
        const int rows = std::uniform_int_distribution<int>(1, 40)(rng);
        Table t;
        for (int r = 0; r < rows; ++r) {
            if (r == 0)
                t.create(columns);
            else
                t.growRow();
            for (int c = 0; c < columns; ++c) {
                switch (std::uniform_int_distribution<int>(0, 3)(rng)) {
                    case 0:
                        break;  // never written
                    case 1: {   // every other row at midnight, written without a time
                        const int second = r % 2 ? std::uniform_int_distribution<int>(0, 86399)(rng) : 0;
                        t.setDate(c, r, MakeDateTime(2003, 4, 12, 0, 0, second));
                        break;
                    }
                    default: {
                        std::string text;
                        const int n = std::uniform_int_distribution<int>(0, 4)(rng);
                        for (int k = 0; k < n; ++k)
                            text += pieces[std::uniform_int_distribution<std::size_t>(0, std::size(pieces) - 1)(rng)];
                        t.setText(c, r, text);
                    }
                }
            }
        }
        ASSERT_EQ(SaveDump(t, columns, first), rows);
        Table back;
        ASSERT_EQ(RestoreDump(back, columns, first), rows) << "round " << round;
        EXPECT_EQ(back, t) << "round " << round;
        ASSERT_EQ(SaveDump(back, columns, second), rows);
        ASSERT_EQ(ReadFile(second), ReadFile(first)) << "round " << round;
    }
}

}  // namespace
}  // namespace parlux
