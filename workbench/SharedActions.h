#pragma once
// The comparers' actions by kind, written once: what each shows as its result,
// the table it sorts or dumps, with the tooltips that Pulsegrid and Lockgrid
// share word for word as defaults (Flaggrid words some of its own). The main
// table is named after what it holds ("Stats", "Keys", "CapStrings").
#include <string>
#include <utility>

#include "workbench/Workbench.h"

namespace parlux::shared_actions {

inline ActionDef LoadPingers(const std::string& what) {
    return {.name = "LOA_Pingers",
            .tooltip = "Download " + what + "+Load PingersArray",
            .result = ResultKind::Count,
            .dumpTable = kPingersTable,
            .locksChoice = true};
}
inline ActionDef FixLfToCrLf() {
    return {.name = "FIX_LfToCrLf", .tooltip = "Fixes the Downloaded File if necessary", .result = ResultKind::None};
}
inline ActionDef SortPingers(std::string tooltip = "Sorts PingersArray") {
    return {.name = "SRT_Pingers",
            .tooltip = std::move(tooltip),
            .result = ResultKind::None,
            .sortsTable = kPingersTable,
            .blankDetail = false};
}
inline ActionDef LoadPingeds() {
    return {
        .name = "LOA_Pingeds", .tooltip = "Load PingedsArray", .result = ResultKind::Count, .dumpTable = kPingedsTable};
}
inline ActionDef SortPingeds() {
    return {
        .name = "SRT_Pingeds", .tooltip = "Sort PingedsArray", .result = ResultKind::None, .sortsTable = kPingedsTable};
}

// LOA_, EXP_, REV_ and SRT_ of the main table.
inline ActionDef LoadMain(const std::string& table, const std::string& tooltip = "") {
    return {.name = "LOA_" + table,
            .tooltip = tooltip.empty() ? "Loads " + table + "Array" : tooltip,
            .result = ResultKind::Count,
            .dumpTable = kMainTable};
}
inline ActionDef ExpandMain(const std::string& table, const std::string& tooltip = "") {
    return {.name = "EXP_" + table,
            .tooltip = tooltip.empty() ? "Expand " + table + "Array (Creates missing blank cells)" : tooltip,
            .result = ResultKind::Count,
            .dumpTable = kMainTable};
}
inline ActionDef ReverseMain(const std::string& table, const std::string& tooltip = "") {
    return {.name = "REV_" + table,
            .tooltip = tooltip.empty()
                           ? "Reverse " + table + " (Fills the column of data used by final Sort of " + table + "Array)"
                           : tooltip,
            .result = ResultKind::Count,
            .dumpTable = kMainTable};
}
inline ActionDef SortMain(const std::string& table, const std::string& tooltip = "") {
    return {.name = "SRT_" + table,
            .tooltip = tooltip.empty() ? "Sorts " + table + "Array" : tooltip,
            .result = ResultKind::None,
            .sortsTable = kMainTable};
}
inline ActionDef PrintCompil(std::string tooltip = "Prints Compiled info to Disk") {
    return {.name = "PRT_Compil", .tooltip = std::move(tooltip), .result = ResultKind::Bool};
}

// The tooltips of SUPER, RESET and the result boxes of both.
inline void SetCommonTooltips(WorkbenchDescription& d) {
    d.superTooltip = "All Actions";
    d.resetTooltip = "Reinitializes Arrays + Counters + Erases Dumps if any";
    d.resultBoxTooltip = "Double-Click to Create+View Dump";
    d.prtBoxTooltip = "Double-Click to View OutPutFile";
}

}  // namespace parlux::shared_actions
