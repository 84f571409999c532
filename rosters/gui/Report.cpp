#include "rosters/gui/Report.h"

#include <QApplication>
#include <cstdio>
#include <memory>

#include "common/desktop/Headless.h"
#include "common/desktop/MessageBoxes.h"

namespace parlux::rosters {

void ReportSink::critical(std::string_view text) {
    if (RunningHeadless()) {
        QtMessageSink().critical(text);  // stderr only
        return;
    }
    // The box is for the maintainer at the screen; stderr keeps the text for
    // whoever started the program.
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fputc('\n', stderr);
    std::fflush(stderr);
    static std::unique_ptr<QApplication> made;
    if (!QCoreApplication::instance()) made = std::make_unique<QApplication>(argc_, argv_);
    QtMessageSink().critical(text);
}

}  // namespace parlux::rosters
