#pragma once
// A Flaggrid workbench over a scratch data folder, with a fixed clock, a real
// run log, recording sinks, and builders for remailer-list pages in the form
// the pingers publish them (HTML, entities, CR LF as repaired by Pulsegrid).
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "common/core/DateTime.h"
#include "common/core/StatsTypes.h"
#include "flaggrid/CapStringsComparer.h"
#include "testsupport/TestSupport.h"
#include "workbench/testing/WorkbenchTestSupport.h"

namespace parlux::test {

// The box an array read before its first record gives.
inline const std::string kArrayMessage = "9\r\nSubscript out of range\r\nArray not Initialized";

// One remailer of a hand-made list: name, address and capability flags.
struct Remailer {
    std::string name, address, flags;
};

// A capability line as the list text has it (before HTML escaping).
std::string CapabilityText(const Remailer& r);
// &, ", <, > as the pingers' web pages write them.
std::string HtmlEntities(const std::string& text);
// LF line ends to CR LF (what Pulsegrid's repair leaves behind).
std::string ToCrLf(const std::string& text);
// The list text inside the pingers' web page: head, introduction, <PRE>, footer.
std::string HtmlPage(const std::string& title, const std::string& listText);
// A version-1 Cypherpunk list: capability lines, an empty line, the stats table.
std::string Version1List(const std::vector<Remailer>& remailers);
// A version-2 list ("Cypherpunk" or "Mixmaster"): the stats table, then the
// capability lines after "Remailer-Capabilities:".
std::string Version2List(const std::string& network, const std::vector<Remailer>& remailers);
// The real version-1 Cypherpunk list kept with the tests.
std::string RealWorldRlist();

// Pingers.lst and the pages of two pingers and three remailers: zeta (MIX-2,
// listed first) publishes bravo only, frank (PGP-2) charlie, alpha and bravo.
void WriteTwoByThree(const std::filesystem::path& dataFolder);

// Sets a file's modification time to a moment given to the second plus extra milliseconds.
void SetFileTime(const std::filesystem::path& path, DateTime when, int extraMilliseconds = 0);

class FlaggridTest : public WorkbenchCoreTest<CapStringsWorkbench> {
protected:
    FlaggridTest()
        // Local ten o'clock at GMT+2: the report is stamped eight o'clock GMT.
        : WorkbenchCoreTest(MakeDateTime(2024, 3, 5, 10, 0, 0), MakeDateTime(2024, 3, 5, 8, 0, 0), "Flaggrid.log") {}

    void writeList(const std::string& content) { WriteFile(data_ / "Pingers.lst", content); }
    // A page of the data folder under the name Pulsegrid gives it.
    std::filesystem::path writePage(const std::string& type, const std::string& nick, const std::string& content) {
        auto path = data_ / StatsFileName(type, nick);
        WriteFile(path, content);
        return path;
    }
    std::string report() const { return ReadFile(data_ / "Comp_RC_0000.txt"); }
    bool reportExists() const { return std::filesystem::exists(data_ / "Comp_RC_0000.txt"); }
    // The run log's records as written (without CR LF), the scratch folder written as <data>.
    std::vector<std::string> logRecords() const;
    // An expected file of the repository's flaggrid/tests/golden.
    static std::filesystem::path golden(const std::string& name) {
        return SourceDir() / "flaggrid/tests/golden" / name;
    }

    // Runs the actions up to and including the last one named, in SUPER's order.
    void runThrough(const std::string& lastAction);
};

}  // namespace parlux::test
