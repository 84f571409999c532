#pragma once
// The history's hook in the workbench: after PRT_Compil has written a type's
// pages, what they showed (the comparer's own account of its tables) is
// handed to the night's recorder; its complaints go to stderr after the
// program's name. Each comparer's main hands one to its workbench.
#include <memory>

#include "history/NightRecorder.h"
#include "workbench/Workbench.h"

namespace parlux::history {

class HistoryHook final : public PagesObserver {
public:
    explicit HistoryHook(int busyTimeoutMs = kBusyTimeoutMs) : busyTimeoutMs_(busyTimeoutMs) {}
    void pagesAhead(WorkbenchCore& wb) override;
    void pagesWritten(WorkbenchCore& wb) override;

private:
    NightRecorder& recorder(WorkbenchCore& wb);
    int busyTimeoutMs_;
    std::unique_ptr<NightRecorder> recorder_;  // made at the first run
};

}  // namespace parlux::history
