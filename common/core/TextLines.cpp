#include "common/core/TextLines.h"

#include "common/core/WholeFile.h"

namespace parlux {

std::vector<std::string_view> SplitLineViews(const std::string& content) {
    std::vector<std::string_view> lines;
    const std::string_view text(content);
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string_view::npos) {
            lines.push_back(text.substr(pos));
            break;
        }
        lines.push_back(text.substr(pos, end - pos));
        pos = end + 1;
        if (text[end] == '\r' && pos < text.size() && text[pos] == '\n') ++pos;
    }
    return lines;
}

std::vector<std::string> SplitLines(const std::string& content) {
    const auto views = SplitLineViews(content);
    return std::vector<std::string>(views.begin(), views.end());
}

std::optional<std::string> ReadFileText(const std::filesystem::path& path, std::string* failure) {
    try {
        return ReadWholeFile(path);
    } catch (const std::filesystem::filesystem_error& e) {
        if (failure) *failure = ReadFailureText(path, e.code());
        return std::nullopt;
    }
}

std::optional<std::vector<std::string>> ReadLines(const std::filesystem::path& path) {
    const auto content = ReadFileText(path);
    if (!content) return std::nullopt;
    return SplitLines(*content);
}

bool WriteFileAtomically(const std::filesystem::path& path, const std::string& content) {
    try {
        ReplaceWholeFile(path, content);
        return true;
    } catch (const std::filesystem::filesystem_error&) {
        return false;
    }
}

std::string_view Left(std::string_view text, std::size_t length) { return text.substr(0, length); }

std::string_view Right(std::string_view text, std::size_t length) {
    return length >= text.size() ? text : text.substr(text.size() - length);
}

std::string_view Mid(std::string_view text, std::size_t start, std::size_t length) {
    return start < 1 || start - 1 >= text.size() ? std::string_view() : text.substr(start - 1, length);
}

}  // namespace parlux
