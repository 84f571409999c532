// The window while a download is slow: its events run, the detail line says
// what is still awaited, and a second SUPER click starts nothing.
#include <httplib.h>

#include <QPushButton>
#include <QTimer>
#include <chrono>
#include <condition_variable>
#include <mutex>

#include "pulsegrid/StatsComparer.h"
#include "pulsegrid/gui_tests/Pingers.h"
#include "workbench/testing/WorkbenchWindowTestSupport.h"

namespace parlux::test {
namespace {

// A pinger whose page is held back until the test lets it go.
class HeldPage {
public:
    void wait() {
        std::unique_lock<std::mutex> lock(mutex_);
        released_.wait_for(lock, std::chrono::seconds(20), [this] { return free_; });
    }
    void release() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            free_ = true;
        }
        released_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable released_;
    bool free_ = false;
};

class SlowPingerTest : public WorkbenchWindowTest<StatsWorkbench> {
protected:
    SlowPingerTest()
        : WorkbenchWindowTest(MakeDateTime(2026, 12, 7, 12, 30, 5), MakeDateTime(2026, 12, 7, 11, 30, 5),
                              "Pulsegrid.log") {
        ServePingers(server_);
        server_.handle("/gamma/PGP-1", [this](const httplib::Request&, httplib::Response& res) {
            held_.wait();
            res.set_content(StatsList("PGP-1", {"dizum"}), "text/html");
        });
        server_.start();
        WriteFile(data_ / "Pingers.lst", "\"PGP-1\",\"beta\",\"" + server_.url("/beta/PGP-1") +
                                             "\"\r\n\"PGP-1\",\"gamma\",\"" + server_.url("/gamma/PGP-1") +
                                             "\"\r\n\"PGP-1\",\"alpha\",\"" + server_.url("/gone/PGP-1") + "\"\r\n");
        openWindow();
    }
    ~SlowPingerTest() override { held_.release(); }

    LoopbackServer server_;
    HeldPage held_;
};

TEST_F(SlowPingerTest, WhileAPingerIsAwaitedTheWindowLivesShowsItAndRefusesASecondSuper) {
    // alpha's page is gone: it is done, but failed, and not counted as received.
    const std::string awaited = "LOA_Pingers: 2 of 3 done (1 failed); waiting for gamma";
    int ticks = 0, ticksWhileAwaited = 0;
    bool sawAwaited = false, superEnabled = true;
    QTimer timer;
    timer.setInterval(10);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        ++ticks;
        if (text("txt_FeedBackD") != awaited) return;
        if (!sawAwaited) {
            sawAwaited = true;
            superEnabled = widget<QPushButton>("cmd_SUPER")->isEnabled();
            click("cmd_SUPER");  // the maintainer who sees nothing happen
            ticksWhileAwaited = ticks;
        }
        if (ticks >= ticksWhileAwaited + 3) held_.release();
    });
    timer.start();
    // Should the line never come, the test still ends.
    QTimer::singleShot(10000, [this] { held_.release(); });
    click("cmd_SUPER");
    timer.stop();

    EXPECT_TRUE(sawAwaited) << "the detail line never read: " << awaited;
    EXPECT_FALSE(superEnabled);
    EXPECT_GE(ticks, ticksWhileAwaited + 3);

    // One SUPER, and every pinger once on the page.
    const auto records = ReadLog(program_ / "Pulsegrid.log");
    int supers = 0;
    for (const auto& top : TopLines(records)) supers += top == "SUPER in Progress: PGP-1";
    EXPECT_EQ(supers, 1);
    EXPECT_EQ(TopLines(records).back(), "SUPER Completed: PGP-1");
    EXPECT_EQ(text("txt_LOA_Pingers"), "3");
    EXPECT_EQ(text("txt_PRT_Compil"), "True");
    const auto lines = CrLfLines(ReadFile(data_ / "Comp_DS_PGP-1.txt"));
    ASSERT_GT(lines.size(), 2u);
    EXPECT_EQ(lines[2], "         |alpha           |beta            |gamma           |");
    // The progress line is shown only: the log has the downloads in list order.
    std::vector<std::string> details;
    for (const auto& r : records) {
        EXPECT_EQ(r.detail.find(" done ("), std::string::npos) << r.detail;
        if (r.detail.ends_with(" Downloading ")) details.push_back(r.detail);
    }
    EXPECT_EQ(details, (std::vector<std::string>{"beta PGP-1 Downloading ", "gamma PGP-1 Downloading ",
                                                 "alpha PGP-1 Downloading "}));
    EXPECT_TRUE(widget<QPushButton>("cmd_SUPER")->isEnabled());
}

}  // namespace
}  // namespace parlux::test
