#include "common/core/StandardOptions.h"

#include <ostream>
#include <string>

#include "common/core/WaitedRun.h"

#ifndef PARLUX_VERSION
#define PARLUX_VERSION "0"
#endif

namespace parlux {

const std::array<SuiteProgramInfo, 8> kSuiteProgramInfo = {{
    {"Pulsegrid", "compares the pingers' stats lists and writes the Comp_DS_, Comp_RS_ and Comp_RC_ pages", true, true,
     true},
    {"Flaggrid", "compares the remailers' capability strings and writes Comp_RC_0000.txt", true, true, true},
    {"Lockgrid", "compares the pingers' key files and writes the Comp_RK_ pages", true, true, true},
    {"Rosterbase", "writes Pingers.html, the list of pingers with links to their files", false, false, true},
    {"Rostermark", "writes PingersX.html, the list of pingers with each file's last upload date", false, false, true},
    {"Gridhub", "browses the data folder's results and starts the other programs", true, true, false},
    {"Fetchprobe", "tries the download routines on one address and one work file", true, false, false},
    {"Sandtest", "runs the two text-replacement routines side by side", true, false, false},
}};

const SuiteProgramInfo* FindSuiteProgramInfo(std::string_view name) {
    for (const SuiteProgramInfo& info : kSuiteProgramInfo)
        if (info.name == name) return &info;
    return nullptr;
}

std::string_view SuiteVersion() { return PARLUX_VERSION; }

std::optional<int> StandardOption(std::string_view program, int argc, char** argv, std::ostream& out) {
    if (argc != 2) return std::nullopt;
    const std::string_view word = argv[1];
    if (word == "--version") {
        out << program << " (Parlux) " << SuiteVersion() << "\n";
        return 0;
    }
    if (word != "--help") return std::nullopt;
    const SuiteProgramInfo* info = FindSuiteProgramInfo(program);
    if (info && info->fullAuto)
        out << "Usage: " << program << (CanWait(program) ? " [[--wait] FULL_AUTO]\n" : " [FULL_AUTO]\n");
    else
        out << "Usage: " << program << "\n";
    if (info) out << program << " " << info->summary << ".\n";
    if (info && info->fullAuto)
        out << "FULL_AUTO (the whole command line) runs it unattended, also without a display.\n";
    if (CanWait(program))
        out << "--wait FULL_AUTO also waits for the programs it starts and ends with the worst of their statuses.\n";
    if (program != "Fetchprobe" && program != "Sandtest")
        out << "Data folder: $PARLUX_DATA, else ~/Parlux; the site's addresses in Parlux.conf there.\n";
    out << "See the manual page " << program << "(1).\n";
    return 0;
}

}  // namespace parlux
