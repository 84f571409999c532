#include "history/HistoryHook.h"

#include "common/core/GmtOffset.h"
#include "common/core/SiteConfig.h"
#include "common/core/StderrLines.h"

namespace parlux::history {

void HistoryHook::pagesWritten(WorkbenchCore& wb) {
    const site::SiteConfig& config = site::Current();
    if (!config.history) return;
    if (!recorder_ || recorder_->dataFolder() != wb.dataFolder())
        recorder_ = std::make_unique<NightRecorder>(
            wb.dataFolder(), [](const std::string& line) { StderrLine(line); }, busyTimeoutMs_);
    recorder_->recordRun(wb.pagesShown(), GmtNow(wb.clock()), config.historyDays);
}

}  // namespace parlux::history
