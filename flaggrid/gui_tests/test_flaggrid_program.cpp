// The Flaggrid program itself, run headless as a subprocess (no display in
// its environment) on a scratch data folder. These share build/bin's
// Flaggrid.log and so run one at a time.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QProcess>
#include <algorithm>
#include <memory>

#include "FlaggridFixture.h"

namespace parlux::test {
namespace {

namespace fs = std::filesystem;

class FlaggridProgram : public ::testing::Test {
protected:
    FlaggridProgram() { WriteTwoByThree(data_.path()); }

    static fs::path binary() { return BinDir() / "Flaggrid"; }
    static fs::path runLog() { return BinDir() / "Flaggrid.log"; }

    std::unique_ptr<QProcess> start(const QStringList& arguments) {
        auto process = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) env.remove(name);
        env.insert("PARLUX_DATA", QString::fromStdString(data_.path().string()));
        // The one-copy socket lives in the temp folder: keep it apart from any other run.
        env.insert("TMPDIR", QString::fromStdString(tmp_.path().string()));
        process->setProcessEnvironment(env);
        process->setProgram(QString::fromStdString(binary().string()));
        process->setArguments(arguments);
        process->start();
        EXPECT_TRUE(process->waitForStarted(5000)) << process->errorString().toStdString();
        return process;
    }

    // A copy with nothing to do says so on stderr once its start-up is over.
    static bool waitIdle(QProcess& process, std::string& errors) {
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < 15000) {
            process.waitForReadyRead(100);
            errors += process.readAllStandardError().toStdString();
            if (errors.find("idle until ended") != std::string::npos) return true;
            if (process.state() == QProcess::NotRunning) return false;
        }
        return false;
    }

    static void end(QProcess& process) {
        process.terminate();
        if (!process.waitForFinished(5000)) {
            process.kill();
            process.waitForFinished(5000);
        }
    }

    bool reportWritten() const { return fs::exists(data_ / "Comp_RC_0000.txt"); }

    TempDir data_;
    TempDir tmp_;
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

    // Every record of the log, as written, on stdout; HYPER around one SUPER.
    const std::string out = process->readAllStandardOutput().toStdString();
    std::vector<std::string> printed;
    for (std::size_t pos = 0, stop; (stop = out.find('\n', pos)) != std::string::npos; pos = stop + 1)
        printed.push_back(out.substr(pos, stop - pos));
    const auto records = CrLfLines(ReadFile(runLog()));
    EXPECT_EQ(printed, records);
    ASSERT_FALSE(records.empty());
    EXPECT_NE(records.front().find(",\"HYPER in Progress: \","), std::string::npos) << records.front();
    EXPECT_NE(records.back().find(",\"HYPER Completed: \","), std::string::npos) << records.back();
    EXPECT_EQ(std::count_if(records.begin(), records.end(),
                            [](const std::string& r) { return r.find(",\"PRT_Compil Completed:  - True\",") != r.npos; }),
              1);

    // HYPER ends with RESET: no dump is left behind.
    for (const auto& e : fs::directory_iterator(data_.path()))
        EXPECT_FALSE(e.path().filename().string().starts_with("DMP-")) << e.path();
    const std::string errors = process->readAllStandardError().toStdString();
    EXPECT_EQ(errors.find("Array not Initialized"), std::string::npos) << errors;
    EXPECT_EQ(errors.find("Not found"), std::string::npos) << errors;
}

TEST_F(FlaggridProgram, ASecondCopyStartedUnattendedOnlyWakesTheOpenOne) {
    auto first = start({});
    std::string errors;
    ASSERT_TRUE(waitIdle(*first, errors)) << errors;

    WriteFile(runLog(), "kept\r\n");
    auto second = start({"FULL_AUTO"});
    ASSERT_TRUE(second->waitForFinished(10000));
    EXPECT_EQ(second->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second->exitCode(), 0);
    EXPECT_EQ(second->readAllStandardOutput().toStdString(), "");
    EXPECT_EQ(ReadFile(runLog()), "kept\r\n");
    EXPECT_FALSE(reportWritten());
    EXPECT_EQ(first->state(), QProcess::Running);
    end(*first);
}

}  // namespace
}  // namespace parlux::test
