// Rostermark: asks the pingers' web servers when each listed file was last
// uploaded, writes PingersX.html in the data folder and closes its window.
// The command line is ignored (but for --help and --version).
#include <QApplication>
#include <iostream>
#include <memory>

#include "common/core/DataFolder.h"
#include "common/core/DataFolderLock.h"
#include "common/core/ScratchFiles.h"
#include "common/core/StandardDescriptors.h"
#include "common/core/StandardOptions.h"
#include "common/core/StderrLines.h"
#include "common/desktop/Headless.h"
#include "common/desktop/QtMessages.h"
#include "rosters/HeaderProbe.h"
#include "rosters/gui/Report.h"
#include "rosters/gui/RostermarkWindow.h"

int main(int argc, char** argv) {
    using namespace parlux;
    OpenStandardDescriptors();
    RemoveScratchFilesOnSignals();
    SetStderrProgram("Rostermark");
    if (const auto code = StandardOption("Rostermark", argc, argv, std::cout)) return *code;
    const StderrLines lines;
    PrepareDisplay();
    RouteQtMessages();
    QApplication app(argc, argv);
    QApplication::setApplicationName("Rostermark");
    QGuiApplication::setDesktopFileName("parlux-rostermark");
    rosters::ReportSink messages(argc, argv);
    try {
        const auto folder = DataFolder();
        std::unique_ptr<DataFolderLock> lock;
        if (!OpenDataFolder("Rostermark", folder, lock, messages)) return 1;
        rosters::RostermarkWindow window;
        return rosters::RunRostermarkWindow(window, folder, messages, rosters::ProbeHeaders, RunningHeadless());
    } catch (const DataFolderError& e) {
        messages.critical(e.what());
        return 1;
    }
}
