#pragma once
// Copying the hand-kept files from one folder to another, and deleting work files.
#include <filesystem>
#include <string>
#include <vector>

#include "common/core/Sinks.h"

namespace parlux {

// Copies each named file from one folder to the other, in order, replacing
// the target whole (a reader never sees half a file). A missing source gives
// "<source> Not found", a failed copy "<source> cannot be copied to <target>:
// <reason>"; either way the other files are still copied, and the problems
// are told in one message, a line each. A target that differs from its
// source is first kept beside it as "<target>.before-YYYYMMDD-HHMMSS" (local
// time), and the message names the copy kept; one that cannot be kept is not
// replaced. Returns the number of files copied.
int CopyFilesOver(const std::filesystem::path& from, const std::filesystem::path& to,
                  const std::vector<std::string>& names, MessageSink& messages);

// Deletes the file if there is one; never reports anything.
void DeleteIfExists(const std::filesystem::path& path);

}  // namespace parlux
