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
