#pragma once
// What the fuzz targets share: a private scratch folder for the inputs that
// the code under test reads as files, and quiet stand-ins for the window, the
// clock and the program launcher, so that a workbench runs without a screen.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

#include "common/core/Sinks.h"
#include "workbench/Workbench.h"

namespace parlux::fuzz {

// A folder of this process only (mode 0700), removed when the process ends.
const std::filesystem::path& ScratchFolder();

// Writes the bytes to ScratchFolder() / name, replacing it; returns the path.
std::filesystem::path WriteScratch(const std::string& name, const std::uint8_t* data, std::size_t size);

// The bytes of a file, "" when it cannot be read.
std::string ReadScratch(const std::filesystem::path& path);

// Stops the run as a finding when a property of the code under test fails.
void Require(bool holds, const char* what);

// A workbench's surroundings that show nothing and start nothing.
class QuietWorld {
public:
    WorkbenchEnv env();

private:
    struct Messages final : MessageSink {
        void critical(std::string_view) override {}
    } messages_;
    struct Feedback final : FeedbackSink {
        void feedBack(std::string_view top, std::string_view detail, int) override {
            if (!top.empty()) top_.assign(top);
            if (!detail.empty()) detail_.assign(detail);
        }
        const std::string& top() const override { return top_; }
        const std::string& detail() const override { return detail_; }
        std::string top_, detail_;
    } feedback_;
    struct FixedClock final : Clock {
        DateTime localNow() const override;
        DateTime utcNow() const override;
    } clock_;
    struct NoLauncher final : ProgramLauncher {
        bool start(const std::string&, short) override { return false; }
    } launcher_;
};

}  // namespace parlux::fuzz
