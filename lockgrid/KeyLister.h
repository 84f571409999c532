#pragma once
// The in-process key lister: the primary public keys of a PGP key file (all
// armored blocks, or a binary keyring), one line per key in the listing form
// of the old PGP 2.x key listing:
//   "pub" + 2 blanks + key size in bits right-aligned in 4 + "/" + key ID (8
//   upper-case hex digits) + 1 blank + creation date "YYYY/MM/DD" (UTC) +
//   2 blanks + the key's first user ID.
// No command interpreter, no scratch files. Plain functions, no Qt.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace parlux {

// The key lines of the file's bytes, in file order, each key once; subkeys and
// signatures give no line. When the bytes cannot be read as keys, wholly or
// from some point on, *error (when given) says why and the lines are those of
// the keys read before that point; otherwise it is left empty.
//
// keyringAlgorithm: librnp's name of the algorithm the keyring is meant for
// ("RSA", "DSA"); a key of another one gets that name in brackets after its
// user ID ("" marks none). A revoked or expired key gets " [revoked]" or
// " [expired]" there. notes, when given, receives a text for every key that
// could not be read while the keys after it could (a key of an unknown
// algorithm, say).
std::vector<std::string> ListPgpKeys(std::string_view bytes, std::string* error, std::string_view keyringAlgorithm = {},
                                     std::vector<std::string>* notes = nullptr);

// Keys imported into one librnp handle before a fresh one is taken: the
// library's cost per key grows with the keys it holds, so a hostile file of
// many tiny keys would cost time and memory growing with their square.
inline constexpr std::size_t kKeysPerHandle = 1000;

// One key line. keyId: the key ID in hex, of which the last 8 digits are shown
// in upper case; created: seconds since 1970-01-01 UTC. Control characters of
// the user ID are shown as "?"; no user ID: the line ends after the date and
// its two blanks.
std::string PgpKeyLine(std::uint32_t bits, std::string_view keyId, std::uint32_t created, std::string_view userId);

}  // namespace parlux
