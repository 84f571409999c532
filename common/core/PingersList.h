#pragma once
// Pingers.lst: records of three fields (query type, pinger nick, URL), read
// field by field across lines.
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace parlux {

struct PingerRecord {
    std::string type, nick, url;
    bool operator==(const PingerRecord&) const = default;
};

struct PingersList {
    std::vector<PingerRecord> records;
    // Set when the file ended inside a record; that record is dropped.
    std::string warning;
};

// A nick names files in the data folder: it must be a plain file name there
// (not empty, not "." or "..", no path separator).
bool UsableNick(const std::string& nick);

// The text without the UTF-8 byte-order mark that some editors put first.
std::string_view WithoutByteOrderMark(std::string_view text);

// Splits a text into records (a byte-order mark first is skipped) with the field rules of the list.
PingersList ParsePingersList(const std::string& content);
// nullopt when the file cannot be read (missing, not a regular file,
// unreadable); failure, when given, then says so for a message box.
std::optional<PingersList> ReadPingersList(const std::filesystem::path& path, std::string* failure = nullptr);

// Field reader shared with the dump files: a double-quoted text (quotes removed,
// commas kept) or the characters up to the next comma or line end, leading
// blanks skipped. Returns false at the end of the input.
class FieldReader {
public:
    // The reader keeps a view of the content: the text must outlive it, so a
    // temporary string is refused at compile time.
    explicit FieldReader(std::string_view content) : text_(content) {}
    explicit FieldReader(const char* content) : text_(content) {}
    explicit FieldReader(std::string&&) = delete;
    explicit FieldReader(const std::string&&) = delete;
    bool atEnd() const;
    // quoted tells whether the field was quoted (an unquoted empty field is a
    // never-written cell in a dump).
    bool next(std::string& field, bool* quoted = nullptr);

private:
    std::string_view text_;
    std::size_t pos_ = 0;
};

}  // namespace parlux
