#include "common/desktop/Opener.h"

#include <QProcess>

#include "common/core/DataFolder.h"
#include "common/desktop/CommandLine.h"
#include "common/desktop/ProgramStart.h"

namespace parlux {

namespace {

// A bare file name ("Pingers.lst", "Stats.fnd") names the "Me" folder's copy;
// addresses and paths are taken as they are.
QString MeRelative(const QString& target) {
    if (target.contains(u'/') || target.contains(u':') || target.contains(u'\\')) return target;
    return QString::fromStdString((MeFolder() / target.toStdString()).string());
}

}  // namespace

void ShellOpen(QWidget* window, const QString& target) {
    (void)window;  // the opener's windows belong to the desktop, not to ours
    try {
        if (target.trimmed().isEmpty()) return;
        const std::string text = target.toStdString();
        if (EndsWithExe(text)) {
            const std::string program = ResolveProgram(text);
            if (program.find('/') != std::string::npos && Runnable(program)) {
                StartDetachedArgv({program});
                return;
            }
        }
        QProcess::startDetached(QString::fromLatin1(kOpener), {MeRelative(target)});
    } catch (...) {
        // Opening is a convenience: a failure leaves the caller where it was.
    }
}

}  // namespace parlux
