// Fetchprobe: tries the download routines by hand.
#include <QApplication>

#include "common/core/DataFolder.h"
#include "common/core/Sinks.h"
#include "common/desktop/MessageBoxes.h"
#include "common/desktop/Opener.h"
#include "common/desktop/ProgramStart.h"
#include "common/desktop/SingleInstance.h"
#include "common/desktop/SuiteWindow.h"
#include "probes/FetchprobeWindow.h"

int main(int argc, char** argv) {
    using namespace parlux;
    return RunSuiteProgram(
        argc, argv, "Fetchprobe", true, [](SingleInstance* instance, QtMessageSink& messages, const std::string&) {
            FetchprobeWindow* shown = nullptr;
            FetchprobeWindow window(SuiteLinks{[&shown](const QString& target) { ShellOpen(shown, target); },
                                               &StartDetached,
                                               [&messages]() -> MessageSink& { return messages; },
                                               ProgramFolder(),
                                               {}});
            shown = &window;
            messages.setParent(&window);
            instance->setWindow(&window);
            PlaceOnScreen(&window);
            ShowAsAsked(&window);
            const int code = QApplication::exec();
            instance->setWindow(nullptr);
            messages.setParent(nullptr);
            return code;
        });
}
