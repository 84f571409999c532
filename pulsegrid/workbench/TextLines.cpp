#include "TextLines.h"

#include <cstdio>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace parlux {

std::vector<std::string> SplitLines(const std::string& content) {
    std::vector<std::string> lines;
    std::size_t pos = 0;
    while (pos < content.size()) {
        const std::size_t cr = content.find('\r', pos);
        if (cr == std::string::npos) {
            lines.push_back(content.substr(pos));
            break;
        }
        lines.push_back(content.substr(pos, cr - pos));
        pos = cr + 1;
        if (pos < content.size() && content[pos] == '\n') ++pos;
    }
    return lines;
}

std::optional<std::vector<std::string>> ReadLines(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream buffer;
    buffer << in.rdbuf();
    return SplitLines(buffer.str());
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
