#pragma once
// A Pulsegrid workbench over a scratch data folder, with pingers served on a
// loopback port, a fixed clock and recording sinks.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "LoopbackServer.h"
#include "StatsComparer.h"
#include "TestSupport.h"
#include "core/Common.h"

namespace parlux::test {

class RecordingLauncher final : public ProgramLauncher {
public:
    bool start(const std::string& commandLine, short showStyle) override {
        started.push_back(commandLine);
        styles.push_back(showStyle);
        return true;
    }
    std::vector<std::string> started;
    std::vector<short> styles;
};

class PipelineTest : public ::testing::Test {
protected:
    PipelineTest()
        // Local 12:30 at GMT+1: pages are stamped 11:30 GMT.
        : clock_(MakeDateTime(2026, 12, 7, 12, 30, 5), MakeDateTime(2026, 12, 7, 11, 30, 5)),
          feedback_(RunLog(program_.path() / "Pulsegrid.log"), clock_) {
        InitGMTOffset(clock_);
        feedback_.log().reset();
    }

    void startServer() { server_.start(); }
    void serveFile(const std::string& path, const std::string& file) {
        server_.serve(path, ReadFile(SourceDir() / "pulsegrid/tests/data" / file));
    }
    std::string url(const std::string& path) const { return server_.url(path); }

    StatsWorkbench& workbench() {
        if (!workbench_)
            workbench_ = std::make_unique<StatsWorkbench>(
                WorkbenchEnv{data_.path(), program_.path(), &feedback_, &messages_, &clock_, &launcher_});
        return *workbench_;
    }
    void writeList(const std::string& content) { WriteFile(data_ / "Pingers.lst", content); }
    std::string log() const { return ReadFile(program_.path() / "Pulsegrid.log"); }
    // Message texts with the scratch folder written as <data>.
    std::vector<std::string> messages() const {
        std::vector<std::string> out;
        for (auto text : messages_.texts) {
            const std::string folder = data_.path().string();
            for (auto pos = text.find(folder); pos != std::string::npos; pos = text.find(folder))
                text.replace(pos, folder.size(), "<data>");
            out.push_back(text);
        }
        return out;
    }

    TempDir data_;
    TempDir program_;
    FixedClock clock_;
    RecordingMessages messages_;
    RecordingLauncher launcher_;
    FeedbackLines feedback_;
    LoopbackServer server_;
    std::unique_ptr<StatsWorkbench> workbench_;
};

// Compares a produced file with the expected one kept in the repository; with
// PARLUX_UPDATE_GOLDEN=1 in the environment the expected file is rewritten.
void ExpectGolden(const std::string& actual, const std::string& goldenName);

}  // namespace parlux::test
