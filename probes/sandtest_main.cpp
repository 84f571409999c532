// Sandtest: the two text-replacement routines side by side.
#include <QApplication>

#include "common/desktop/ProgramStart.h"
#include "common/desktop/SuiteWindow.h"
#include "probes/SandtestWindow.h"

int main(int argc, char** argv) {
    using namespace parlux;
    return RunSuiteProgram(argc, argv, "Sandtest", false, [](SingleInstance*, QtMessageSink&, const std::string&) {
        SandtestWindow window;
        PlaceOnScreen(&window);
        ShowAsAsked(&window);
        return QApplication::exec();
    });
}
