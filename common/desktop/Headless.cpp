#include "common/desktop/Headless.h"

#include <QByteArray>
#include <QtGlobal>
#include <cstdlib>
#include <string>

#include "common/desktop/SystemFolders.h"

namespace parlux {

namespace {

bool Set(const char* name) {
    const char* value = std::getenv(name);
    return value && *value;
}

}  // namespace

bool NoDisplayAvailable() { return !Set("DISPLAY") && !Set("WAYLAND_DISPLAY") && !Set("QT_QPA_PLATFORM"); }

void PrepareDisplay() {
    // Cron and su sessions have no runtime folder (or another user's): name
    // this user's private one, so that Qt neither warns nor falls back to a
    // folder it would have to trust.
    if (!XdgRuntimeFolderIsPrivate(nullptr)) {
        const std::string folder = PrivateRuntimeFolder();
        if (!folder.empty()) ::setenv("XDG_RUNTIME_DIR", folder.c_str(), 1);
    }
    if (NoDisplayAvailable()) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
}

bool RunningHeadless() {
    // A program started by a headless one inherits its platform: it has no
    // screen either.
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    return platform == "offscreen" || platform == "minimal";
}

}  // namespace parlux
