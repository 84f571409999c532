#include "rosters/gui/Report.h"

#include <QApplication>
#include <cstdio>
#include <memory>

#include "common/core/DataFolderLock.h"
#include "common/core/StandardOptions.h"
#include "common/core/StderrLines.h"
#include "common/desktop/Headless.h"
#include "common/desktop/MessageBoxes.h"

namespace parlux::rosters {

ReportSink::ReportSink(int& argc, char** argv) : argc_(argc), argv_(argv) {}

ReportSink::~ReportSink() = default;

void ReportSink::critical(std::string_view text) {
    if (RunningHeadless()) {
        QtMessageSink().critical(text);  // stderr only
        return;
    }
    // The box is for the maintainer at the screen; stderr keeps the text for
    // whoever started the program.
    StderrLine(text);
    if (!QCoreApplication::instance()) application_ = std::make_unique<QApplication>(argc_, argv_);
    // A platform without a screen would only print the text again.
    const QString platform = QGuiApplication::platformName();
    if (platform.startsWith(QLatin1String("offscreen")) || platform.startsWith(QLatin1String("minimal"))) return;
    QtMessageSink().critical(text);
}

}  // namespace parlux::rosters
