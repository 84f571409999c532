#include "common/desktop/DoubleClicks.h"

#include <QEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QLineEdit>
#include <QWidget>

#include "common/desktop/Keyboard.h"

namespace parlux {

void DoubleClicks::on(QObject* widget, std::function<void()> action, bool enter) {
    actions_[widget] = Bound{std::move(action), enter, {}};
    widget->installEventFilter(this);
    auto* w = qobject_cast<QWidget*>(widget);
    if (!enter || !w || w->focusPolicy() != Qt::NoFocus) return;
    w->setFocusPolicy(Qt::StrongFocus);
    if (auto* frame = qobject_cast<QFrame*>(w); frame && !qobject_cast<QLineEdit*>(w)) ShowFocusAsFrame(frame);
}

void DoubleClicks::onAsking(QObject* widget, std::function<void()> action, std::function<bool()> confirm) {
    on(widget, std::move(action));
    actions_[widget].confirm = std::move(confirm);
}

bool DoubleClicks::eventFilter(QObject* watched, QEvent* event) {
    const auto it = actions_.find(watched);
    if (it == actions_.end()) return QObject::eventFilter(watched, event);
    bool run = event->type() == QEvent::MouseButtonDblClick;
    if (event->type() == QEvent::KeyPress && it->second.enter) {
        const auto* key = static_cast<QKeyEvent*>(event);
        run =
            (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && !(key->modifiers() & ~Qt::KeypadModifier);
    }
    if (!run) return QObject::eventFilter(watched, event);
    const auto action = it->second.action;  // the action may close the window, and this with it
    if (event->type() == QEvent::KeyPress && it->second.confirm && !it->second.confirm()) return true;
    action();
    return true;
}

}  // namespace parlux
