#include "lockgrid/KeyLister.h"

#include <rnp/rnp.h>
#include <rnp/rnp_err.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <iterator>
#include <optional>
#include <unordered_set>

#include "common/core/TextFields.h"

namespace parlux {

namespace {

// Owners of librnp's handles and buffers.
struct Ffi {
    rnp_ffi_t handle = nullptr;
    ~Ffi() {
        if (handle) rnp_ffi_destroy(handle);
    }
};
struct Input {
    rnp_input_t handle = nullptr;
    ~Input() {
        if (handle) rnp_input_destroy(handle);
    }
};
struct Key {
    rnp_key_handle_t handle = nullptr;
    ~Key() {
        if (handle) rnp_key_handle_destroy(handle);
    }
};
struct Text {
    char* text = nullptr;
    ~Text() { rnp_buffer_destroy(text); }
    std::string_view view() const { return text ? std::string_view(text) : std::string_view(); }
};

std::string Failure(const char* what, rnp_result_t result) {
    return std::string(what) + " (" + rnp_result_to_string(result) + ")";
}

// The values of every "name":"value" pair of a JSON text, in order. The
// names and values wanted here (fingerprints) hold no escapes.
std::vector<std::string_view> JsonStrings(std::string_view json, std::string_view name) {
    std::vector<std::string_view> values;
    const std::string pattern = Quoted(name) + ":\"";
    for (std::size_t at = json.find(pattern); at != std::string_view::npos; at = json.find(pattern, at)) {
        at += pattern.size();
        const std::size_t end = json.find('"', at);
        if (end == std::string_view::npos) break;
        values.push_back(json.substr(at, end - at));
        at = end;
    }
    return values;
}

// The first "name":number of a JSON text; 0 when there is none.
std::uint32_t JsonNumber(std::string_view json, std::string_view name) {
    const std::string pattern = Quoted(name) + ":";
    std::size_t at = json.find(pattern);
    if (at == std::string_view::npos) return 0;
    at += pattern.size();
    while (at < json.size() && json[at] == ' ') ++at;
    std::uint32_t value = 0;
    std::from_chars(json.data() + at, json.data() + json.size(), value);
    return value;
}

// The size of the key as stored: the bit count of the RSA modulus or of the
// DSA / ElGamal prime, read from the key's first packet (librnp's own size
// is rounded up to whole bytes' worth for some keys).
std::uint32_t StoredBits(rnp_key_handle_t key, std::string_view alg) {
    const char* field = alg == "RSA" ? "n.bits" : (alg == "DSA" || alg == "ELGAMAL") ? "p.bits" : nullptr;
    if (field) {
        Text packets;
        if (rnp_key_packets_to_json(key, false, 0, &packets.text) == RNP_SUCCESS) {
            // The key packet comes first, before any user ID or signature.
            const std::uint32_t bits = JsonNumber(packets.view(), field);
            if (bits) return bits;
        }
    }
    std::uint32_t bits = 0;
    rnp_key_get_bits(key, &bits);
    return bits;
}

// The key's line, marked when the key is revoked or expired, or of another
// algorithm than the keyring's.
std::string KeyLineOf(rnp_key_handle_t key, std::string_view keyringAlgorithm) {
    Text algorithm;
    rnp_key_get_alg(key, &algorithm.text);
    const std::string_view alg = algorithm.view();
    Text keyId;
    rnp_key_get_keyid(key, &keyId.text);
    std::uint32_t created = 0;
    rnp_key_get_creation(key, &created);
    // The first user ID as the file has it: the "primary" one needs a valid
    // self-signature, which old keys' hashes do not give.
    Text userId;
    std::size_t userIds = 0;
    if (rnp_key_get_uid_count(key, &userIds) == RNP_SUCCESS && userIds > 0) rnp_key_get_uid_at(key, 0, &userId.text);
    std::string line = PgpKeyLine(StoredBits(key, alg), keyId.view(), created, userId.view());
    bool revoked = false, expired = false;
    if (rnp_key_is_revoked(key, &revoked) != RNP_SUCCESS) revoked = false;
    if (!revoked && rnp_key_is_expired(key, &expired) != RNP_SUCCESS) expired = false;
    if (revoked)
        line += " [revoked]";
    else if (expired)
        line += " [expired]";
    if (!keyringAlgorithm.empty() && alg != keyringAlgorithm) {
        line += " [";
        for (const char c : alg) line += std::isprint(static_cast<unsigned char>(c)) ? c : '?';
        line += ']';
    }
    return line;
}

constexpr std::uint32_t kImportFlags = RNP_LOAD_SAVE_PUBLIC_KEYS | RNP_LOAD_SAVE_SINGLE | RNP_LOAD_SAVE_PERMISSIVE;

// A librnp handle that is replaced by a fresh one every kKeysPerHandle
// imports, and what has been listed through all of them.
class Reader {
public:
    explicit Reader(std::string_view keyringAlgorithm) : keyringAlgorithm_(keyringAlgorithm) {}

