#pragma once
// A comparer's window over a WorkbenchTest's scratch folders and sinks,
// started as the program starts it, with the widget helpers the window tests
// drive it by. Header only: the test targets that include it link
// parlux_workbench_gui and parlux_qt_testsupport.
#include <QAbstractButton>
#include <QApplication>
#include <QCoreApplication>
#include <QCursor>
#include <QGroupBox>
#include <QLineEdit>
#include <QRegularExpression>
#include <QString>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "testsupport/QtTestSupport.h"
#include "workbench/gui/WorkbenchWindow.h"
#include "workbench/testing/WorkbenchTestSupport.h"

namespace parlux::test {

// What the window showed at each feedback call.
struct Snapshot {
    std::string top, detail;  // as read back from txt_FeedBackT / txt_FeedBackD
    bool choiceEnabled;
    bool busy;
    std::string checkedOption;
};

// Stands between the feedback lines and the window: everything reaches the
// window except the pauses, which are only recorded (the window's own pause
// has a test of its own), and the window is looked at on every call.
class WatchingDisplay final : public FeedbackDisplay {
public:
    explicit WatchingDisplay(WorkbenchWindow& window) : window_(window) {}
    void showLines(const std::string& top, const std::string& detail) override {
        window_.showLines(top, detail);
        Snapshot s;
        s.top = window_.findChild<QLineEdit*>("txt_FeedBackT")->text().toStdString();
        s.detail = window_.findChild<QLineEdit*>("txt_FeedBackD")->text().toStdString();
        s.choiceEnabled = window_.findChild<QGroupBox*>("FrameC")->isEnabled();
        const QCursor* cursor = QApplication::overrideCursor();
        s.busy = cursor && cursor->shape() == Qt::WaitCursor;
        for (auto* option : window_.findChildren<QAbstractButton*>(QRegularExpression("^Option1_")))
            if (option->isChecked()) s.checkedOption = option->objectName().toStdString();
        snapshots.push_back(s);
    }
    void pause(int milliseconds) override { pauses.push_back(milliseconds); }
    void processEvents() override { window_.processEvents(); }
    void logged(const std::string& record) override { window_.logged(record); }

    // The snapshot taken when the top line first read text.
    const Snapshot* at(const std::string& top) const {
        for (const auto& s : snapshots)
            if (s.top == top) return &s;
        return nullptr;
    }

    std::vector<Snapshot> snapshots;
    std::vector<int> pauses;

private:
    WorkbenchWindow& window_;
};

template <class Core>
class WorkbenchWindowTest : public WorkbenchTest {
protected:
    using WorkbenchTest::WorkbenchTest;
    ~WorkbenchWindowTest() override {
        feedback_.setDisplay(nullptr);
        window_.reset();
    }

    // Builds the core and its window and runs the program's start-up with the
    // test's sinks. The feedback lines show on what displayFor gives for the
    // window, or on the window itself; what the window opens goes to opened_.
    void openWindow(const std::function<FeedbackDisplay*(WorkbenchWindow&)>& displayFor = {}) {
        core_ = std::make_unique<Core>(env());
        window_ = std::make_unique<WorkbenchWindow>(*core_);
        feedback_.setDisplay(displayFor ? displayFor(*window_) : window_.get());
        window_->setOpener([this](const QString& target) { opened_.push_back(target.toStdString()); });
        window_->centre();
        window_->setViewCaptions();
        feedback_.log().reset();
        InitGMTOffset(clock_);
        window_->showIcon();
        core_->chooseType(0);
        window_->show();
        QCoreApplication::processEvents();
    }

    template <class T = QWidget>
    T* widget(const std::string& name) {
        return FindWidget<T>(*window_, name);
    }
    void click(const std::string& name) { Click(*window_, name); }
    void doubleClick(const std::string& name) { DoubleClick(*window_, name); }
    std::string text(const std::string& name) { return BoxText(*window_, name); }
    // The window's widgets against their golden file (a path from the
    // repository root), the scratch folders written as <data> and <program>.
    void expectWidgetsGolden(const std::string& goldenFile) {
        ExpectWidgetsGolden(*window_, SourceDir() / goldenFile,
                            {{data_.path().string(), "<data>"}, {program_.path().string(), "<program>"}});
    }

    std::unique_ptr<Core> core_;
    std::unique_ptr<WorkbenchWindow> window_;
    std::vector<std::string> opened_;
};

}  // namespace parlux::test
