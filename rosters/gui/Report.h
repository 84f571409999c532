#pragma once
// Messages of the list page programs: always on stderr, and with a display
// also in a message box. Rosterbase has no window: its application object is
// made only when a box is to be shown.
#include <memory>
#include <string_view>

#include "common/core/Sinks.h"

class QApplication;

namespace parlux::rosters {

class ReportSink final : public MessageSink {
public:
    // argc and argv of main, for an application object made on demand. The
    // sink owns that object: made in main, it must also end in main, before
    // the program's static objects (Qt's among them) go.
    ReportSink(int& argc, char** argv);
    ~ReportSink() override;
    void critical(std::string_view text) override;

private:
    int& argc_;
    char** argv_;
    std::unique_ptr<QApplication> application_;
};

}  // namespace parlux::rosters
