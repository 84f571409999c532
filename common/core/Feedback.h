#pragma once
// FeedBack: the two feedback lines of a window and the run log record that
// every call appends.
#include <string>
#include <string_view>

#include "common/core/RunLog.h"
#include "common/core/Sinks.h"

namespace parlux {

// FeedBack step by step: set the non-empty lines, pause, repaint, let events
// run, append the log record from the lines as they now stand, events again.
class FeedbackLines final : public FeedbackSink {
public:
    FeedbackLines(RunLog log, const Clock& clock, FeedbackDisplay* display = nullptr)
        : log_(std::move(log)), clock_(&clock), display_(display) {}
    void setDisplay(FeedbackDisplay* display) { display_ = display; }
    void feedBack(std::string_view top, std::string_view detail, int pauseMs) override;
    void endOfStep() override { log_.close(); }
    void progress(std::string_view detail) override;
    const std::string& top() const override { return top_; }
    const std::string& detail() const override { return detail_; }
    const RunLog& log() const { return log_; }

private:
    RunLog log_;
    const Clock* clock_;
    FeedbackDisplay* display_;
    std::string top_, detail_;
};

// FeedBack (window, first line, second line, pause): empty texts leave a line
// as it was, a single blank blanks it; the record goes to the run log.
inline void FeedBack(FeedbackSink& window, std::string_view top, std::string_view detail, int pauseMs) {
    window.feedBack(top, detail, pauseMs);
}

}  // namespace parlux
