// Fetchprobe: tries the download routines by hand.
#include <QApplication>

#include "common/core/DataFolder.h"
#include "common/core/Sinks.h"
#include "common/core/StderrLines.h"
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
            // Where the first pinger's type 2 key list is named; none without a home.
            std::filesystem::path data;
            try {
                data = DataFolder();
            } catch (const DataFolderError&) {}
            FetchprobeWindow* shown = nullptr;
            FetchprobeWindow window(
                SuiteLinks{[&shown, &messages](const QString& target) { ShellOpen(shown, target, &messages); },
                           [&shown, &messages](const std::string& commandLine, short style) {
                               return StartOrOpen(shown, commandLine, style, &messages);
                           },
                           [&messages]() -> MessageSink& { return messages; }, ProgramFolder(), data});
            shown = &window;
            messages.setParent(&window);
            instance->setWindow(&window);
            PlaceOnScreen(&window);
            ShowAsAsked(&window);
            int code = QApplication::exec();
            instance->setWindow(nullptr);
            messages.setParent(nullptr);
            if (window.abandoned()) {
                // As the comparers end when closed during a run.
                StderrLine("the window was closed during a download: the download was given up");
                code = 1;
            }
            return code;
        });
}
