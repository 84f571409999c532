#pragma once
// The scratch files a program is writing (a download on its way, a page
// being replaced), named while they exist so that a signal that ends the
// program takes them along.
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
void RemoveScratchFilesOnSignals();

}  // namespace parlux
