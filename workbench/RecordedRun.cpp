#include "workbench/RecordedRun.h"

#include <set>

#include "workbench/PingerSteps.h"
#include "workbench/Workbench.h"

namespace parlux {

RecordedRun RunHeader(const WorkbenchCore& wb, std::string type) {
    RecordedRun run;
    run.program = wb.description().program;
    run.type = std::move(type);
    const Table& pingeds = wb.table(kPingedsTable);
    for (int r = 0; r < wb.count(kPingedsTable); ++r) run.remailerOrder.push_back(pingeds.text(0, r));
    return run;
}

std::vector<PingerSeen> DownloadedPingers(const WorkbenchCore& wb, const std::string& type) {
    std::set<std::string> notReached;
    for (const auto& [what, why] : wb.report().notDownloaded)
        if (what.size() > type.size() + 1 && what.ends_with(" " + type))
            notReached.insert(what.substr(0, what.size() - type.size() - 1));
    std::vector<PingerSeen> out;
    const Table& pingers = wb.table(kPingersTable);
    for (int r = 0; r < wb.count(kPingersTable); ++r) {
        const std::string& nick = pingers.text(kListNick, r);
        const bool cached = notReached.erase(nick) > 0;
        out.push_back({nick, cached ? PingerState::Cached : PingerState::Downloaded});
    }
    for (const auto& nick : notReached) out.push_back({nick, PingerState::Missing});
    return out;
}

}  // namespace parlux
