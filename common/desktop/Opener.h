#pragma once
// Opening documents, folders and addresses with the desktop's opener.
#include <QString>
#include <string>

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

// Starts a command line as StartDetached does, but the tools of the original
// desktop that the opener stands for ("EditPad.exe file") go to ShellOpen,
// so that an opener that fails is told to messages as for any other target.
// False when nothing could be started.
bool StartOrOpen(QWidget* window, const std::string& commandLine, short showStyle, MessageSink* messages);

// Whether a target names a file or folder here (not a web address).
bool IsLocalTarget(const QString& target);

}  // namespace parlux
