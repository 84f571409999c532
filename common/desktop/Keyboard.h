#pragma once
// A window driven by the keyboard alone: access keys on its menus and
// buttons, F10 for the menu bar, Enter on a focused button, focus that comes
// back to the button that started an action, and a visible focus on the
// picture boxes that act on Enter.
#include <QPointer>
#include <QString>
#include <QWidget>
#include <map>

class QFrame;
class QMainWindow;

namespace parlux {

// Access keys (an "&" before a letter of the caption, which itself stays as
// it is) on the window's menus and buttons, unique in the window, and on the
// entries of each menu, unique in the menu. Run again after captions have
// changed: captions keyed before keep their key, changed ones get a new one.
void GiveAccessKeys(QWidget* window);
// Each entry of the menu takes its key in turn and keeps it: an entry added
// at the end never moves the key of one before it.
void KeepMenuKeysInOrder(QObject* menu);

// A caption as the user reads it: without the "&" of its access key ("&&"
// stands for one "&").
QString PlainCaption(const QString& caption);
// The caption with an access key before the character at position at (-1:
// none), every "&" of its own doubled.
QString KeyedCaption(const QString& plain, int at);

// The key a caption is to have wherever it stands ({"H Y P", 'Y'}): sister
// windows give one action one key.
using WantedKeys = std::map<QString, char>;

// The keyboard for a whole window: the access keys (wanted: those its
// buttons are to have, kept when the keys are given again), F10 opening the
// menu bar, Enter or Return on a focused button pressing it as Space does,
// and the focus back on a button whose access key pressed it.
void DriveByKeyboard(QMainWindow* window, const WantedKeys& wanted = {});

// A picture box that can take the focus shows it with a frame in the
// highlight colour while it has it.
void ShowFocusAsFrame(QFrame* frame);

// Held while an action runs: the widget that had the focus when it began
// (the button that started it) gets it back at the end, even if it was
// disabled meanwhile and the focus moved on.
class FocusReturn {
public:
    explicit FocusReturn(QWidget* window);
    ~FocusReturn();
    FocusReturn(const FocusReturn&) = delete;
    FocusReturn& operator=(const FocusReturn&) = delete;

private:
    QPointer<QWidget> focus_;
};

}  // namespace parlux
