#pragma once
// Reading a downloaded page line by line: a line ends at CR LF, at a lone CR
// or at a lone LF, so that a page mixing CR LF and LF lines (server-side
// includes) keeps all its lines whether or not the repair step ran.
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace parlux {

std::vector<std::string> SplitLines(const std::string& content);
// The same lines as views into content.
std::vector<std::string_view> SplitLineViews(const std::string& content);
// nullopt when the file cannot be read (missing, not a regular file,
// unreadable); failure, when given, then says so for a message box.
std::optional<std::vector<std::string>> ReadLines(const std::filesystem::path& path);
std::optional<std::string> ReadFileText(const std::filesystem::path& path, std::string* failure = nullptr);

// Writes content to path through a temporary file renamed over it, so that a
// failed write leaves the old file whole. False when it could not be written.
bool WriteFileAtomically(const std::filesystem::path& path, const std::string& content);

// Pieces of a text by position, as views: Mid from a 1-based start; each
// gives "" (or less) beyond the end of the text.
std::string_view Left(std::string_view text, std::size_t length);
std::string_view Right(std::string_view text, std::size_t length);
std::string_view Mid(std::string_view text, std::size_t start, std::size_t length);

}  // namespace parlux
