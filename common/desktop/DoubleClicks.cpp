#include "common/desktop/DoubleClicks.h"

#include <QEvent>

namespace parlux {

void DoubleClicks::on(QObject* widget, std::function<void()> action) {
    actions_[widget] = std::move(action);
    widget->installEventFilter(this);
}

bool DoubleClicks::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonDblClick) {
        const auto it = actions_.find(watched);
        if (it != actions_.end()) {
            const auto action = it->second;  // the action may close the window, and this with it
            action();
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace parlux
