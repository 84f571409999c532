// The Gridhub program itself, copied into a scratch program folder beside
// stand-ins for the programs it starts, run headless.
#include <gtest/gtest.h>

#include "QtTestSupport.h"
#include "StubPrograms.h"

namespace parlux::test {
namespace {

namespace fs = std::filesystem;

class GridhubProgram : public ProgramTest {
protected:
    GridhubProgram() : ProgramTest("Gridhub") {
        fs::copy_file(BinDir() / "Gridhub", program_ / "Gridhub");
        useBinary(program_ / "Gridhub");
    }
    TempDir program_;
};

TEST_F(GridhubProgram, FullAutoStartsTheRelevantProgramsAndEnds) {
    for (const char* name : {"Pulsegrid", "Lockgrid", "Rosterbase", "Flaggrid"}) WriteStubProgram(program_.path(), name);
    auto process = start({"FULL_AUTO"});
    ASSERT_TRUE(process->waitForFinished(30000));
    EXPECT_EQ(process->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process->exitCode(), 0);
    EXPECT_EQ(StartedPrograms(program_.path(), 3),
              (std::vector<std::string>{"Lockgrid:FULL_AUTO", "Pulsegrid:FULL_AUTO", "Rosterbase:"}));
    EXPECT_EQ(process->readAllStandardError().toStdString(), "");
}

TEST_F(GridhubProgram, AnUnattendedRunThatCannotStartAProgramSaysWhichAndFails) {
    WriteStubProgram(program_.path(), "Pulsegrid");
    auto process = start({"FULL_AUTO"});
    ASSERT_TRUE(process->waitForFinished(30000));
    EXPECT_EQ(process->exitCode(), 1);
    const std::string errors = process->readAllStandardError().toStdString();
    EXPECT_NE(errors.find((program_ / "Lockgrid").string() + " Not found"), std::string::npos) << errors;
    EXPECT_NE(errors.find((program_ / "Rosterbase").string() + " Not found"), std::string::npos) << errors;
    EXPECT_EQ(StartedPrograms(program_.path(), 1), std::vector<std::string>{"Pulsegrid:FULL_AUTO"});
}

}  // namespace
}  // namespace parlux::test
