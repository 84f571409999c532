#include "lockgrid/KeyLister.h"

#include <rnp/rnp.h>
#include <rnp/rnp_err.h>

#include <cctype>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <unordered_set>

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
    const std::string pattern = "\"" + std::string(name) + "\":\"";
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
    const std::string pattern = "\"" + std::string(name) + "\":";
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
std::uint32_t StoredBits(rnp_key_handle_t key) {
    Text algorithm;
    rnp_key_get_alg(key, &algorithm.text);
    const std::string_view alg = algorithm.view();
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

std::string KeyLineOf(rnp_key_handle_t key) {
    Text keyId;
    rnp_key_get_keyid(key, &keyId.text);
    std::uint32_t created = 0;
    rnp_key_get_creation(key, &created);
    // The first user ID as the file has it: the "primary" one needs a valid
    // self-signature, which old keys' hashes do not give.
    Text userId;
    std::size_t userIds = 0;
    if (rnp_key_get_uid_count(key, &userIds) == RNP_SUCCESS && userIds > 0) rnp_key_get_uid_at(key, 0, &userId.text);
    return PgpKeyLine(StoredBits(key), keyId.view(), created, userId.view());
}

}  // namespace

std::string PgpKeyLine(std::uint32_t bits, std::string_view keyId, std::uint32_t created, std::string_view userId) {
    using namespace std::chrono;
    const year_month_day date{floor<days>(sys_seconds{seconds{created}})};
    char head[64];
    std::snprintf(head, sizeof head, "pub  %4u/", bits);
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

std::vector<std::string> ListPgpKeys(std::string_view bytes, std::string* error) {
    std::vector<std::string> lines;
    auto fail = [&](std::string text) {
        if (error) *error = std::move(text);
        return lines;
    };
    if (error) error->clear();
    if (bytes.empty()) return fail("the file is empty");

    Ffi ffi;
    if (rnp_result_t r = rnp_ffi_create(&ffi.handle, "GPG", "GPG"); r != RNP_SUCCESS)
        return fail(Failure("the key reader cannot start", r));
    // Old keys are certified with MD5 or SHA-1. Listing does not rest on the
    // signatures; taking these hashes as usual keeps the library from
    // reporting each such signature on the standard error.
    for (const char* hash : {"MD5", "SHA1"})
        rnp_add_security_rule(ffi.handle, RNP_FEATURE_HASH_ALG, hash, RNP_SECURITY_OVERRIDE, 0, RNP_SECURITY_DEFAULT);

    Input input;
    if (rnp_result_t r = rnp_input_from_memory(&input.handle, reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                               bytes.size(), false);
        r != RNP_SUCCESS)
        return fail(Failure("the key file cannot be read", r));

    // One key (with its subkeys) per import, so the keys come in file order.
    const std::uint32_t flags = RNP_LOAD_SAVE_PUBLIC_KEYS | RNP_LOAD_SAVE_SINGLE | RNP_LOAD_SAVE_PERMISSIVE;
    std::unordered_set<std::string> listed;
    for (std::size_t round = 0; round <= bytes.size(); ++round) {
        Text imported;
        const rnp_result_t r = rnp_import_keys(ffi.handle, input.handle, flags, &imported.text);
        if (r == RNP_ERROR_EOF) break;
        if (r != RNP_SUCCESS) {
            const std::string where = lines.empty()
                                          ? "no key could be read"
                                          : "the file cannot be read after key " + std::to_string(lines.size());
            return fail(Failure(where.c_str(), r));
        }
        for (std::string_view fingerprint : JsonStrings(imported.view(), "fingerprint")) {
            Key key;
            const std::string fp(fingerprint);
            if (rnp_locate_key(ffi.handle, "fingerprint", fp.c_str(), &key.handle) != RNP_SUCCESS || !key.handle)
                continue;
            bool primary = false;
            if (rnp_key_is_primary(key.handle, &primary) != RNP_SUCCESS || !primary) continue;
            if (!listed.insert(fp).second) continue;  // the same key again
            lines.push_back(KeyLineOf(key.handle));
        }
    }
    if (lines.empty()) return fail("the file holds no public key");
    return lines;
}

}  // namespace parlux
