#pragma once
// The history's hook in the workbench: after PRT_Compil has written a type's
// pages, the run is taken from the finished grid (what the pages showed) and
// handed to the night's recorder; its complaints go to stderr after the
// program's name.
#include <memory>

#include "history/HistoryRun.h"
#include "history/NightRecorder.h"
#include "workbench/Workbench.h"

namespace parlux::history {

// What the pages of the workbench's current type showed, from its tables.
Run RunOf(WorkbenchCore& wb);

class HistoryHook final : public PagesObserver {
public:
    explicit HistoryHook(int busyTimeoutMs = kBusyTimeoutMs) : busyTimeoutMs_(busyTimeoutMs) {}
    void pagesWritten(WorkbenchCore& wb) override;

private:
    int busyTimeoutMs_;
    std::unique_ptr<NightRecorder> recorder_;  // made at the first run
};

}  // namespace parlux::history
