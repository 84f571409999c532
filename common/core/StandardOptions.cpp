#include "common/core/StandardOptions.h"

#include <ostream>
#include <string>

#include "common/core/StderrLines.h"
#include "common/core/SuitePrograms.h"

#ifndef PARLUX_VERSION
#define PARLUX_VERSION "0"
#endif

namespace parlux {

std::string_view SuiteVersion() { return PARLUX_VERSION; }

namespace {

// An answer that could not be written (stdout on a full disk) is a failure.
int Answered(std::ostream& out) {
    out.flush();
    if (out) return 0;
    StderrLine("the answer could not be written to standard output");
    return 1;
}

}  // namespace

std::optional<int> StandardOption(std::string_view program, int argc, char** argv, std::ostream& out) {
    if (argc != 2) return std::nullopt;
    const std::string_view word = argv[1];
    if (word == "--version") {
        out << program << " (Parlux) " << SuiteVersion() << "\n";
        return Answered(out);
    }
    if (word != "--help") return std::nullopt;
    const SuiteProgramInfo* info = FindSuiteProgramInfo(program);
    if (info && info->fullAuto)
        out << "Usage: " << program << " [FULL_AUTO]\n";
    else
        out << "Usage: " << program << "\n";
    if (info) out << program << " " << info->summary << ".\n";
    if (info && info->fullAuto)
        out << "FULL_AUTO (the whole command line) runs it unattended, also without a display.\n";
    if (!info || info->dataFolder)
        out << "Data folder: $PARLUX_DATA, else ~/Parlux; the site's addresses in Parlux.conf there.\n";
    out << "See the manual page " << program << "(1).\n";
    return Answered(out);
}

}  // namespace parlux
