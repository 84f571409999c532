// Rosterbase: writes Pingers.html in the data folder from Pingers.lst and
// PingersBad.lst, then ends. No window, no log, no output unless something
// fails. The command line is ignored.
#include <iostream>

#include "Rosters.h"
#include "core/Common.h"
#include "desktop/Desktop.h"
#include "gui/Report.h"

int main(int argc, char** argv) {
    parlux::PrepareDisplay();
    parlux::rosters::ReportSink messages(argc, argv);
    return parlux::rosters::RunRosterbase(parlux::DataFolder(), parlux::SystemClock(), messages, std::cerr);
}
