// Rostermark: asks the pingers' web servers when each listed file was last
// uploaded, writes PingersX.html in the data folder and closes its window.
// The command line is ignored.
#include <QApplication>

#include "common/core/DataFolder.h"
#include "common/desktop/Headless.h"
#include "rosters/HeaderProbe.h"
#include "rosters/gui/Report.h"
#include "rosters/gui/RostermarkWindow.h"

int main(int argc, char** argv) {
    parlux::PrepareDisplay();
    QApplication app(argc, argv);
    parlux::rosters::ReportSink messages(argc, argv);
    parlux::rosters::RostermarkWindow window;
    try {
        return parlux::rosters::RunRostermarkWindow(window, parlux::DataFolder(), messages,
                                                    parlux::rosters::ProbeHeaders, parlux::RunningHeadless());
    } catch (const parlux::DataFolderError& e) {
        messages.critical(e.what());
        return 1;
    }
}
