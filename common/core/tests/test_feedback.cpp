// The feedback lines: what the window shows, when it pauses and lets events
// run, and what goes into the run log.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "common/core/DateTime.h"
#include "common/core/Feedback.h"
#include "common/core/RunLog.h"
#include "testsupport/TestSupport.h"

namespace parlux {
namespace {

namespace fs = std::filesystem;
using test::FixedClock;
using test::ReadFile;
using test::TempDir;

class RecordingDisplay final : public FeedbackDisplay {
public:
    void showLines(const std::string& top, const std::string& detail) override {
        calls.push_back("show " + top + "|" + detail);
    }
    void pause(int milliseconds) override { calls.push_back("pause " + std::to_string(milliseconds)); }
    void processEvents() override {
        calls.push_back("events");
        if (onEvents) {
            auto action = std::move(onEvents);
            onEvents = nullptr;
            action();
        }
    }
    void logged(const std::string& record) override { calls.push_back("logged " + record); }

    std::vector<std::string> calls;
    std::function<void()> onEvents;  // runs once, from the next processEvents
};

TEST(Feedback, FeedBackSteps) {
    TempDir dir;
    FixedClock clock(MakeDateTime(2003, 4, 12, 13, 45, 2), MakeDateTime(2003, 4, 12, 18, 45, 2));
    RecordingDisplay display;
    FeedbackLines lines(RunLog(dir / "p.log"), clock, &display);

    lines.feedBack("LOA_Pingers in Progress: PGP-1", " ", 250);
    EXPECT_EQ(lines.top(), "LOA_Pingers in Progress: PGP-1");
    EXPECT_EQ(lines.detail(), " ");
    const std::string record1 = "#2003-04-12 13:45:02#,\"LOA_Pingers in Progress: PGP-1\",\" \"";
    EXPECT_EQ(display.calls, (std::vector<std::string>{"show LOA_Pingers in Progress: PGP-1| ", "pause 250", "events",
                                                       "logged " + record1, "events"}));

    // Empty texts leave the lines; no pause asked, none made; same second, same stamp.
    display.calls.clear();
    lines.feedBack("", "alpha PGP-1 Downloading ", 0);
    lines.feedBack("", "", 0);
    EXPECT_EQ(lines.top(), "LOA_Pingers in Progress: PGP-1");
    const std::string record2 = "#2003-04-12 13:45:02#,\"LOA_Pingers in Progress: PGP-1\",\"alpha PGP-1 Downloading \"";
    EXPECT_EQ(display.calls, (std::vector<std::string>{"show LOA_Pingers in Progress: PGP-1|alpha PGP-1 Downloading ",
                                                       "events", "logged " + record2, "events",
                                                       "show LOA_Pingers in Progress: PGP-1|alpha PGP-1 Downloading ",
                                                       "events", "logged " + record2, "events"}));
    EXPECT_EQ(ReadFile(dir / "p.log"), record1 + "\r\n" + record2 + "\r\n" + record2 + "\r\n");

    // Page text reaches the lines: in the log and its echo a lone LF forges no
    // record and ESC or BEL reach no terminal; the window shows them as they are.
    display.calls.clear();
    fs::remove(dir / "p.log");
    lines.endOfStep();
    const std::string top = "top\x1b]0;owned\x07", detail = "x\"\n#2003-01-01#,\"forged\",\"\r\t\x7f\xc3\xa9";
    lines.feedBack(top, detail, 0);
    const std::string record3 = "#2003-04-12 13:45:02#,\"top?]0;owned?\",\"x\"?#2003-01-01#,\"forged\",\"???\xc3\xa9\"";
    EXPECT_EQ(ReadFile(dir / "p.log"), record3 + "\r\n");
    EXPECT_EQ(display.calls,
              (std::vector<std::string>{"show " + top + "|" + detail, "events", "logged " + record3, "events"}));
}

TEST(Feedback, FeedBackLogsTheLinesAsTheyStandAfterEvents) {
    TempDir dir;
    FixedClock clock(MakeDateTime(2003, 4, 12, 9, 0, 0), MakeDateTime(2003, 4, 12, 9, 0, 0));
    RecordingDisplay display;
    FeedbackLines lines(RunLog(dir / "p.log"), clock, &display);
    // A click handled while the first call lets events run writes lines of its own.
    display.onEvents = [&] { lines.feedBack("RESET in Progress: ", "x", 0); };
    lines.feedBack("SUPER in Progress: ", " ", 0);
    const std::string inner = "#2003-04-12 09:00:00#,\"RESET in Progress: \",\"x\"";
    EXPECT_EQ(ReadFile(dir / "p.log"), inner + "\r\n" + inner + "\r\n");

    // Without a display the lines and the log still work.
    FeedbackLines bare(RunLog(dir / "bare.log"), clock);
    bare.feedBack("top", "detail", 1000);
    EXPECT_EQ(ReadFile(dir / "bare.log"), "#2003-04-12 09:00:00#,\"top\",\"detail\"\r\n");
}

// The log is held open across the records of an action, yet every record is
// in the file as soon as it is written; a log removed between actions comes back.
TEST(Feedback, RecordsAreOnDiskAtOnceAndTheLogReopensAfterAStep) {
    TempDir dir;
    FixedClock clock(MakeDateTime(2003, 4, 12, 9, 0, 0), MakeDateTime(2003, 4, 12, 9, 0, 0));
    FeedbackLines lines(RunLog(dir / "p.log"), clock);
    lines.feedBack("a", " ", 0);
    EXPECT_EQ(ReadFile(dir / "p.log"), "#2003-04-12 09:00:00#,\"a\",\" \"\r\n");
    lines.log().reset();
    lines.feedBack("b", " ", 0);
    EXPECT_EQ(ReadFile(dir / "p.log"), "#2003-04-12 09:00:00#,\"b\",\" \"\r\n");
    lines.endOfStep();
    fs::remove(dir / "p.log");
    lines.feedBack("c", " ", 0);
    EXPECT_EQ(ReadFile(dir / "p.log"), "#2003-04-12 09:00:00#,\"c\",\" \"\r\n");
}

}  // namespace
}  // namespace parlux
