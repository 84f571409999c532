#pragma once
// The scratch files a program is writing (a download on its way, a page
// being replaced), named while they exist so that a signal that ends the
// program takes them along.
#include <sys/types.h>

#include <string>

namespace parlux {

// Names a scratch file that now exists; returns its mark for
// ForgetScratchFile (-1 when too many are named at once: such a file is left
// to the next run's clearing).
int NoteScratchFile(const std::string& path);
// The file is gone or has become the file it was written for.
void ForgetScratchFile(int mark);

// On SIGTERM, SIGINT and SIGHUP: the noted scratch files are removed, then
// the signal ends the program as it would have (its conventional status).
// Cached copies and pages are replaced only by a rename, so they stay whole.
// While the program waits for programs it started (a waiting night), the
// signal is passed on to them instead, and ends this one only once they have
// ended (EndIfSignalled): nothing of the night runs on unwatched.
void RemoveScratchFilesOnSignals();

// A started program that will be waited for, from its start to its end (at
// most 16 at a time).
void NoteWaitedChild(pid_t pid);
void ForgetWaitedChild(pid_t pid);
// Whether a signal came while programs were waited for.
bool SignalPending();
// A signal that came while programs were waited for ends this program now,
// as it would have, once none is left to wait for.
void EndIfSignalled();

}  // namespace parlux
