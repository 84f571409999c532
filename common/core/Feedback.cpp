#include "common/core/Feedback.h"

namespace parlux {

void FeedbackLines::feedBack(std::string_view top, std::string_view detail, int pauseMs) {
    if (!top.empty()) top_.assign(top);
    if (!detail.empty()) detail_.assign(detail);
    if (display_) {
        display_->showLines(top_, detail_);
        if (pauseMs != 0) display_->pause(pauseMs);
        display_->processEvents();
    }
    // Events may have changed the lines: the record takes them as they stand now.
    const std::string record = log_.append(clock_->localNow(), top_, detail_);
    if (display_) {
        display_->logged(record);
        display_->processEvents();
    }
}

void FeedbackLines::progress(std::string_view detail) {
    if (!display_) return;
    display_->showLines(top_, std::string(detail));
    display_->processEvents();
}

}  // namespace parlux
