#pragma once
// The in-process key lister: the primary public keys of a PGP key file (all
// armored blocks, or a binary keyring), one line per key in the listing form
// of the old PGP 2.x key listing:
//   "pub" + 2 blanks + key size in bits right-aligned in 4 + "/" + key ID (8
//   upper-case hex digits) + 1 blank + creation date "YYYY/MM/DD" (UTC) +
//   2 blanks + the key's first user ID.
// No command interpreter, no scratch files. Plain functions, no Qt.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace parlux {

// The key lines of the file's bytes, in file order, each key once; subkeys and
// signatures give no line. When the bytes cannot be read as keys, wholly or
// from some point on, *error (when given) says why and the lines are those of
// the keys read before that point; otherwise it is left empty.
std::vector<std::string> ListPgpKeys(std::string_view bytes, std::string* error);

// One key line. keyId: the key ID in hex, of which the last 8 digits are shown
// in upper case; created: seconds since 1970-01-01 UTC. Control characters of
// the user ID are shown as "?"; no user ID: the line ends after the date and
// its two blanks.
std::string PgpKeyLine(std::uint32_t bits, std::string_view keyId, std::uint32_t created, std::string_view userId);

}  // namespace parlux
