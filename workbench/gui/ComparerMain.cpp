#include "workbench/gui/ComparerMain.h"

#include <QCoreApplication>
#include <QTimer>
#include <algorithm>
#include <exception>
#include "common/core/GmtOffset.h"
#include "common/core/StderrLines.h"
#include "common/core/WaitedRun.h"
#include "common/desktop/Headless.h"
#include "common/desktop/ProgramStart.h"

namespace parlux {

int RunWorkbenchWindow(WorkbenchCore& core, FeedbackLines& feedback, QtMessageSink& messages, SingleInstance& instance,
                       const std::string& commandLine) {
    WorkbenchWindow window(core);
    messages.setParent(&window);
    feedback.setDisplay(&window);
    instance.setWindow(&window);
    // The sinks and the one-copy guard outlive the window: let go of it on the way out.
    struct Detach {
        FeedbackLines& feedback;
        QtMessageSink& messages;
        SingleInstance& instance;
        ~Detach() {
            feedback.setDisplay(nullptr);
            messages.setParent(nullptr);
            instance.setWindow(nullptr);
        }
    } detach{feedback, messages, instance};
    window.setHeadless(RunningHeadless());
    // On the waiting road the follow-up's pages are part of this run.
    core.setWaitForFollowUp(commandLine == "FULL_AUTO" && WaitRequested());
    core.setUnattended(commandLine == "FULL_AUTO");

    window.centre();
    window.setViewCaptions();
    try {
        feedback.log().reset();
    } catch (const std::exception& e) {
        // Every step writes the log: without one there is no run.
        messages.critical(e.what());
        return 1;
    }
    InitGMTOffset();
    window.showIcon();
    core.chooseType(0);
    ShowAsAsked(&window);
    QCoreApplication::processEvents();

    bool runBegan = false;
    QTimer::singleShot(1000, &window, [&window, &commandLine, &core, &runBegan] {
        if (commandLine == "FULL_AUTO") {
            // A window closed before its run gets none; one closed before it
            // was even mapped could not end the event loop yet, so the end is
            // asked for here, whatever reached the window meanwhile.
            runBegan = window.isVisible();
            if (runBegan) window.hyperAndClose();
            QCoreApplication::exit(0);
        } else if (RunningHeadless()) {
            // Nobody can reach an offscreen window: say why it just waits.
            WriteStderr(core.description().program +
                        ": no display and the command line is not FULL_AUTO: idle until ended\n");
        }
    });
    int code = QApplication::exec();
    if (commandLine == "FULL_AUTO" && !runBegan) {
        // Cron must not read a night that did nothing as a good one.
        WriteStderr(core.description().program + ": the window was closed before the run began: nothing done\n");
        return 1;
    }
    if (code == 0 && window.failed()) code = 1;
    if (window.abandoned()) {
        WriteStderr(core.description().program + ": the window was closed during a run: the run was given up\n");
        code = 1;
    }
    if (commandLine == "FULL_AUTO") {
        // Cron reads the status and mails what goes to stderr: nothing when all went well.
        const RunReport& report = core.report();
        const std::string summary = report.summary(core.description().program);
        WriteStderr(summary);
        if (code == 0 && report.failed()) code = 1;
        code = std::max(code, report.followUpStatus);
    }
    return code;
}

}  // namespace parlux
