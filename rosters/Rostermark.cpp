// Rostermark: asks the pingers' web servers when each listed file was last
// uploaded, writes PingersX.html in the data folder and closes its window.
// The command line is ignored.
#include <QApplication>

#include "HeaderProbe.h"
#include "core/Common.h"
#include "desktop/Desktop.h"
#include "gui/Report.h"
#include "gui/RostermarkWindow.h"

int main(int argc, char** argv) {
    parlux::PrepareDisplay();
    QApplication app(argc, argv);
    parlux::rosters::ReportSink messages(argc, argv);
    parlux::rosters::RostermarkWindow window;
    return parlux::rosters::RunRostermarkWindow(window, parlux::DataFolder(), messages, parlux::rosters::ProbeHeaders,
                                                parlux::RunningHeadless());
}
