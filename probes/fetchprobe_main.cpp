// Fetchprobe: tries the download routines by hand.
#include <QApplication>

#include "FetchprobeWindow.h"
#include "core/Common.h"
#include "desktop/Desktop.h"
#include "desktop/SuiteWindow.h"

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
            window.show();
            const int code = QApplication::exec();
            instance->setWindow(nullptr);
            messages.setParent(nullptr);
            return code;
        });
}
