#pragma once
// The field scanner behind FieldReader (Pingers.lst) and the dump reader.
#include <cstddef>
#include <string>
#include <string_view>

namespace parlux {

// Reads the field that starts at pos and moves pos past its comma or line end.
// A field starts a line when pos is 0 or follows a line end; with
// skipEmptyLines such a field first skips lines that hold nothing but blanks
// (a list's spacing), without it an empty line is one empty field (a dump row
// of one never-written cell). Returns false when no field is left: at the end
// of the input, unless a comma has just opened a last, empty field (pos then
// stands one past the end once that field is read).
bool ScanField(std::string_view text, std::size_t& pos, bool skipEmptyLines, std::string& field, bool* quoted);

// True when ScanField would return false from pos.
bool NoFieldLeft(std::string_view text, std::size_t pos, bool skipEmptyLines);

}  // namespace parlux