    rnp_result_t start() { return renew(); }

    // Imports the next key of input and lists it unless it was listed
    // before; primaries counts the primary keys the import held.
    rnp_result_t importNext(rnp_input_t input, int& primaries) {
        primaries = 0;
        if (imports_ >= kKeysPerHandle) {
            if (const rnp_result_t r = renew(); r != RNP_SUCCESS) return r;
        }
        Text imported;
        const rnp_result_t r = rnp_import_keys(ffi_.handle, input, kImportFlags, &imported.text);
        if (r != RNP_SUCCESS) return r;
        ++imports_;
        for (std::string_view fingerprint : JsonStrings(imported.view(), "fingerprint")) {
            Key key;
            const std::string fp(fingerprint);
            if (rnp_locate_key(ffi_.handle, "fingerprint", fp.c_str(), &key.handle) != RNP_SUCCESS || !key.handle)
                continue;
            bool primary = false;
            if (rnp_key_is_primary(key.handle, &primary) != RNP_SUCCESS || !primary) continue;
            ++primaries;
            if (!listed_.insert(fp).second) continue;  // the same key again
            lines_.push_back(KeyLineOf(key.handle, keyringAlgorithm_));
        }
        return r;
    }

    std::vector<std::string>& lines() { return lines_; }

private:
    rnp_result_t renew() {
        if (ffi_.handle) rnp_ffi_destroy(ffi_.handle);
        ffi_.handle = nullptr;
        imports_ = 0;
        if (const rnp_result_t r = rnp_ffi_create(&ffi_.handle, "GPG", "GPG"); r != RNP_SUCCESS) return r;
        // Old keys are certified with MD5 or SHA-1. Listing does not rest on
        // the signatures; taking these hashes as usual keeps the library from
        // reporting each such signature on the standard error.
        for (const char* hash : {"MD5", "SHA1"})
            rnp_add_security_rule(ffi_.handle, RNP_FEATURE_HASH_ALG, hash, RNP_SECURITY_OVERRIDE, 0,
                                  RNP_SECURITY_DEFAULT);
        return RNP_SUCCESS;
    }

