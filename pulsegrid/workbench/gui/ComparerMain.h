#pragma once
// A comparer program's main: the window's start-up in its fixed order, then
// the event loop. Each comparer's main() is RunComparer<ItsProcedures>.
#include <QApplication>
#include <QString>
#include <filesystem>
#include <string>

#include "core/Common.h"
#include "desktop/Desktop.h"
#include "workbench/Workbench.h"
#include "workbench/gui/WorkbenchWindow.h"

namespace parlux {

// The arguments after the program name, joined by one blank.
std::string CommandLineOf(int argc, char** argv);

// Output to a reader that has gone (the program that started this one and
// read its output has ended) must not end the run: writes then just fail.
void IgnoreBrokenPipes();

// Everything after the single-instance check: builds and centres the window,
// sets the menu captions, empties the run log, takes the offset from GMT,
// shows the icon, chooses the first type, shows the window and, 1000 ms
// later, runs the unattended job when the command line is exactly FULL_AUTO.
// Returns the exit code of the event loop.
int RunWorkbenchWindow(WorkbenchCore& core, FeedbackLines& feedback, QtMessageSink& messages,
                       SingleInstance& instance, const std::string& commandLine);

template <class Procedures>
int RunComparer(int argc, char** argv) {
    // Taken before QApplication removes the options it knows.
    const std::string commandLine = CommandLineOf(argc, argv);
    IgnoreBrokenPipes();
    PrepareDisplay();
    QApplication app(argc, argv);
    const std::string program = Procedures::Describe().program;
    QApplication::setApplicationName(QString::fromStdString(program));

    // A second copy only wakes the first one; it touches no file, not even the log.
    SingleInstance instance(QString::fromStdString(program));
    if (ActivatePrevInstance(instance)) return 0;

    QtMessageSink messages;
    std::filesystem::path dataFolder;
    try {
        dataFolder = DataFolder();
    } catch (const DataFolderError& e) {
        messages.critical(e.what());
        return 1;
    }
    FeedbackLines feedback(RunLog(RunLogPath()), SystemClock());
    DesktopLauncher launcher;
    Workbench<Procedures> core(
        WorkbenchEnv{dataFolder, ProgramFolder(), &feedback, &messages, &SystemClock(), &launcher});
    return RunWorkbenchWindow(core, feedback, messages, instance, commandLine);
}

}  // namespace parlux
