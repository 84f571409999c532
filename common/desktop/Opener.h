#pragma once
// Opening documents, folders and addresses with the desktop's opener.
#include <QString>

class QWidget;

namespace parlux {

// Opens a document, folder or address with the desktop's opener; returns at
// once and never raises, whatever the target. A program of the suite named
// with ".exe" (the Apps menus) is started instead, without the extension.
void ShellOpen(QWidget* window, const QString& target);

}  // namespace parlux
