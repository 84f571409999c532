#include "common/desktop/ProgramStart.h"

#include <QProcess>
#include <QStringList>

#include "common/core/Process.h"
#include "common/desktop/CommandLine.h"

namespace parlux {

namespace {

QStringList ToQt(std::vector<std::string>::const_iterator begin, std::vector<std::string>::const_iterator end) {
    QStringList list;
    for (auto it = begin; it != end; ++it) list << QString::fromStdString(*it);
    return list;
}

}  // namespace

bool StartDetachedArgv(const std::vector<std::string>& argv) {
    if (argv.empty()) return false;
    QProcess process;
    process.setProgram(QString::fromStdString(argv.front()));
    process.setArguments(ToQt(argv.begin() + 1, argv.end()));
    process.setStandardInputFile(QProcess::nullDevice());
    return process.startDetached();
}

void ExecCmd(const std::string& commandLine, short showStyle) {
    (void)showStyle;  // there is no portable way to start a hidden or minimised window
    std::vector<std::string> words = SplitCommandLine(commandLine);
    if (words.empty()) return;
    QProcess process;
    process.setProgram(QString::fromStdString(ResolveProgram(words.front())));
    process.setArguments(ToQt(words.begin() + 1, words.end()));
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    // Nothing will type into the child: it reads end-of-file instead of waiting.
    process.setStandardInputFile(QProcess::nullDevice());
    process.start();
    if (!process.waitForStarted(-1)) return;
    process.waitForFinished(-1);
}

bool StartDetached(const std::string& commandLine, short showStyle) {
    (void)showStyle;  // accepted for the callers; the window manager places the window
    try {
        return StartDetachedArgv(MapCommandLine(commandLine));
    } catch (...) {
        return false;
    }
}

}  // namespace parlux
