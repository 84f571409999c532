#pragma once
// A comparer made for the workbench's own tests: a description of its own (no
// types, its own actions, tables and dump letter, no follow-up program) and
// procedures that only record that they ran. Header only.
#include <cstddef>
#include <string>
#include <vector>

#include "workbench/Workbench.h"

namespace parlux::test {

class RecordingComparerCore final : public WorkbenchCore {
public:
    using WorkbenchCore::WorkbenchCore;
    std::vector<std::string> outputPages() const override { return {"Comp_RC_0000.txt"}; }
    // The actions' indexes, in the order their procedures ran.
    std::vector<std::size_t> ran;

protected:
    long runProcedure(std::size_t index) override {
        ran.push_back(index);
        return static_cast<long>(index) + 1;
    }
};

inline WorkbenchDescription RecordingComparer() {
    WorkbenchDescription d;
    d.program = "Flaggrid";
    d.caption = "Quill's Compare CapStrings";
    d.dumpLetter = 'C';
    d.tables = {TableDef{"Pingers", 5}, TableDef{"Pingeds", 1}, TableDef{"CapStrings", 5}};
    d.choiceCaption = "Choose";
    d.actions = {
        {"LOA_Pingers", "Load PingersArray from Preexisting Downloaded Files", ResultKind::Count, -1, true,
         kPingersTable},
        {"LOA_CapStrings", "Load CapStringsArray", ResultKind::Count, -1, true, kMainTable},
        {"SRT_CapStrings", "Sort CapStrings Array", ResultKind::None},
        {"PRT_Compil", "Print Compiled Data to disk", ResultKind::Bool},
    };
    d.resetTooltip = "Reinitializes Arrays and Counters + Erases Dump Files if any";
    d.hyperTooltip = "All ?? (just here for symmetric programming purpose)";
    d.imageTooltip = "Double-Click for HYPER FULL_AUTO";
    d.resultBoxTooltip = "Double-Click to Create+View Dump";
    d.prtBoxTooltip = "Double-Click to View Compiled Output Files";
    return d;
}

}  // namespace parlux::test
