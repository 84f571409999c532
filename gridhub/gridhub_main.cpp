// Gridhub: the suite's index and launcher.
#include <QApplication>

#include "common/core/DataFolder.h"
#include "common/core/Sinks.h"
#include "common/core/StderrLines.h"
#include "common/desktop/Headless.h"
#include "common/desktop/Opener.h"
#include "common/desktop/ProgramStart.h"
#include "gridhub/GridhubWindow.h"

int main(int argc, char** argv) {
    using namespace parlux;
    return RunSuiteProgram(
        argc, argv, "Gridhub", true,
        [](SingleInstance* instance, QtMessageSink& messages, const std::string& commandLine) {
            GridhubWindow* shown = nullptr;
            GridhubWindow window(SuiteLinks{
                [&shown, &messages](const QString& target) { ShellOpen(shown, target, &messages); },
                [&shown, &messages](const std::string& commandLine, short style) {
                    return StartOrOpen(shown, commandLine, style, &messages);
                },
                [&messages]() -> MessageSink& { return messages; }, ProgramFolder(), DataFolder(), MeFolder()});
            shown = &window;
            messages.setParent(&window);
            instance->setWindow(&window);
            struct Detach {
                SingleInstance* instance;
                QtMessageSink& messages;
                ~Detach() {
                    instance->setWindow(nullptr);
                    messages.setParent(nullptr);
                }
            } detach{instance, messages};

            if (!window.start(commandLine)) return window.exitStatus();  // the unattended run is over
            if (RunningHeadless()) {
                // Nobody can reach an offscreen window: say why it just waits.
                StderrLine("no display and the command line is not FULL_AUTO: idle until ended");
            }
            return QApplication::exec();
        });
}
