#pragma once
// Flaggrid's procedures on the workbench: pick each pinger's newest remailer
// list among the pages Pulsegrid has downloaded, collect the capability lines
// of those pages, build the pinger × remailer grid and write Comp_RC_0000.txt.
#include <string>
#include <vector>

#include "workbench/Grid.h"
#include "workbench/Workbench.h"

namespace parlux {

// PingersArray columns (Flaggrid's five).
enum CapPingerColumn : int {
    kCapPingerType = 0,  // stats type of the chosen page: "PGP-1", "PGP-2" or "MIX-2"
    kCapPingerNick = 1,
    kCapPingerUrl = 2,
    kCapPingerPath = 3,  // full path of the chosen page
    kCapPingerDate = 4,  // its modification time, a date cell
};

// CapStringsArray columns.
enum CapStringColumn : int {
    kCapNick = 0,
    kCapName = 1,
    kCapAddress = 2,
    kCapText = 3,
    kCapKey = 4,
};

// The three parts of a capability line, cut from the decoded line.
struct CapabilityLine {
    std::string name, address, capabilities;
};

// Decodes the entities of a page line ("&quot;", "&lt;", "&gt;", then drops
// every "? "; "&amp;" stays) and cuts name, address and capability text.
// False when the line lacks the second double quote of the name, the ">"
// after the "<", or the double quote that closes the capability text.
bool ParseCapabilityLine(const std::string& pageLine, CapabilityLine& out);

class CapStringsProcedures {
public:
    explicit CapStringsProcedures(WorkbenchCore& workbench) : wb_(workbench) {}

    static WorkbenchDescription Describe();
    // The actions in SUPER's order, each with the procedure behind its button.
    static const std::vector<ComparerAction<CapStringsProcedures>>& Actions();
    std::vector<std::string> OutputPages() const;
    // What the pages PRT_Compil has just written showed, for the history.
    RecordedRun PagesShown() const;

    long LOA_Pingers();
    long SRT_Pingers();
    long LOA_CapStrings();
    long LOA_Pingeds();
    long SRT_Pingeds();
    long EXP_CapStrings();
    long REV_CapStrings();
    long SRT_CapStrings();
    long PRT_Compil();

    static const GridColumns kGrid;
    static constexpr const char* kReportName = "Comp_RC_0000.txt";

private:
    Table& pingers() { return wb_.table(kPingersTable); }
    Table& pingeds() { return wb_.table(kPingedsTable); }
    Table& capStrings() { return wb_.table(kMainTable); }

    WorkbenchCore& wb_;
};

using CapStringsWorkbench = Workbench<CapStringsProcedures>;

// The report from the finished grid; cells are found by pinger and remailer.
// stamp: "YYYY/MM/DD HH:NN:SS" (GMT).
std::string CapStringsReport(const Table& pingers, const Table& pingeds, const Table& capStrings,
                             const std::string& stamp);

}  // namespace parlux
