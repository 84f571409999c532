#pragma once
// A comparer's window over a WorkbenchTest's scratch folders and sinks,
// started as the program starts it, with the widget helpers the window tests
// drive it by. Header only: the test targets that include it link
// parlux_workbench_gui and parlux_qt_testsupport.
#include <QCoreApplication>
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
