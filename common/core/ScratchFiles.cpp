#include "common/core/ScratchFiles.h"

#include <unistd.h>

#include <array>
#include <atomic>
#include <csignal>
#include <cstring>

namespace parlux {

namespace {

// A signal handler may only read what it finds: fixed slots, no allocation.
// At most 16 downloads at a time and a page being replaced need far fewer.
constexpr std::size_t kSlots = 64;
constexpr std::size_t kLongestPath = 4096;

struct Slot {
    std::atomic<bool> taken{false};
    std::atomic<bool> named{false};  // path holds a file that exists
    std::array<char, kLongestPath> path{};
};

std::array<Slot, kSlots>& Slots() {
    static std::array<Slot, kSlots> slots;
    return slots;
}

// The programs being waited for (a waiting night's children), and a signal
// that came meanwhile: it is theirs first, and ends this program once they
// have ended.
constexpr std::size_t kChildren = 16;
std::array<std::atomic<pid_t>, kChildren> gChildren{};
std::atomic<int> gPendingSignal{0};

void RemoveScratchAndRaise(int signal) {
    for (Slot& slot : Slots())
        if (slot.named.load()) ::unlink(slot.path.data());
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

extern "C" void RemoveScratchAndEnd(int signal) {
    bool passedOn = false;
    for (auto& child : gChildren) {
        const pid_t pid = child.load();
        if (pid <= 0) continue;
        ::kill(pid, signal);
        passedOn = true;
    }
    if (!passedOn) return RemoveScratchAndRaise(signal);
    gPendingSignal.store(signal);
}

}  // namespace

int NoteScratchFile(const std::string& path) {
    if (path.size() >= kLongestPath) return -1;
    auto& slots = Slots();
    for (std::size_t i = 0; i < kSlots; ++i) {
        bool expected = false;
        if (!slots[i].taken.compare_exchange_strong(expected, true)) continue;
        std::memcpy(slots[i].path.data(), path.c_str(), path.size() + 1);
        slots[i].named.store(true);
        return static_cast<int>(i);
    }
    return -1;
}

void ForgetScratchFile(int mark) {
    if (mark < 0 || static_cast<std::size_t>(mark) >= kSlots) return;
    Slot& slot = Slots()[static_cast<std::size_t>(mark)];
    slot.named.store(false);
    slot.taken.store(false);
}

void NoteWaitedChild(pid_t pid) {
    for (auto& child : gChildren) {
        pid_t expected = 0;
        if (child.compare_exchange_strong(expected, pid)) return;
    }
}

void ForgetWaitedChild(pid_t pid) {
    for (auto& child : gChildren) {
        pid_t expected = pid;
        child.compare_exchange_strong(expected, 0);
    }
}

void EndIfSignalled() {
    const int signal = gPendingSignal.load();
    if (signal == 0) return;
    for (const auto& child : gChildren)
        if (child.load() > 0) return;
    RemoveScratchAndRaise(signal);
}

bool SignalPending() { return gPendingSignal.load() != 0; }

void RemoveScratchFilesOnSignals() {
    Slots();  // made now, not first in a handler
    struct sigaction action {};
    action.sa_handler = RemoveScratchAndEnd;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        sigaddset(&action.sa_mask, signal);  // one handler at a time
    }
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) ::sigaction(signal, &action, nullptr);
}

}  // namespace parlux
