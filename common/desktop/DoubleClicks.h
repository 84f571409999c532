#pragma once
// Double-clicks on widgets that have no signal of their own for them (text
// boxes, picture boxes), each bound to what it does.
#include <QObject>
#include <functional>
#include <map>

namespace parlux {

class DoubleClicks final : public QObject {
public:
    explicit DoubleClicks(QObject* parent = nullptr) : QObject(parent) {}
    // A double-click on widget runs action (and goes no further).
    void on(QObject* widget, std::function<void()> action);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::map<QObject*, std::function<void()>> actions_;
};

}  // namespace parlux
