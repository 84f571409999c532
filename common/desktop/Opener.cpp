#include "common/desktop/Opener.h"

#include <QProcess>

#include "common/desktop/CommandLine.h"
#include "common/desktop/ProgramStart.h"

namespace parlux {

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
        QProcess::startDetached(QString::fromLatin1(kOpener), {target});
    } catch (...) {
        // Opening is a convenience: a failure leaves the caller where it was.
    }
}

}  // namespace parlux
