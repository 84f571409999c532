#pragma once
// A Pulsegrid window on the offscreen platform over scratch data and program
// folders, its core given a fixed clock, a recording message sink and a
// recording launcher, and the pingers served on a loopback port. The tests
// press the real widgets and read the real boxes.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QGroupBox>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTest>
#include <memory>
#include <string>
#include <vector>

#include "Pingers.h"
#include "StatsComparer.h"
#include "core/Common.h"
#include "desktop/Desktop.h"
#include "workbench/gui/WorkbenchWindow.h"

namespace parlux::test {

class RecordingLauncher final : public ProgramLauncher {
public:
    bool start(const std::string& commandLine, short showStyle) override {
        started.push_back(commandLine);
        styles.push_back(showStyle);
        return true;
    }
    std::vector<std::string> started;
    std::vector<short> styles;
};

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

class WindowTest : public ::testing::Test {
protected:
    WindowTest()
        // Local 12:30 at GMT+1: pages are stamped 11:30 GMT.
        : clock_(MakeDateTime(2026, 12, 7, 12, 30, 5), MakeDateTime(2026, 12, 7, 11, 30, 5)),
          feedback_(RunLog(program_ / "Pulsegrid.log"), clock_) {
        ServePingers(server_);
        server_.start();
        WriteFile(data_ / "Pingers.lst", PingersList(server_));

        // The start-up of the program, with the test's sinks.
        core_ = std::make_unique<StatsWorkbench>(
            WorkbenchEnv{data_.path(), program_.path(), &feedback_, &messages_, &clock_, &launcher_});
        window_ = std::make_unique<WorkbenchWindow>(*core_);
        display_ = std::make_unique<WatchingDisplay>(*window_);
        feedback_.setDisplay(display_.get());
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

    ~WindowTest() override {
        feedback_.setDisplay(nullptr);
        window_.reset();
    }

    template <class T = QWidget>
    T* widget(const std::string& name) {
        T* w = window_->findChild<T*>(QString::fromStdString(name));
        if (!w) ADD_FAILURE() << "no widget " << name;
        return w;
    }
    QAction* entry(const std::string& name) {
        QAction* a = window_->findChild<QAction*>(QString::fromStdString(name));
        if (!a) ADD_FAILURE() << "no menu entry " << name;
        return a;
    }
    void click(const std::string& name) {
        if (auto* b = widget<QAbstractButton>(name)) QTest::mouseClick(b, Qt::LeftButton);
    }
    void doubleClick(const std::string& name) {
        if (auto* w = widget(name)) QTest::mouseDClick(w, Qt::LeftButton);
    }
    std::string text(const std::string& name) {
        auto* box = widget<QLineEdit>(name);
        return box ? box->text().toStdString() : "<missing>";
    }
    std::vector<LogRecord> log() const { return ReadLog(program_ / "Pulsegrid.log"); }
    std::filesystem::path dump(const std::string& table) const { return data_ / ("DMP-S_" + table + "Array.tmp"); }
    std::string quoted(const std::filesystem::path& p) const { return "\"" + p.string() + "\""; }
    bool exists(const std::string& name) const { return std::filesystem::exists(data_ / name); }

    TempDir data_;
    TempDir program_;
    FixedClock clock_;
    RecordingMessages messages_;
    RecordingLauncher launcher_;
    FeedbackLines feedback_;
    LoopbackServer server_;
    std::unique_ptr<StatsWorkbench> core_;
    std::unique_ptr<WorkbenchWindow> window_;
    std::unique_ptr<WatchingDisplay> display_;
    std::vector<std::string> opened_;
};

}  // namespace parlux::test
