// Rosterbase: writes Pingers.html in the data folder from Pingers.lst and
// PingersBad.lst, then ends. No window, no log, no output unless something
// fails. The command line is ignored.
#include <iostream>

#include "common/core/DataFolder.h"
#include "common/core/Sinks.h"
#include "common/desktop/Headless.h"
#include "rosters/Rosters.h"
#include "rosters/gui/Report.h"

int main(int argc, char** argv) {
    parlux::PrepareDisplay();
    parlux::rosters::ReportSink messages(argc, argv);
    try {
        return parlux::rosters::RunRosterbase(parlux::DataFolder(), parlux::SystemClock(), messages, std::cerr);
    } catch (const parlux::DataFolderError& e) {
        messages.critical(e.what());
        return 1;
    }
}
