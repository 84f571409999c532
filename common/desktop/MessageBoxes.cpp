#include "common/desktop/MessageBoxes.h"

#include <QApplication>
#include <QMessageBox>

#include "common/core/DataFolderLock.h"
#include "common/core/StandardOptions.h"
#include "common/core/StderrLines.h"
#include "common/desktop/Headless.h"

namespace parlux {

bool QtMessageSink::interactive() const {
    // A box on a screen nobody sees would wait for ever: offscreen platforms
    // and runs without an application object get the text on stderr instead.
    const QString platform = QGuiApplication::platformName();
    return !(RunningHeadless() || !qobject_cast<QApplication*>(QCoreApplication::instance()) ||
             platform == QLatin1String("offscreen") || platform == QLatin1String("minimal"));
}

bool QtMessageSink::ask(std::string_view question) {
    if (!interactive()) return false;
    QMessageBox box(QMessageBox::Question, QApplication::applicationName(),
                    QString::fromUtf8(question.data(), static_cast<qsizetype>(question.size())),
                    QMessageBox::Yes | QMessageBox::No, parent_);
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

void QtMessageSink::critical(std::string_view text) {
    if (!interactive()) {
        StderrLine(text);  // one line, after the program's name as a box has it in its caption
        return;
    }
    QMessageBox box(QMessageBox::Critical, QApplication::applicationName(),
                    QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())), QMessageBox::Ok, parent_);
    box.exec();
}

}  // namespace parlux
