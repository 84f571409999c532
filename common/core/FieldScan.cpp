#include "common/core/FieldScan.h"

namespace parlux {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsLineEnd(char c) { return c == '\r' || c == '\n'; }

// Moves pos past the line end at pos (CR LF, CR or LF).
void SkipLineEnd(std::string_view text, std::size_t& pos) {
    if (text[pos] == '\r' && pos + 1 < text.size() && text[pos + 1] == '\n')
        pos += 2;
    else
        pos += 1;
}

// Moves pos past the next comma or line end (or to the end of the text).
void SkipPastTerminator(std::string_view text, std::size_t& pos) {
    while (pos < text.size()) {
        if (text[pos] == ',') {
            ++pos;
            return;
        }
        if (IsLineEnd(text[pos])) {
            SkipLineEnd(text, pos);
            return;
        }
        ++pos;
    }
}

// Skips the leading blanks of a field, and at the start of a line also the
// blank lines when asked to.
void SkipToField(std::string_view text, std::size_t& pos, bool skipEmptyLines) {
    const bool lineStart = pos == 0 || IsLineEnd(text[pos - 1]);  // pos <= size here
    for (;;) {
        while (pos < text.size() && IsBlank(text[pos])) ++pos;
        if (lineStart && skipEmptyLines && pos < text.size() && IsLineEnd(text[pos])) {
            SkipLineEnd(text, pos);
            continue;
        }
        return;
    }
}

}  // namespace

bool NoFieldLeft(std::string_view text, std::size_t pos, bool skipEmptyLines) {
    if (pos > text.size()) return true;
    const bool afterComma = pos > 0 && text[pos - 1] == ',';
    SkipToField(text, pos, skipEmptyLines);
    return pos >= text.size() && !afterComma;
}

bool ScanField(std::string_view text, std::size_t& pos, bool skipEmptyLines, std::string& field, bool* quoted) {
    field.clear();
    if (quoted) *quoted = false;
    if (pos > text.size()) return false;  // the last, empty field has been read
    const bool afterComma = pos > 0 && text[pos - 1] == ',';
    SkipToField(text, pos, skipEmptyLines);
    if (pos >= text.size()) {
        if (!afterComma) return false;
        pos = text.size() + 1;  // a comma at the very end opens one last, empty field
        return true;
    }

    if (text[pos] == '"') {
        if (quoted) *quoted = true;
        const std::size_t close = text.find('"', pos + 1);
        if (close == std::string_view::npos) {
            field.assign(text.substr(pos + 1));  // an unclosed quote runs to the end
            pos = text.size() + 1;
            return true;
        }
        field.assign(text.substr(pos + 1, close - pos - 1));
        pos = close + 1;
        SkipPastTerminator(text, pos);  // anything up to the comma is ignored
        return true;
    }

    const std::size_t begin = pos;
    while (pos < text.size() && text[pos] != ',' && !IsLineEnd(text[pos])) ++pos;
    std::size_t end = pos;
    while (end > begin && IsBlank(text[end - 1])) --end;
    field.assign(text.substr(begin, end - begin));
    if (pos < text.size()) {
        if (text[pos] == ',')
            ++pos;
        else
            SkipLineEnd(text, pos);
    }
    return true;
}

}  // namespace parlux
