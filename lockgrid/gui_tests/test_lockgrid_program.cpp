// The Lockgrid program itself, run headless as a subprocess on a scratch data
// folder whose Pingers.lst lists key files served on a loopback port. These
// share build/bin's Lockgrid.log and so run one at a time.
#include <gtest/gtest.h>

#include <QProcess>

#include "lockgrid/tests/LockgridFixture.h"
#include "testsupport/QtTestSupport.h"

namespace parlux::test {
namespace {

class LockgridProgram : public ProgramTest {
protected:
    LockgridProgram() : ProgramTest("Lockgrid") {}
};

TEST_F(LockgridProgram, FullAutoWritesTheFourPagesHeadlessAndStartsNothing) {
    LoopbackServer server;
    const auto records = ServeKeyFiles(server);
    server.start();
    WriteFile(data_ / "Pingers.lst", KeyFilesList(records, server));

    auto process = start({"FULL_AUTO"});
    ASSERT_TRUE(process->waitForFinished(90000));
    EXPECT_EQ(process->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process->exitCode(), 0);

    // The pages of the core's run over the same files, stamped with the time of this run.
    for (const std::string type : {"K-RSA", "K-DSS", "K-TY2", "K-MIX"}) {
        const auto lines = CrLfLines(ReadFile(data_ / ("Comp_RK_" + type + ".txt")));
        const auto expected = CrLfLines(ReadFile(KeysGolden("Comp_RK_" + type + ".txt")));
        ASSERT_EQ(lines.size(), expected.size()) << type;
        EXPECT_TRUE(lines[0].starts_with("Reverse Comparison (Pinged-Pinger) (Keys " + type + ") ")) << lines[0];
        EXPECT_TRUE(lines[0].ends_with(" GMT")) << lines[0];
        EXPECT_TRUE(std::equal(lines.begin() + 1, lines.end(), expected.begin() + 1)) << type;
    }

    // Every record of the log on stdout after the program's name, HYPER first and last, no program started.
    const std::string out = process->readAllStandardOutput().toStdString();
    auto printed = LinesByProgram(out);
    const auto log = CrLfLines(ReadFile(runLog()));
    EXPECT_EQ(printed["Lockgrid"], log);
    EXPECT_EQ(printed.size(), 1u) << out;
    ASSERT_FALSE(log.empty());
    EXPECT_NE(log.front().find(",\"HYPER in Progress: \","), std::string::npos) << log.front();
    EXPECT_NE(log.back().find(",\"HYPER Completed: \","), std::string::npos) << log.back();
    EXPECT_EQ(out.find("Shelling"), std::string::npos);
    // The PGP library's own remarks on the variant keyrings stay off the error output.
    EXPECT_EQ(process->readAllStandardError().toStdString(), "");
}

// A list with no record: the unattended run fails with one line saying why,
// starting with the program's name, and writes no page.
TEST_F(LockgridProgram, FullAutoOnAnEmptyListFailsWithOneLine) {
    WriteFile(data_ / "Pingers.lst", "\r\n   \r\n");
    auto process = start({"FULL_AUTO"});
    ASSERT_TRUE(process->waitForFinished(90000));
    EXPECT_EQ(process->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process->exitCode(), 1);
    EXPECT_EQ(process->readAllStandardError().toStdString(),
              "Lockgrid: " + (data_ / "Pingers.lst").string() + " holds no pinger record: no page written\n");
    for (const std::string type : {"K-RSA", "K-DSS", "K-TY2", "K-MIX"})
        EXPECT_FALSE(std::filesystem::exists(data_ / ("Comp_RK_" + type + ".txt"))) << type;
}

}  // namespace
}  // namespace parlux::test