    std::string_view keyringAlgorithm_;
    Ffi ffi_;
    std::size_t imports_ = 0;
    std::unordered_set<std::string> listed_;
    std::vector<std::string> lines_;
};

// ---- binary keyrings, packet by packet

struct PacketAt {
    int tag = -1;
    std::size_t bodyStart = 0, end = 0;  // end: just past the packet, at most the file's end
    bool cut = false;                    // the file ends inside it
};

enum class LengthRead { Whole, Cut, ToTheEnd };

// The header and body lengths of the packet starting at `at`, new format.
LengthRead NewFormatLength(std::string_view bytes, std::size_t at, std::size_t& header, std::size_t& length) {
    const auto byte = [&](std::size_t i) { return static_cast<std::size_t>(static_cast<unsigned char>(bytes[i])); };
    const std::size_t left = bytes.size() - at;
    if (left < 2) return LengthRead::Cut;
    const std::size_t first = byte(at + 1);
    if (first < 192) {
        header = 2, length = first;
    } else if (first < 224) {
        if (left < 3) return LengthRead::Cut;
        header = 3, length = ((first - 192) << 8) + byte(at + 2) + 192;
    } else if (first == 255) {
        if (left < 6) return LengthRead::Cut;
        header = 6, length = (byte(at + 2) << 24) | (byte(at + 3) << 16) | (byte(at + 4) << 8) | byte(at + 5);
    } else {
        header = 2;
        return LengthRead::ToTheEnd;  // partial lengths: no key packet uses them
    }
    return LengthRead::Whole;
}

// The same for the old format (what PGP 2.x and GnuPG 1.x keyrings hold).
LengthRead OldFormatLength(std::string_view bytes, std::size_t at, std::size_t& header, std::size_t& length) {
    const auto lead = static_cast<unsigned char>(bytes[at]);
    header = 1;
    if ((lead & 3) == 3) return LengthRead::ToTheEnd;
    const std::size_t count = std::size_t{1} << (lead & 3);
    if (bytes.size() - at < 1 + count) return LengthRead::Cut;
    header = 1 + count;
    for (std::size_t k = 1; k <= count; ++k) length = (length << 8) | static_cast<unsigned char>(bytes[at + k]);
    return LengthRead::Whole;
}

// The packet starting at `at`; nullopt when no packet starts there.
std::optional<PacketAt> PacketStarting(std::string_view bytes, std::size_t at) {
    if (at >= bytes.size()) return std::nullopt;
    const auto lead = static_cast<unsigned char>(bytes[at]);
    if ((lead & 0x80) == 0) return std::nullopt;
    PacketAt packet;
    const bool newFormat = (lead & 0x40) != 0;
    packet.tag = newFormat ? static_cast<int>(lead & 0x3f) : static_cast<int>((lead >> 2) & 0xf);
    std::size_t header = 0, length = 0;
    const LengthRead read =
        newFormat ? NewFormatLength(bytes, at, header, length) : OldFormatLength(bytes, at, header, length);
    if (read == LengthRead::Cut) {
        packet.cut = true;
        packet.bodyStart = packet.end = bytes.size();
        return packet;
    }
    packet.bodyStart = at + header;
    if (read == LengthRead::ToTheEnd) {
        packet.end = bytes.size();
        return packet;
    }
    packet.cut = length > bytes.size() - packet.bodyStart;
    packet.end = packet.cut ? bytes.size() : packet.bodyStart + length;
    return packet;
}

bool IsKeyPacket(int tag) { return tag == 6 || tag == 5; }

// A binary keyring cut into its keys, each from its key packet up to the
// next key packet; nullopt when the bytes do not start with a key packet
// (armored or other text).
struct BinaryKeys {
    std::vector<std::string_view> keys;
    bool cut = false;  // the file ends inside a packet of the last key
};
std::optional<BinaryKeys> SplitBinaryKeys(std::string_view bytes) {
    const auto first = PacketStarting(bytes, 0);
    if (!first || !IsKeyPacket(first->tag)) return std::nullopt;
    BinaryKeys split;
    std::size_t keyStart = 0;
    std::size_t at = 0;
    while (at < bytes.size()) {
        const auto packet = PacketStarting(bytes, at);
        if (!packet) {
            split.cut = true;  // no packet where one must start: the rest cannot be read
            break;
        }
        if (IsKeyPacket(packet->tag) && at > keyStart) {
            split.keys.push_back(bytes.substr(keyStart, at - keyStart));
            keyStart = at;
        }
        if (packet->cut) split.cut = true;
        at = packet->end;
    }
    split.keys.push_back(bytes.substr(keyStart, at - keyStart));
    return split;
}

// Why the key starting at the front of piece gave no line.
std::string WhyNotRead(std::string_view piece, rnp_result_t result) {
    const auto packet = PacketStarting(piece, 0);
    if (packet && packet->tag == 5) return "a secret key";
    if (packet && packet->end > packet->bodyStart) {
        const std::string_view body = piece.substr(packet->bodyStart, packet->end - packet->bodyStart);
        const unsigned version = static_cast<unsigned char>(body[0]);
        if (version < 2 || version > 4) return "key version " + std::to_string(version);
        const std::size_t at = version == 4 ? 5 : 7;
        if (body.size() > at) {
            static constexpr unsigned kKnown[] = {1, 2, 3, 16, 17, 18, 19, 20, 22};
            const unsigned algorithm = static_cast<unsigned char>(body[at]);
            if (std::find(std::begin(kKnown), std::end(kKnown), algorithm) == std::end(kKnown))
                return "unknown algorithm " + std::to_string(algorithm);
        }
    }
    return result == RNP_SUCCESS ? std::string("no public key in it") : rnp_result_to_string(result);
}

}  // namespace

std::string PgpKeyLine(std::uint32_t bits, std::string_view keyId, std::uint32_t created, std::string_view userId) {
    using namespace std::chrono;
    const year_month_day date{floor<days>(sys_seconds{seconds{created}})};
    // The key ID stays at characters 11 to 18, where the comparer takes it: a
    // five-digit size takes one of the two blanks.
    char head[64];
    std::snprintf(head, sizeof head, bits >= 10000 ? "pub %5u/" : "pub  %4u/", bits);
    std::string line = head;
    for (char c : keyId.substr(keyId.size() > 8 ? keyId.size() - 8 : 0))
        line += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    std::snprintf(head, sizeof head, " %04d/%02u/%02u  ", static_cast<int>(date.year()),
                  static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()));
    line += head;
    for (char c : userId) {
        const auto u = static_cast<unsigned char>(c);
        line += (u < 0x20 || u == 0x7f) ? '?' : c;
    }
    return line;
}

