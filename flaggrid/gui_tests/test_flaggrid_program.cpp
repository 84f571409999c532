// The Flaggrid program itself, run headless as a subprocess (no display in
// its environment) on a scratch data folder. These share build/bin's
// Flaggrid.log and so run one at a time.
#include <gtest/gtest.h>

#include <QProcess>
#include <algorithm>
#include <memory>

#include "flaggrid/tests/FlaggridFixture.h"
#include "testsupport/QtTestSupport.h"

namespace parlux::test {
namespace {

namespace fs = std::filesystem;

class FlaggridProgram : public ProgramTest {
protected:
    FlaggridProgram() : ProgramTest("Flaggrid") { WriteTwoByThree(data_.path()); }

    bool reportWritten() const { return fs::exists(data_ / "Comp_RC_0000.txt"); }
};

TEST_F(FlaggridProgram, FullAutoWritesTheReportHeadlessAndEnds) {
    auto process = start({"FULL_AUTO"});
    ASSERT_TRUE(process->waitForFinished(60000));
    EXPECT_EQ(process->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process->exitCode(), 0);

    // The report of the core's run over the same pages, stamped with the time of this run.
    ASSERT_TRUE(reportWritten());
    const auto lines = CrLfLines(ReadFile(data_ / "Comp_RC_0000.txt"));
    const auto expected = CrLfLines(ReadFile(SourceDir() / "flaggrid/tests/golden/grid_2x3.txt"));
    ASSERT_EQ(lines.size(), expected.size());
    EXPECT_TRUE(lines[0].starts_with("Reverse Comparison (Pinged-Pinger) (CapStrings Long) ")) << lines[0];
    EXPECT_TRUE(lines[0].ends_with(" GMT")) << lines[0];
    EXPECT_TRUE(std::equal(lines.begin() + 1, lines.end(), expected.begin() + 1));

    // Every record of the log, as written, on stdout after the program's name; HYPER around one SUPER.
    const std::string out = process->readAllStandardOutput().toStdString();
    auto printed = LinesByProgram(out);
    const auto records = CrLfLines(ReadFile(runLog()));
    EXPECT_EQ(printed["Flaggrid"], records);
    EXPECT_EQ(printed.size(), 1u) << out;
    ASSERT_FALSE(records.empty());
    EXPECT_NE(records.front().find(",\"HYPER in Progress: \","), std::string::npos) << records.front();
    EXPECT_NE(records.back().find(",\"HYPER Completed: \","), std::string::npos) << records.back();
    EXPECT_EQ(
        std::count_if(records.begin(), records.end(),
                      [](const std::string& r) { return r.find(",\"PRT_Compil Completed:  - True\",") != r.npos; }),
        1);

    // HYPER ends with RESET: no dump is left behind.
    for (const auto& e : fs::directory_iterator(data_.path()))
        EXPECT_FALSE(e.path().filename().string().starts_with("DMP-")) << e.path();
    const std::string errors = process->readAllStandardError().toStdString();
    EXPECT_EQ(errors.find("Array not Initialized"), std::string::npos) << errors;
    EXPECT_EQ(errors.find("Not found"), std::string::npos) << errors;
}

TEST_F(FlaggridProgram, ASecondCopyStartedUnattendedFindsTheOpenOneAndDoesNothing) {
    giveDisplay(true);
    auto first = start({});
    std::string errors;
    ASSERT_TRUE(waitIdle(*first, errors)) << errors;

    WriteFile(runLog(), "kept\r\n");
    auto second = start({"FULL_AUTO"});
    ASSERT_TRUE(second->waitForFinished(10000));
    EXPECT_EQ(second->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second->exitCode(), 1);
    EXPECT_EQ(second->readAllStandardError().toStdString(),
              "Flaggrid: another copy is working in " + data_.path().string() + ": nothing done\n");
    EXPECT_EQ(second->readAllStandardOutput().toStdString(), "");
    EXPECT_EQ(ReadFile(runLog()), "kept\r\n");
    EXPECT_FALSE(reportWritten());
    EXPECT_EQ(first->state(), QProcess::Running);
    end(*first);
}

}  // namespace
}  // namespace parlux::test
