#pragma once
// Runs without a display: the offscreen platform, messages on stderr and the
// feedback lines on stdout.
namespace parlux {

// True when no display is available: no DISPLAY, WAYLAND_DISPLAY or
// QT_QPA_PLATFORM in the environment.
bool NoDisplayAvailable();
// Call before constructing QApplication: selects the offscreen platform when
// no display is available. When XDG_RUNTIME_DIR is unset or not this user's
// private folder, it is pointed at PrivateRuntimeFolder().
void PrepareDisplay();
// Whether the run is headless: the platform is offscreen or minimal, chosen
// by PrepareDisplay or inherited from the headless program that started
// this one.
bool RunningHeadless();

}  // namespace parlux
