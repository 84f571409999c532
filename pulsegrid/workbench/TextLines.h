#pragma once
// Reading a downloaded page line by line: a line ends at CR LF or at a lone CR;
// a lone LF does not end a line (the pages were repaired to CR LF before).
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace parlux {

std::vector<std::string> SplitLines(const std::string& content);
// The same lines as views into content.
std::vector<std::string_view> SplitLineViews(const std::string& content);
// nullopt when the file cannot be opened.
std::optional<std::vector<std::string>> ReadLines(const std::filesystem::path& path);
std::optional<std::string> ReadFileText(const std::filesystem::path& path);

// Writes content to path through a temporary file renamed over it, so that a
// failed write leaves the old file whole. False when it could not be written.
bool WriteFileAtomically(const std::filesystem::path& path, const std::string& content);

// Text(1-based start, length) with the usual bounds: "" beyond the end.
std::string Mid(const std::string& text, int start, int length = -1);
std::string Left(const std::string& text, int length);
std::string Right(const std::string& text, int length);

}  // namespace parlux
