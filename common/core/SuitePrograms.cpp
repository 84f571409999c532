#include "common/core/SuitePrograms.h"

#include <algorithm>

namespace parlux {

const SuiteProgramInfo* FindSuiteProgramInfo(std::string_view name) {
    for (const SuiteProgramInfo& info : kSuiteProgramInfo)
        if (info.name == name) return &info;
    return nullptr;
}

std::vector<std::string> AppsMenuCaptions() {
    int last = -1;
    for (const SuiteProgramInfo& info : kSuiteProgramInfo) last = std::max(last, info.appsEntry);
    std::vector<std::string> captions(static_cast<std::size_t>(last + 1), "-");
    for (const SuiteProgramInfo& info : kSuiteProgramInfo)
        if (info.appsEntry >= 0) captions[static_cast<std::size_t>(info.appsEntry)] = std::string(info.name) + ".exe";
    return captions;
}

}  // namespace parlux
