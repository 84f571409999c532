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

#include "common/core/Sinks.h"
#include "pulsegrid/StatsComparer.h"
#include "pulsegrid/gui_tests/Pingers.h"
#include "workbench/gui/WorkbenchWindow.h"
#include "workbench/testing/WorkbenchWindowTestSupport.h"

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

class WindowTest : public WorkbenchWindowTest<StatsWorkbench> {
protected:
    WindowTest()
        // Local 12:30 at GMT+1: pages are stamped 11:30 GMT.
        : WorkbenchWindowTest(MakeDateTime(2026, 12, 7, 12, 30, 5), MakeDateTime(2026, 12, 7, 11, 30, 5),
                              "Pulsegrid.log") {
        ServePingers(server_);
        server_.start();
        WriteFile(data_ / "Pingers.lst", PingersList(server_));
        openWindow([this](WorkbenchWindow& window) {
            display_ = std::make_unique<WatchingDisplay>(window);
            return display_.get();
        });
    }

    QAction* entry(const std::string& name) {
        QAction* a = window_->findChild<QAction*>(QString::fromStdString(name));
        if (!a) ADD_FAILURE() << "no menu entry " << name;
        return a;
    }
    std::vector<LogRecord> log() const { return ReadLog(program_ / "Pulsegrid.log"); }
    std::filesystem::path dump(const std::string& table) const { return data_ / ("DMP-S_" + table + "Array.tmp"); }
    std::string quoted(const std::filesystem::path& p) const { return "\"" + p.string() + "\""; }
    bool exists(const std::string& name) const { return std::filesystem::exists(data_ / name); }

    LoopbackServer server_;
    std::unique_ptr<WatchingDisplay> display_;
};

}  // namespace parlux::test
