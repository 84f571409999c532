#pragma once
// What the comparers' workbench tests build a workbench over: scratch data
// and program folders, a fixed clock, a recording message sink, a launcher
// that only records, and feedback lines writing the program's run log.
// Header only: the test targets that include it link parlux_workbench.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "common/core/DateTime.h"
#include "common/core/Feedback.h"
#include "common/core/GmtOffset.h"
#include "common/core/RunLog.h"
#include "testsupport/TestSupport.h"
#include "workbench/Workbench.h"

namespace parlux::test {

// Records the command lines it is asked to start, and their show styles.
class RecordingLauncher final : public ProgramLauncher {
public:
    bool start(const std::string& commandLine, short showStyle) override {
        started.push_back(commandLine);
        styles.push_back(showStyle);
        return !refuse;
    }
    bool refuse = false;  // nothing starts, as when the program is missing
    std::vector<std::string> started;
    std::vector<short> styles;
};

// The fixtures' common ground; each builds its own workbench (or window) from env().
class WorkbenchTest : public ::testing::Test {
protected:
    // The clock reads local and utc; the run log is runLogName in the program folder.
    WorkbenchTest(DateTime local, DateTime utc, const std::string& runLogName)
        : clock_(local, utc), feedback_(RunLog(program_ / runLogName), clock_) {}

    WorkbenchEnv env() {
        return WorkbenchEnv{data_.path(), program_.path(), &feedback_, &messages_, &clock_, &launcher_};
    }

    // The text with the scratch data folder written as <data>.
    std::string withoutDataFolder(std::string text) const {
        const std::string folder = data_.path().string();
        for (auto pos = text.find(folder); pos != std::string::npos; pos = text.find(folder, pos))
            text.replace(pos, folder.size(), "<data>");
        return text;
    }
    // Message texts with the scratch data folder written as <data>.
    std::vector<std::string> messages() const {
        std::vector<std::string> out;
        for (const auto& text : messages_.texts) out.push_back(withoutDataFolder(text));
        return out;
    }

    TempDir data_;
    TempDir program_;
    FixedClock clock_;
    RecordingMessages messages_;
    RecordingLauncher launcher_;
    FeedbackLines feedback_;
};

// A comparer's core over the scratch folders: the GMT offset is taken from
// the fixed clock and the run log emptied, and the workbench is built on first use.
template <class Core>
class WorkbenchCoreTest : public WorkbenchTest {
protected:
    WorkbenchCoreTest(DateTime local, DateTime utc, const std::string& runLogName)
        : WorkbenchTest(local, utc, runLogName) {
        InitGMTOffset(clock_);
        feedback_.log().reset();
    }

    Core& workbench() {
        if (!workbench_) workbench_ = std::make_unique<Core>(env());
        return *workbench_;
    }

    std::unique_ptr<Core> workbench_;
};

}  // namespace parlux::test
