#include "common/desktop/QtMessages.h"

#include <QGuiApplication>
#include <QString>
#include <QtGlobal>

#include "common/core/StderrLines.h"

namespace parlux {

namespace {

bool OffscreenCannotRaise(const QString& message) {
    return message.contains(QLatin1String("does not support raise()")) && qobject_cast<QGuiApplication*>(qApp) &&
           QGuiApplication::platformName() == QLatin1String("offscreen");
}

void SuiteMessageHandler(QtMsgType, const QMessageLogContext&, const QString& message) {
    if (OffscreenCannotRaise(message)) return;
    StderrLine(message.toStdString());
}

}  // namespace

void RouteQtMessages() { qInstallMessageHandler(SuiteMessageHandler); }

}  // namespace parlux
