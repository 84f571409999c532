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
    // As on(), for a widget whose double-click starts an unattended run:
    // Enter runs it only when confirm says so. A key reaches a picture by
    // accident (the window's first Enter) far more easily than a
    // double-click does; the double-click itself is not asked about.
    void onAsking(QObject* widget, std::function<void()> action, std::function<bool()> confirm);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Bound {
        std::function<void()> action;
        bool enter;
        std::function<bool()> confirm;  // asked before Enter runs the action (none: not asked)
    };
    std::map<QObject*, Bound> actions_;
};

}  // namespace parlux
