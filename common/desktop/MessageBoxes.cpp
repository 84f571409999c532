#include "common/desktop/MessageBoxes.h"

#include <QApplication>
#include <QMessageBox>
#include <cstdio>

#include "common/desktop/Headless.h"

namespace parlux {

void QtMessageSink::critical(std::string_view text) {
    // A box on a screen nobody sees would wait for ever: offscreen platforms
    // and runs without an application object get the text on stderr too.
    const QString platform = QGuiApplication::platformName();
    const bool noScreen = RunningHeadless() || !qobject_cast<QApplication*>(QCoreApplication::instance()) ||
                          platform == QLatin1String("offscreen") || platform == QLatin1String("minimal");
    if (noScreen) {
        std::fwrite(text.data(), 1, text.size(), stderr);
        std::fputc('\n', stderr);
        std::fflush(stderr);
        return;
    }
    QMessageBox box(QMessageBox::Critical, QApplication::applicationName(),
                    QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())), QMessageBox::Ok, parent_);
    box.exec();
}

}  // namespace parlux
