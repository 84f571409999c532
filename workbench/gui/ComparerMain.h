#pragma once
// A comparer program's main: the window's start-up in its fixed order, then
// the event loop. Each comparer's main() is RunComparer<ItsProcedures>, given
// what watches the pages it writes (the history of runs).
#include <QApplication>
#include <QString>
#include <string>

#include "common/core/DataFolder.h"
#include "common/core/Feedback.h"
#include "common/core/RunLog.h"
#include "common/core/Sinks.h"
#include "common/desktop/MessageBoxes.h"
#include "common/desktop/SingleInstance.h"
#include "common/desktop/SuiteWindow.h"
#include "workbench/Workbench.h"
#include "workbench/gui/WorkbenchWindow.h"

namespace parlux {

// Everything after the single-instance check: builds and centres the window,
// sets the menu captions, empties the run log, takes the offset from GMT,
// shows the icon, chooses the first type, shows the window and, 1000 ms
// later, runs the unattended job when the command line is exactly FULL_AUTO.
// Returns the exit code of the event loop.
int RunWorkbenchWindow(WorkbenchCore& core, FeedbackLines& feedback, QtMessageSink& messages, SingleInstance& instance,
                       const std::string& commandLine);

template <class Procedures>
int RunComparer(int argc, char** argv, PagesObserver* pagesObserver) {
    return RunSuiteProgram(
        argc, argv, Procedures::Describe().program, true,
        [pagesObserver](SingleInstance* instance, QtMessageSink& messages, const std::string& commandLine) {
            FeedbackLines feedback(RunLog(RunLogPath()), SystemClock());
            DesktopLauncher launcher(&messages);
            Workbench<Procedures> core(WorkbenchEnv{DataFolder(), ProgramFolder(), &feedback, &messages, &SystemClock(),
                                                    &launcher, MeFolder(), pagesObserver});
            return RunWorkbenchWindow(core, feedback, messages, *instance, commandLine);
        });
}

}  // namespace parlux
