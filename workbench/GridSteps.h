#pragma once
// The grid actions of a comparer's SUPER run once its main table is loaded
// (LOA_Pingeds, SRT_Pingeds, EXP_, REV_, SRT_ of the main table), the same for
// every comparer: each applies the workbench's table check first, then the
// shared grid step. A comparer's procedures hand over to these.
#include <string>

#include "common/core/QuickSort.h"
#include "common/core/TextLines.h"
#include "workbench/Grid.h"
#include "workbench/Workbench.h"

namespace parlux {

// LOA_Pingeds: the distinct remailer names of the main table, in order of first appearance.
inline long LoadPingedsStep(WorkbenchCore& wb, const GridColumns& c) {
    if (wb.notLoaded(kMainTable)) return 0;
    return LoadDistinctNames(wb.table(kMainTable), c.name, wb.table(kPingedsTable));
}

// SRT_Pingeds (the workbench has checked the table before the action runs).
inline long SortPingedsStep(WorkbenchCore& wb) {
    Table& pingeds = wb.table(kPingedsTable);
    QuickSort(pingeds, 0, 0, pingeds.upperRow());
    return 0;
}

// EXP_: a row for every missing pinger × remailer pair; the result is the grid size.
inline long ExpandStep(WorkbenchCore& wb, const GridColumns& c) {
    if (wb.notLoaded(kMainTable) || wb.notLoaded(kPingersTable) || wb.notLoaded(kPingedsTable)) return 0;
    return ExpandGrid(wb.table(kMainTable), wb.table(kPingersTable), wb.table(kPingedsTable), c, wb.messages());
}

// REV_: the sort key of every row; the result is the number of rows.
inline long SortKeysStep(WorkbenchCore& wb, const GridColumns& c) {
    if (wb.notLoaded(kMainTable)) return 0;
    return BuildSortKeys(wb.table(kMainTable), c);
}

// SRT_ of the main table, on its sort key (the workbench has checked the table).
inline long SortMainStep(WorkbenchCore& wb, const GridColumns& c) {
    Table& main = wb.table(kMainTable);
    QuickSort(main, c.key, 0, main.upperRow());
    return 0;
}

// PRT_Compil's check: its pages line every pinger up against every pinged
// item, so all three tables must be loaded (the main table asked first) and
// the grid within its bound (tables restored from crafted dumps may hold any
// number of rows). True, after the shared box or the size box, when not:
// the run's summary then counts the type's pages as not written.
inline bool GridNotReady(WorkbenchCore& wb) {
    const bool ready = !wb.notLoaded(kMainTable) && !wb.notLoaded(kPingersTable) && !wb.notLoaded(kPingedsTable) &&
                       GridSizeAccepted(static_cast<std::size_t>(wb.count(kPingersTable)),
                                        static_cast<std::size_t>(wb.count(kPingedsTable)), wb.messages());
    if (!ready) wb.noteOutputNotWritten();
    return !ready;
}

// A page of the data folder, replaced whole or not at all; false, after a
// message, when it cannot be written.
inline bool WritePage(WorkbenchCore& wb, const std::string& name, const std::string& content) {
    const auto path = wb.dataPath(name);
    if (WriteFileAtomically(path, content)) return true;
    wb.messages().critical(path.string() + " cannot be written");
    wb.notePageNotWritten(path);
    return false;
}

}  // namespace parlux
