// The workbench's sequencing over a comparer of its own, without types: SUPER
// is RESET and then every action in order, each result in its box and in the
// run log; HYPER is SUPER once and RESET, and starts nothing; RESET empties
// the boxes and erases the dumps.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "common/core/DateTime.h"
#include "testsupport/TestSupport.h"
#include "workbench/PingerSteps.h"
#include "workbench/testing/RecordingComparer.h"
#include "workbench/testing/WorkbenchTestSupport.h"

namespace parlux::test {
namespace {

class Sequencing : public WorkbenchTest {
protected:
    Sequencing()
        : WorkbenchTest(MakeDateTime(2026, 12, 7, 12), MakeDateTime(2026, 12, 7, 11), "Samplegrid.log"),
          core_(RecordingComparer(), env()) {
        feedback_.log().reset();
    }
    // The run log's top lines since the last call.
    std::vector<std::string> tops() {
        std::vector<std::string> out;
        for (const std::string& record : CrLfLines(ReadFile(program_ / "Samplegrid.log"))) {
            const std::size_t start = record.find(",\"") + 2;
            out.push_back(record.substr(start, record.find("\",\"", start) - start));
        }
        feedback_.log().reset();
        return out;
    }

    RecordingComparerCore core_;
};

TEST_F(Sequencing, SuperHyperAndReset) {
    core_.SUPER();
    EXPECT_EQ(core_.ran, (std::vector<std::size_t>{0, 1, 2, 3}));
    EXPECT_EQ(tops(), (std::vector<std::string>{
                          "SUPER in Progress: ", "RESET in Progress: ", "RESET Completed: ",
                          "LOA_Pingers in Progress: ", "LOA_Pingers Completed:  - 1", "LOA_Samples in Progress: ",
                          "LOA_Samples Completed:  - 2", "SRT_Samples in Progress: ", "SRT_Samples Completed: ",
                          "PRT_Compil in Progress: ", "PRT_Compil Completed:  - True", "SUPER Completed: "}));
    EXPECT_EQ(core_.box("txt_LOA_Samples"), "2");
    EXPECT_EQ(core_.box("txt_PRT_Compil"), "True");

    // The dumps go with RESET, and every box is emptied.
    for (int table = 0; table < 3; ++table) WriteFile(core_.dumpPath(table), "x");
    EXPECT_EQ(core_.dumpPath(kMainTable), data_ / "DMP-X_SamplesArray.tmp");
    core_.RESET();
    for (int table = 0; table < 3; ++table) EXPECT_FALSE(std::filesystem::exists(core_.dumpPath(table))) << table;
    EXPECT_EQ(core_.box("txt_LOA_Samples"), "");
    EXPECT_EQ(core_.box("txt_PRT_Compil"), "");

    // Without types HYPER is SUPER once, then RESET; no follow-up program.
    core_.ran.clear();
    tops();
    core_.HYPER();
    EXPECT_EQ(core_.ran, (std::vector<std::size_t>{0, 1, 2, 3}));
    const std::vector<std::string> hyper = tops();
    ASSERT_GE(hyper.size(), 4u);
    EXPECT_EQ(hyper.front(), "HYPER in Progress: ");
    EXPECT_EQ(std::vector<std::string>(hyper.end() - 3, hyper.end()),
              (std::vector<std::string>{"RESET in Progress: ", "RESET Completed: ", "HYPER Completed: "}));
    EXPECT_TRUE(launcher_.started.empty());
    EXPECT_EQ(core_.box("txt_PRT_Compil"), "");
}

// A progress line too long for its box keeps its count and the last name.
TEST(ShortenWaitingLine, NamesGoFromTheMiddle) {
    const std::string line =
        "LOA_Pingers: 1 of 7 done (0 failed); waiting for alpha, bravo, charlie, echo, foxtrot, golf";
    const struct {
        std::size_t width;
        std::string shown;
    } cases[] = {
        {200, line},
        {80, "LOA_Pingers: 1 of 7 done (0 failed); waiting for alpha, bravo, \u2026 golf (3 more)"},
        {10, "LOA_Pingers: 1 of 7 done (0 failed); waiting for \u2026 golf (5 more)"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ShortenWaitingLine(line, [&c](const std::string& t) { return t.size() <= c.width; }), c.shown)
            << c.width;
}

}  // namespace
}  // namespace parlux::test
