#pragma once
// Messages of the list page programs: always on stderr, and with a display
// also in a message box. Rosterbase has no window: its application object is
// made only when a box is to be shown.
#include <string_view>

#include "common/core/Sinks.h"

namespace parlux::rosters {

class ReportSink final : public MessageSink {
public:
    // argc and argv of main, for an application object made on demand.
    ReportSink(int& argc, char** argv) : argc_(argc), argv_(argv) {}
    void critical(std::string_view text) override;

private:
    int& argc_;
    char** argv_;
};

}  // namespace parlux::rosters
