#pragma once
// Double-clicks on widgets that have no signal of their own for them (text
// boxes, picture boxes), each bound to what it does; Enter or Return on the
// focused widget does the same.
#include <QObject>
#include <functional>
#include <map>

namespace parlux {

class DoubleClicks final : public QObject {
public:
    explicit DoubleClicks(QObject* parent = nullptr) : QObject(parent) {}
    // A double-click on widget runs action (and goes no further). With
    // enter, so do Enter and Return while it has the focus: a widget that
    // took none takes it then (by Tab and click), a picture box showing it
    // with a frame.
    void on(QObject* widget, std::function<void()> action, bool enter = true);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Bound {
        std::function<void()> action;
        bool enter;
    };
    std::map<QObject*, Bound> actions_;
};

}  // namespace parlux
