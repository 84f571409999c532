#pragma once
// Stand-ins for the suite's programs in a scratch program folder: each one
// writes its name and its arguments to started.log there and ends.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "testsupport/TestSupport.h"

namespace parlux::test {

inline void WriteStubProgram(const std::filesystem::path& folder, const std::string& name) {
    const auto path = folder / name;
    WriteFile(path,
              "#!/bin/sh\nprintf '%s:%s\\n' \"${0##*/}\" \"$*\" >> \"" + (folder / "started.log").string() + "\"\n");
    std::filesystem::permissions(path, std::filesystem::perms::owner_all);
}

// The lines of started.log once there are count of them (the stubs run on
// their own), sorted: programs started together finish in any order. Gives
// up after 20 s with what there is.
inline std::vector<std::string> StartedPrograms(const std::filesystem::path& folder, std::size_t count) {
    QElapsedTimer timer;
    timer.start();
    std::vector<std::string> lines;
    for (;;) {
        lines.clear();
        const std::string log = std::filesystem::exists(folder / "started.log") ? ReadFile(folder / "started.log") : "";
        for (std::size_t pos = 0, end; (end = log.find('\n', pos)) != std::string::npos; pos = end + 1)
            lines.push_back(log.substr(pos, end - pos));
        if (lines.size() >= count || timer.elapsed() > 20000) break;
        QCoreApplication::processEvents();
        QThread::msleep(20);
    }
    std::sort(lines.begin(), lines.end());
    return lines;
}

}  // namespace parlux::test
