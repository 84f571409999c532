#pragma once
// The small interfaces through which the pipelines reach the outside world, so
// that they run the same in a window, offscreen, from cron or in a test.
#include <string>
#include <string_view>

#include "common/core/DateTime.h"

namespace parlux {

// Message boxes: a window shows a modal box with the critical icon and the
// application title; a headless run writes the text to stderr.
class MessageSink {
public:
    virtual ~MessageSink() = default;
    virtual void critical(std::string_view text) = 0;
    // Whether a box reaches someone at a screen (false: the text goes to stderr).
    virtual bool interactive() const { return true; }
    // A question answered Yes or No, No being the answer Enter gives; No
    // where nobody is there to answer.
    virtual bool ask(std::string_view /*question*/) { return false; }
};

// The clock, for log records and page time stamps.
class Clock {
public:
    virtual ~Clock() = default;
    virtual DateTime localNow() const = 0;
    virtual DateTime utcNow() const = 0;
};

// The machine's own clock.
const Clock& SystemClock();

// What FeedBack needs of the window: show the two lines, repaint at once, let
// pending events run, and (headless) echo the record. A null display is fine.
class FeedbackDisplay {
public:
    virtual ~FeedbackDisplay() = default;
    virtual void showLines(const std::string& top, const std::string& detail) = 0;
    virtual void pause(int milliseconds) = 0;
    virtual void processEvents() = 0;
    // Called with the record just appended to the run log (without CR LF).
    virtual void logged(const std::string& record) { (void)record; }
};

// The two feedback lines and the run log (FeedBack).
class FeedbackSink {
public:
    virtual ~FeedbackSink() = default;
    // Empty texts leave a line as it was; a single blank blanks it.
    virtual void feedBack(std::string_view top, std::string_view detail, int pauseMs) = 0;
    // An action has written its last line: what it held open may close.
    virtual void endOfStep() {}
    // While a step waits: a detail line shown at once in place of the
    // current one, but neither logged nor echoed; the next feedback call
    // puts the current lines back.
    virtual void progress(std::string_view detail) { (void)detail; }
    virtual const std::string& top() const = 0;
    virtual const std::string& detail() const = 0;
};

}  // namespace parlux
