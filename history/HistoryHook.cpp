#include "history/HistoryHook.h"

#include "common/core/GmtOffset.h"
#include "common/core/SiteConfig.h"
#include "common/core/StderrLines.h"

namespace parlux::history {

NightRecorder& HistoryHook::recorder(WorkbenchCore& wb) {
    if (!recorder_ || recorder_->dataFolder() != wb.dataFolder())
        recorder_ = std::make_unique<NightRecorder>(
            wb.dataFolder(), [](const std::string& line) { StderrLine(line); }, busyTimeoutMs_);
    return *recorder_;
}

void HistoryHook::pagesAhead(WorkbenchCore& wb) {
    // The type's last runs are read while its pages are written.
    if (site::Current().history) recorder(wb).readAhead(wb.statsType());
}

void HistoryHook::pagesWritten(WorkbenchCore& wb) {
    const site::SiteConfig& config = site::Current();
    if (!config.history) return;
    recorder(wb).recordRun(wb.pagesShown(), GmtNow(wb.clock()), config.historyDays);
}

}  // namespace parlux::history
