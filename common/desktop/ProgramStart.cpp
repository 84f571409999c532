#include "common/desktop/ProgramStart.h"

#include <QByteArray>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <QWidget>

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

bool StartDetachedArgv(const std::vector<std::string>& argv, short showStyle) {
    if (argv.empty()) return false;
    QProcess process;
    process.setProgram(QString::fromStdString(argv.front()));
    process.setArguments(ToQt(argv.begin() + 1, argv.end()));
    process.setStandardInputFile(QProcess::nullDevice());
    // A program of the suite shows its window as asked (ShowAsAsked); the
    // opener and other programs pay no heed to the variable.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromLatin1(kWindowStateVariable), QString::fromLatin1(WindowStateWord(showStyle)));
    process.setProcessEnvironment(environment);
    return process.startDetached();
}

const char* WindowStateWord(short showStyle) {
    switch (showStyle) {
        case kShowMinimized:
            return "minimized";
        case kShowMaximized:
            return "maximized";
        default:
            return "normal";  // a window is never started hidden: nobody could reach it
    }
}

void ShowAsAsked(QWidget* window) {
    const QByteArray asked = qgetenv(kWindowStateVariable);
    // Asked of this copy only: what it starts in turn is asked anew.
    qunsetenv(kWindowStateVariable);
    if (asked == "minimized")
        window->showMinimized();
    else if (asked == "maximized")
        window->showMaximized();
    else
        window->show();
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
    try {
        return StartDetachedArgv(MapCommandLine(commandLine), showStyle);
    } catch (...) {
        return false;
    }
}

}  // namespace parlux
