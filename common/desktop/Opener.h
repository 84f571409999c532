#pragma once
// Opening documents, folders and addresses with the desktop's opener.
#include <QString>

class QWidget;

namespace parlux {

class MessageSink;

// Opens a document, folder or address with the desktop's opener; returns at
// once and never raises, whatever the target. A bare file name is the "Me"
// folder's file (MeFolder()). A program of the suite named
// with ".exe" (the Apps menus) is started instead, without the extension.
// When the opener cannot be started, or soon ends with a failure, messages
// (when given) is told "<target> cannot be opened: <the opener's reason>",
// from the window's event loop.
void ShellOpen(QWidget* window, const QString& target, MessageSink* messages = nullptr);

// Whether a target names a file or folder here (not a web address).
bool IsLocalTarget(const QString& target);

}  // namespace parlux
