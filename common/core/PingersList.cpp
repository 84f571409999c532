#include "common/core/PingersList.h"

#include <system_error>

#include "common/core/FieldScan.h"
#include "common/core/WholeFile.h"

namespace parlux {

bool FieldReader::atEnd() const { return detail::NoFieldLeft(text_, pos_, true); }

bool FieldReader::next(std::string& field, bool* quoted) { return detail::ScanField(text_, pos_, true, field, quoted); }

std::string_view WithoutByteOrderMark(std::string_view text) {
    constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
    return text.starts_with(kUtf8Mark) ? text.substr(kUtf8Mark.size()) : text;
}

PingersList ParsePingersList(const std::string& content) {
    PingersList list;
    FieldReader reader(WithoutByteOrderMark(content));
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
        content = detail::ReadWholeFile(path);
    } catch (const std::filesystem::filesystem_error& e) {
        if (failure) *failure = detail::ReadFailureText(path, e.code());
        return std::nullopt;
    }
    return ParsePingersList(content);
}

bool UsableNick(const std::string& nick) {
    return !nick.empty() && nick != "." && nick != ".." && nick.find('/') == std::string::npos &&
           nick.find('\\') == std::string::npos && nick.find('\0') == std::string::npos;
}

}  // namespace parlux
