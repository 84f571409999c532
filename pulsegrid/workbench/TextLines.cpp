#include "TextLines.h"

#include <cstdio>
#include <fstream>
#include <unistd.h>

namespace parlux {

std::vector<std::string_view> SplitLineViews(const std::string& content) {
    std::vector<std::string_view> lines;
    const std::string_view text(content);
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t cr = text.find('\r', pos);
        if (cr == std::string_view::npos) {
            lines.push_back(text.substr(pos));
            break;
        }
        lines.push_back(text.substr(pos, cr - pos));
        pos = cr + 1;
        if (pos < text.size() && text[pos] == '\n') ++pos;
    }
    return lines;
}

std::vector<std::string> SplitLines(const std::string& content) {
    const auto views = SplitLineViews(content);
    return std::vector<std::string>(views.begin(), views.end());
}

std::optional<std::string> ReadFileText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::string content;
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    in.seekg(0, std::ios::beg);
    if (size > 0) {
        content.resize(static_cast<std::size_t>(size));
        in.read(content.data(), size);
        content.resize(static_cast<std::size_t>(in.gcount()));
    }
    return content;
}

std::optional<std::vector<std::string>> ReadLines(const std::filesystem::path& path) {
    const auto content = ReadFileText(path);
    if (!content) return std::nullopt;
    return SplitLines(*content);
}

bool WriteFileAtomically(const std::filesystem::path& path, const std::string& content) {
    std::string temp = path.string() + ".part-XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) return false;
    ::close(fd);
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out.write(content.data(), static_cast<std::streamsize>(content.size()));
        out.close();
        if (!out) {
            std::remove(temp.c_str());
            return false;
        }
    }
    std::error_code ec;
    std::filesystem::permissions(temp,
                                 std::filesystem::perms::owner_read | std::filesystem::perms::owner_write |
                                     std::filesystem::perms::group_read | std::filesystem::perms::others_read,
                                 ec);
    std::filesystem::rename(temp, path, ec);
    if (ec) {
        std::remove(temp.c_str());
        return false;
    }
    return true;
}

std::string Mid(const std::string& text, int start, int length) {
    if (start < 1) start = 1;
    const std::size_t from = static_cast<std::size_t>(start - 1);
    if (from >= text.size()) return {};
    if (length < 0) return text.substr(from);
    return text.substr(from, static_cast<std::size_t>(length));
}

std::string Left(const std::string& text, int length) {
    if (length <= 0) return {};
    return text.substr(0, static_cast<std::size_t>(length));
}

std::string Right(const std::string& text, int length) {
    if (length <= 0) return {};
    const std::size_t n = static_cast<std::size_t>(length);
    return n >= text.size() ? text : text.substr(text.size() - n);
}

}  // namespace parlux
