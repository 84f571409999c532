#pragma once
// A Pulsegrid workbench over a scratch data folder, with pingers served on a
// loopback port, a fixed clock and recording sinks.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "pulsegrid/StatsComparer.h"
#include "testsupport/LoopbackServer.h"
#include "testsupport/TestSupport.h"
#include "workbench/testing/WorkbenchTestSupport.h"

namespace parlux::test {

class PipelineTest : public WorkbenchCoreTest<StatsWorkbench> {
protected:
    PipelineTest()
        // Local 12:30 at GMT+1: pages are stamped 11:30 GMT.
        : WorkbenchCoreTest(MakeDateTime(2026, 12, 7, 12, 30, 5), MakeDateTime(2026, 12, 7, 11, 30, 5),
                            "Pulsegrid.log") {}

    void startServer() { server_.start(); }
    void serveFile(const std::string& path, const std::string& file) {
        server_.serve(path, ReadFile(SourceDir() / "pulsegrid/tests/data" / file));
    }
    std::string url(const std::string& path) const { return server_.url(path); }

    void writeList(const std::string& content) { WriteFile(data_ / "Pingers.lst", content); }
    std::string log() const { return ReadFile(program_.path() / "Pulsegrid.log"); }
    // An expected file of the repository's pulsegrid/tests/golden.
    static std::filesystem::path golden(const std::string& name) {
        return SourceDir() / "pulsegrid/tests/golden" / name;
    }

    LoopbackServer server_;
};

}  // namespace parlux::test
