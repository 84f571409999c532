// Rosterbase: writes Pingers.html in the data folder from Pingers.lst and
// PingersBad.lst, then ends. No window, no log, no output unless something
// fails. The command line is ignored (but for --help and --version).
#include <iostream>
#include <memory>

#include "common/core/DataFolder.h"
#include "common/core/DataFolderLock.h"
#include "common/core/ScratchFiles.h"
#include "common/core/Sinks.h"
#include "common/core/StandardDescriptors.h"
#include "common/core/StandardOptions.h"
#include "common/core/StderrLines.h"
#include "common/desktop/Headless.h"
#include "rosters/Rosters.h"
#include "rosters/gui/Report.h"

int main(int argc, char** argv) {
    using namespace parlux;
    OpenStandardDescriptors();
    RemoveScratchFilesOnSignals();
    SetStderrProgram("Rosterbase");
    if (const auto code = StandardOption("Rosterbase", argc, argv, std::cout)) return *code;
    const StderrLines lines;
    PrepareDisplay();
    rosters::ReportSink messages(argc, argv);
    try {
        const auto folder = DataFolder();
        std::unique_ptr<DataFolderLock> lock;
        if (!OpenDataFolder("Rosterbase", folder, lock, messages)) return 1;
        return rosters::RunRosterbase(folder, SystemClock(), messages, std::cerr);
    } catch (const DataFolderError& e) {
        messages.critical(e.what());
        return 1;
    }
}
