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
    std::vector<std::string> outputPages() const override { return {"Comp_XX_0000.txt"}; }
    RecordedRun pagesShown() const override { return RunHeader(*this, statsType()); }
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
    d.program = "Samplegrid";
    d.caption = "Compare Samples";
    d.dumpLetter = 'X';
    d.tables = {TableDef{"Pingers", 2}, TableDef{"Pingeds", 1}, TableDef{"Samples", 3}};
    d.choiceCaption = "Choose";
    d.actions = {
        {"LOA_Pingers", "Load the pingers", ResultKind::Count, -1, true, kPingersTable},
        {"LOA_Samples", "Load the samples", ResultKind::Count, -1, true, kMainTable},
        {"SRT_Samples", "Sort the samples", ResultKind::None},
        {"PRT_Compil", "Write the page", ResultKind::Bool},
    };
    d.resetTooltip = "Start again";
    d.hyperTooltip = "One pass: there are no types";
    d.imageTooltip = "HYPER";
    d.resultBoxTooltip = "Save and view the dump";
    d.prtBoxTooltip = "View the page";
    return d;
}

}  // namespace parlux::test
