#include "common/core/PingersList.h"

#include <system_error>

#include "common/core/FieldScan.h"
#include "common/core/WholeFile.h"

namespace parlux {

bool FieldReader::atEnd() const { return NoFieldLeft(text_, pos_, true); }

bool FieldReader::next(std::string& field, bool* quoted) { return ScanField(text_, pos_, true, field, quoted); }

std::string_view WithoutByteOrderMark(std::string_view text) {
    constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
    return text.starts_with(kUtf8Mark) ? text.substr(kUtf8Mark.size()) : text;
}

namespace {

// The list without its comment lines (those whose first character that is
// not a blank is "#"), so that a list may explain itself, as the template of
// a new "Me" folder does. Nothing is copied when there is none.
std::string_view WithoutCommentLines(std::string_view content, std::string& kept) {
    bool any = false;
    for (std::size_t at = 0; at < content.size() && !any;) {
        const std::size_t first = content.find_first_not_of(" \t", at);
        any = first != std::string_view::npos && content[first] == '#';
        const std::size_t end = content.find('\n', at);
        at = end == std::string_view::npos ? content.size() : end + 1;
    }
    if (!any) return content;
    for (std::size_t at = 0; at < content.size();) {
        const std::size_t end = content.find('\n', at);
        const std::size_t next = end == std::string_view::npos ? content.size() : end + 1;
        const std::size_t first = content.find_first_not_of(" \t", at);
        if (first == std::string_view::npos || first >= next || content[first] != '#')
            kept.append(content.substr(at, next - at));
        at = next;
    }
    return kept;
}

}  // namespace

PingersList ParsePingersList(const std::string& content) {
    PingersList list;
    std::string uncommented;
    FieldReader reader(WithoutCommentLines(WithoutByteOrderMark(content), uncommented));
    std::string fields[3];
    for (;;) {
        int got = 0;
        while (got < 3 && reader.next(fields[got])) ++got;
        if (got == 3) {
            list.records.push_back(PingerRecord{fields[0], fields[1], fields[2]});
            continue;
        }
        if (got > 0) {
            std::string dropped;
            for (int k = 0; k < got; ++k) {
                if (k > 0) dropped += ',';
                dropped += '"' + fields[k] + '"';
            }
            list.warning = "Pingers.lst ends inside a record: " + dropped + " dropped";
        }
        return list;
    }
}

std::optional<PingersList> ReadPingersList(const std::filesystem::path& path, std::string* failure) {
    std::string content;
    try {
        content = ReadWholeFile(path);
    } catch (const std::filesystem::filesystem_error& e) {
        if (failure) *failure = ReadFailureText(path, e.code());
        return std::nullopt;
    }
    return ParsePingersList(content);
}

bool UsableNick(const std::string& nick) {
    return !nick.empty() && nick != "." && nick != ".." && nick.find('/') == std::string::npos &&
           nick.find('\\') == std::string::npos && nick.find('\0') == std::string::npos;
}

}  // namespace parlux