namespace {

// A binary ring key by key, each from its own packets: a key that cannot be
// read is named, and the keys after it are still listed.
void ListKeyByKey(Reader& reader, const BinaryKeys& binary, std::vector<std::string>* notes) {
    for (std::size_t k = 0; k < binary.keys.size(); ++k) {
        const std::string_view piece = binary.keys[k];
        Input input;
        rnp_result_t r = rnp_input_from_memory(&input.handle, reinterpret_cast<const std::uint8_t*>(piece.data()),
                                               piece.size(), false);
        int primaries = 0;
        if (r == RNP_SUCCESS) r = reader.importNext(input.handle, primaries);
        if (r == RNP_SUCCESS && primaries > 0) continue;
        if (binary.cut && k + 1 == binary.keys.size()) return;  // the caller says where the file stops
        if (notes)
            notes->push_back("key " + std::to_string(k + 1) + " of the file cannot be read (" + WhyNotRead(piece, r) +
                             "): not listed");
    }
}

// Any other file through librnp's own reader, one key (with its subkeys) per
// import so that the keys come in file order; the first failure, or success.
rnp_result_t ListStream(Reader& reader, std::string_view bytes) {
    Input input;
    if (const rnp_result_t r = rnp_input_from_memory(&input.handle, reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                                     bytes.size(), false);
        r != RNP_SUCCESS)
        return r;
    for (std::size_t round = 0; round <= bytes.size(); ++round) {
        int primaries = 0;
        const rnp_result_t r = reader.importNext(input.handle, primaries);
        if (r == RNP_ERROR_EOF) break;
        if (r != RNP_SUCCESS) return r;
    }
    return RNP_SUCCESS;
}

}  // namespace

std::vector<std::string> ListPgpKeys(std::string_view bytes, std::string* error, std::string_view keyringAlgorithm,
                                     std::vector<std::string>* notes) {
    if (error) error->clear();
    Reader reader(keyringAlgorithm);
    auto fail = [&](std::string text) {
        if (error) *error = std::move(text);
        return std::move(reader.lines());
    };
    auto cannotReadAfter = [&](rnp_result_t r) {
        const auto& lines = reader.lines();
        const std::string where = lines.empty() ? "no key could be read"
                                                : "the file cannot be read after key " + std::to_string(lines.size());
        return r == RNP_SUCCESS ? where : Failure(where.c_str(), r);
    };
    if (bytes.empty()) return fail("the file is empty");
    if (rnp_result_t r = reader.start(); r != RNP_SUCCESS) return fail(Failure("the key reader cannot start", r));

    if (const auto binary = SplitBinaryKeys(bytes)) {
        ListKeyByKey(reader, *binary, notes);
        if (binary->cut) return fail(cannotReadAfter(RNP_SUCCESS));
    } else if (const rnp_result_t r = ListStream(reader, bytes); r != RNP_SUCCESS) {
        return fail(cannotReadAfter(r));
    }
    if (reader.lines().empty()) return fail("the file holds no public key");
    return std::move(reader.lines());
}

}  // namespace parlux
