// The window of an unattended run closed at the edges of that run, started as
// the program starts it (RunWorkbenchWindow with FULL_AUTO) on the offscreen
// platform: a timer closes it at once, before it is mapped; in the start-up
// pause; as the run begins; and in the run's last pause, its pages written
// and Flaggrid started. Whatever reached the window, the program ends, and
// its status says whether the night's work was done.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QTimer>
#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "common/desktop/MessageBoxes.h"
#include "common/desktop/SingleInstance.h"
#include "pulsegrid/StatsComparer.h"
#include "pulsegrid/gui_tests/Pingers.h"
#include "workbench/gui/ComparerMain.h"
#include "workbench/gui/WorkbenchWindow.h"
#include "workbench/testing/WorkbenchTestSupport.h"

namespace parlux::test {
namespace {

namespace fs = std::filesystem;

WorkbenchWindow* TheWindow() {
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* window = qobject_cast<WorkbenchWindow*>(widget)) return window;
    return nullptr;
}

enum class When { AtOnce, InStartUpPause, AsTheRunBegins, InTheLastPause };

struct CloseCase {
    const char* name;
    When when;
    int status;
    std::string err;  // all of stderr, after "Pulsegrid: "
    bool done;        // every page written and Flaggrid started
};

class UnattendedClose : public WorkbenchTest {
protected:
    UnattendedClose()
        : WorkbenchTest(MakeDateTime(2026, 12, 7, 12, 30, 5), MakeDateTime(2026, 12, 7, 11, 30, 5), "Pulsegrid.log") {
        ServePingers(server_);
        server_.start();
        WriteFile(data_ / "Pingers.lst", PingersList(server_));
    }

    std::vector<std::string> pages() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(data_.path()))
            if (e.path().filename().string().starts_with("Comp_")) names.push_back(e.path().filename().string());
        return names;
    }

    // Closes the window when the case's moment comes.
    void closeWhen(When when) {
        auto close = [] {
            if (WorkbenchWindow* window = TheWindow()) window->close();
        };
        switch (when) {
            case When::AtOnce:
                QTimer::singleShot(0, close);
                return;
            case When::InStartUpPause:
                QTimer::singleShot(500, close);
                return;
            case When::AsTheRunBegins:
            case When::InTheLastPause:
                break;
        }
        watch_ = std::make_unique<QTimer>();
        QObject::connect(watch_.get(), &QTimer::timeout, [this, when, close] {
            const WorkbenchWindow* window = TheWindow();
            const bool now = when == When::AsTheRunBegins ? window && window->running() : !launcher_.started.empty();
            if (!now) return;
            watch_->stop();
            close();
        });
        watch_->start(5);
    }

    LoopbackServer server_;
    std::unique_ptr<QTimer> watch_;
};

TEST_F(UnattendedClose, TheProgramEndsAndItsStatusSaysWhetherTheWorkWasDone) {
    const CloseCase cases[] = {
        {"at once, before the window is mapped", When::AtOnce, 1,
         "the window was closed before the run began: nothing done\n", false},
        {"in the start-up pause", When::InStartUpPause, 1, "the window was closed before the run began: nothing done\n",
         false},
        {"as the run begins", When::AsTheRunBegins, 1, "the window was closed during a run: the run was given up\n",
         false},
        {"in the last pause, every page written and Flaggrid started", When::InTheLastPause, 0, "", true},
    };
    for (const CloseCase& c : cases) {
        SCOPED_TRACE(c.name);
        for (const auto& page : pages()) fs::remove(data_ / page);
        launcher_.started.clear();
        StatsWorkbench core(env());
        QtMessageSink messages;
        SingleInstance instance(QString("PulsegridCloseTest%1").arg(QCoreApplication::applicationPid()));
        closeWhen(c.when);
        // A run that never ends would hang the night: here it fails the case.
        bool hung = false;
        QTimer watchdog;
        watchdog.setSingleShot(true);
        QObject::connect(&watchdog, &QTimer::timeout, [&hung] {
            hung = true;
            QCoreApplication::exit(99);
        });
        watchdog.start(30000);

        testing::internal::CaptureStderr();
        const int status = RunWorkbenchWindow(core, feedback_, messages, instance, "FULL_AUTO");
        const std::string err = testing::internal::GetCapturedStderr();
        watch_.reset();
        EXPECT_FALSE(hung);
        EXPECT_EQ(status, c.status);
        EXPECT_EQ(err, c.err.empty() ? "" : "Pulsegrid: " + c.err);
        EXPECT_EQ(pages().size(), c.done ? 14u : 0u);
        EXPECT_EQ(launcher_.started.size(), c.done ? 1u : 0u);
        EXPECT_EQ(TheWindow(), nullptr);  // gone with the run
    }
}

}  // namespace
}  // namespace parlux::test
