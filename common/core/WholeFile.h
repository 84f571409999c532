#pragma once
// Whole-file reading and replacing for the core: files are read in one go and
// written in full to a temporary file beside the target, then renamed over it,
// so a reader never sees half a file.
#include <filesystem>
#include <string>
#include <system_error>

namespace parlux {

// The bytes of the file. Throws std::filesystem::filesystem_error when it
// cannot be opened or read, and when it is not a regular file: a FIFO, a
// device or a socket is refused at once, never waited on.
std::string ReadWholeFile(const std::filesystem::path& path);

// The error of a path that names something other than a regular file; its
// message is "not a regular file".
std::error_code NotRegularFileError();

// What a reader tells the user about a file it could not read: the path
// followed by " Not found" when nothing is there, else by " cannot be read: "
// and the reason.
std::string ReadFailureText(const std::filesystem::path& path, const std::error_code& error);

// The permission bits for a file that replaces path: an existing regular
// file's read and write bits (never a link target's, never setuid, setgid,
// sticky or execute); 0644 less the umask for a new file.
unsigned ReplacementMode(const std::filesystem::path& path);

// Replaces (or creates) the file with content, with ReplacementMode's bits,
// through a scratch file of a short name (ScratchPrefix()) beside it.
// Throws std::filesystem::filesystem_error on failure; the target is then
// left as it was.
void ReplaceWholeFile(const std::filesystem::path& path, const std::string& content);

}  // namespace parlux
