// The key lister against a reading of the keyrings worked out here, apart from
// the PGP library: armor and packets decoded by hand, version-3 key IDs taken
// from the RSA modulus, version-4 key IDs from the SHA-1 fingerprint, sizes
// from the MPI headers, dates with gmtime.
#include <gtest/gtest.h>
#include <openssl/sha.h>
#include <rnp/rnp.h>
#include <rnp/rnp_err.h>

#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "lockgrid/KeyLister.h"
#include "lockgrid/KeysComparer.h"
#include "lockgrid/tests/LockgridFixture.h"

namespace parlux::test {
namespace {

struct Packet {
    int tag;
    std::string body;
    std::size_t start = 0, end = 0;  // in the bytes read
};

// The bytes of every armored block, one after the other (headers up to the
// first empty line, then base64 up to the checksum line).
std::string Dearmor(const std::string& text) {
    static const std::string alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string bytes;
    std::size_t at = 0;
    while ((at = text.find("-----BEGIN PGP PUBLIC KEY BLOCK-----", at)) != std::string::npos) {
        at = text.find("\n\n", at) + 2;
        unsigned bits = 0;
        int count = 0;
        for (; at < text.size() && text[at] != '=' && text[at] != '-'; ++at) {
            const auto digit = alphabet.find(text[at]);
            if (digit == std::string::npos) continue;  // line ends
            bits = (bits << 6) | static_cast<unsigned>(digit);
            if ((count += 6) >= 8) bytes += static_cast<char>((bits >> (count -= 8)) & 0xff);
        }
    }
    return bytes;
}

unsigned Byte(const std::string& s, std::size_t i) { return static_cast<unsigned char>(s.at(i)); }

// Old-format packets (what PGP 2.x and GnuPG 1.x keyrings hold).
std::vector<Packet> Packets(const std::string& bytes) {
    std::vector<Packet> packets;
    for (std::size_t at = 0; at < bytes.size();) {
        const unsigned head = Byte(bytes, at);
        EXPECT_EQ(head & 0xc0, 0x80u) << "not an old-format packet at " << at;
        const std::size_t lengthBytes = std::size_t{1} << (head & 3);
        std::size_t length = 0;
        for (std::size_t k = 1; k <= lengthBytes; ++k) length = (length << 8) | Byte(bytes, at + k);
        packets.push_back({static_cast<int>((head >> 2) & 0xf), bytes.substr(at + 1 + lengthBytes, length), at,
                           at + 1 + lengthBytes + length});
        at += 1 + lengthBytes + length;
    }
    return packets;
}

std::string OldPacket(int tag, const std::string& body) {
    std::string out(1, static_cast<char>(0x80 | (tag << 2) | 1));
    out += static_cast<char>(body.size() >> 8);
    out += static_cast<char>(body.size() & 0xff);
    return out + body;
}

struct ExpectedKey {
    int version;
    std::string line;
    unsigned bits;
};

// Every primary key of the packets with the line the lister must give.
std::vector<ExpectedKey> ExpectedKeys(const std::vector<Packet>& packets) {
    std::vector<ExpectedKey> keys;
    for (std::size_t p = 0; p < packets.size(); ++p) {
        if (packets[p].tag != 6) continue;
        const std::string& key = packets[p].body;
        const int version = static_cast<int>(Byte(key, 0));
        const std::time_t created =
            static_cast<std::time_t>((Byte(key, 1) << 24) | (Byte(key, 2) << 16) | (Byte(key, 3) << 8) | Byte(key, 4));
        const std::size_t mpi = version == 3 ? 8 : 6;  // after the validity days of version 3 and the algorithm
        const unsigned bits = (Byte(key, mpi) << 8) | Byte(key, mpi + 1);
        unsigned id = 0;
        if (version == 3) {
            // The low 32 bits of the modulus: its last four bytes.
            const std::size_t end = mpi + 2 + (bits + 7) / 8;
            for (std::size_t k = end - 4; k < end; ++k) id = (id << 8) | Byte(key, k);
        } else {
            std::string hashed = "\x99";
            hashed += static_cast<char>(key.size() >> 8);
            hashed += static_cast<char>(key.size() & 0xff);
            hashed += key;
            unsigned char digest[SHA_DIGEST_LENGTH];
            SHA1(reinterpret_cast<const unsigned char*>(hashed.data()), hashed.size(), digest);
            for (int k = 16; k < 20; ++k) id = (id << 8) | digest[k];
        }
        std::string userId;
        for (std::size_t q = p + 1; q < packets.size() && packets[q].tag != 6; ++q)
            if (packets[q].tag == 13) {
                userId = packets[q].body;
                break;
            }
        std::tm utc{};
        ::gmtime_r(&created, &utc);
        char head[64];
        std::snprintf(head, sizeof head, "pub  %4u/%08X %04d/%02d/%02d  ", bits, id, utc.tm_year + 1900, utc.tm_mon + 1,
                      utc.tm_mday);
        keys.push_back({version, head + userId, bits});
    }
    return keys;
}

std::vector<std::string> Lines(const std::vector<ExpectedKey>& keys) {
    std::vector<std::string> lines;
    lines.reserve(keys.size());
    for (const auto& k : keys) lines.push_back(k.line);
    return lines;
}

TEST(KeyLister, RealKeyringListsEveryPrimaryKeyWithItsExactSizeInUtc) {
    // Far east of Greenwich: a key made in the evening, UTC, lists its UTC date.
    const ScopedTimeZone kiritimati("LINT-14");
    const std::string armored = KeyData("pubring.asc");
    const auto expected = ExpectedKeys(Packets(Dearmor(armored)));
    int v3 = 0, v4 = 0, odd = 0;
    for (const auto& k : expected) {
        (k.version == 3 ? v3 : v4) += 1;
        odd += k.bits % 8 != 0;
    }
    ASSERT_EQ(expected.size(), 23u);
    EXPECT_EQ(v3, 6);
    EXPECT_EQ(v4, 17);
    EXPECT_EQ(odd, 1);  // the 2047-bit modulus

    std::string error = "stale";
    EXPECT_EQ(ListPgpKeys(armored, &error), Lines(expected));
    EXPECT_EQ(error, "");
}

TEST(KeyLister, FormsOfKeyFiles) {
    const std::string armored = KeyData("pubring.asc");
    const std::string binary = Dearmor(armored);
    const auto packets = Packets(binary);
    const auto all = Lines(ExpectedKeys(packets));

    // The first key alone, with no user ID; and with one holding line ends.
    const std::string bare = OldPacket(6, packets[0].body);
    const std::string hostile = bare + OldPacket(13, "Evil\r\nRemailer\t<evil@example.org>");
    const std::string secondBlock = armored.substr(armored.find("-----BEGIN"));

    struct Case {
        const char* name;
        std::string bytes;
        std::vector<std::string> lines;
        bool error;
    };
    const std::string firstDate = all[0].substr(0, 29);  // "pub  1024/09754B59 2008/05/14"
    const std::vector<Case> cases = {
        {"binary keyring", binary, all, false},
        {"two armored blocks with text between, the same keys again", armored + "\r\nMore keys:\r\n" + secondBlock, all,
         false},
        {"no user ID", bare, {firstDate + "  "}, false},
        {"control characters in the user ID", hostile, {firstDate + "  Evil??Remailer?<evil@example.org>"}, false},
        {"empty file", "", {}, true},
        {"a web page", "<html><body>Not here</body></html>\r\n", {}, true},
        {"a Mix key list", KeyData("type2.list"), {}, true},
        {"armor cut short", armored.substr(0, armored.size() / 2), {}, true},
    };
    for (const auto& c : cases) {
        std::string error;
        EXPECT_EQ(ListPgpKeys(c.bytes, &error), c.lines) << c.name;
        EXPECT_EQ(!error.empty(), c.error) << c.name << ": " << error;
    }
    // The error is optional.
    EXPECT_TRUE(ListPgpKeys("junk", nullptr).empty());
}

// A key made by librnp here, exported (public parts, subkeys too) as a
// binary transferable key. The key is made `ageDays` days ago, valid for
// `validDays` (0: for ever), and revoked when asked.
struct MadeKey {
    std::string bytes;
    std::string keyId;  // 16 hex digits
};
MadeKey MakeKey(const std::string& type, unsigned bits, const std::string& userId, int ageDays = 0, int validDays = 0,
                bool revoked = false) {
    MadeKey made;
    rnp_ffi_t ffi = nullptr;
    EXPECT_EQ(rnp_ffi_create(&ffi, "GPG", "GPG"), RNP_SUCCESS);
    if (ageDays) rnp_set_timestamp(ffi, static_cast<std::uint64_t>(std::time(nullptr)) - ageDays * 86400ULL);
    std::string json = "{\"primary\":{\"type\":\"" + type + "\",\"userid\":\"" + userId + "\"";
    if (bits) json += ",\"length\":" + std::to_string(bits);
    if (validDays) json += ",\"expiration\":" + std::to_string(validDays * 86400);
    json += "}}";
    char* results = nullptr;
    EXPECT_EQ(rnp_generate_key_json(ffi, json.c_str(), &results), RNP_SUCCESS) << json;
    const std::string text = results ? results : "";
    rnp_buffer_destroy(results);
    const std::string mark = "\"grip\":\"";
    const std::string grip = text.substr(text.find(mark) + mark.size(), 40);
    rnp_key_handle_t key = nullptr;
    EXPECT_EQ(rnp_locate_key(ffi, "grip", grip.c_str(), &key), RNP_SUCCESS);
    if (revoked) {
        EXPECT_EQ(rnp_key_revoke(key, 0, nullptr, "retired", "gone"), RNP_SUCCESS);
    }
    char* id = nullptr;
    rnp_key_get_keyid(key, &id);
    made.keyId = id ? id : "";
    rnp_buffer_destroy(id);
    rnp_output_t output = nullptr;
    rnp_output_to_memory(&output, 0);
    EXPECT_EQ(rnp_key_export(key, output, RNP_KEY_EXPORT_PUBLIC | RNP_KEY_EXPORT_SUBKEYS), RNP_SUCCESS);
    std::uint8_t* buffer = nullptr;
    std::size_t length = 0;
    rnp_output_memory_get_buf(output, &buffer, &length, false);
    made.bytes.assign(reinterpret_cast<const char*>(buffer), length);
    rnp_output_destroy(output);
    rnp_key_handle_destroy(key);
    rnp_ffi_destroy(ffi);
    return made;
}

// A version-4 RSA key packet with a modulus of `bits` bits (all ones: no
// library would make it, any reader lists it) and a user ID; algorithm can
// be set to one no reader knows.
std::string HandKey(unsigned bits, const std::string& userId, unsigned algorithm = 1) {
    std::string body = {4, 0x50, 0, 0, 0, static_cast<char>(algorithm)};
    body += static_cast<char>(bits >> 8);
    body += static_cast<char>(bits & 0xff);
    body += std::string((bits + 7) / 8, '\xff');
    body += std::string("\x00\x11\x01\x00\x01", 5);  // e = 65537
    return OldPacket(6, body) + OldPacket(13, userId);
}

// What the lister tells of a key's state and kind, of sizes of five digits,
// and of rings that cannot be read whole: the lines, the error, the notes.
TEST(KeyLister, StatesKindsSizesAndDamagedRings) {
    const MadeKey rsa = MakeKey("RSA", 1024, "rsa <rsa@example.org>");
    const MadeKey revoked = MakeKey("RSA", 1024, "revoked <revoked@example.org>", 0, 0, true);
    const MadeKey expired = MakeKey("RSA", 1024, "expired <expired@example.org>", 10, 2);
    const MadeKey expiring = MakeKey("RSA", 1024, "later <later@example.org>", 10, 20);
    const MadeKey eddsa = MakeKey("EDDSA", 0, "ed <ed@example.org>");
    const MadeKey dsa = MakeKey("DSA", 1024, "dsa <dsa@example.org>");
    const MadeKey deadDsa = MakeKey("DSA", 1024, "dead <dead@example.org>", 0, 0, true);

    const std::string binary = Dearmor(KeyData("pubring.asc"));
    const auto all = Lines(ExpectedKeys(Packets(binary)));
    const std::vector<Packet> packets = Packets(binary);
    // Where the packets of the third key end, and where its key packet starts.
    std::size_t keys = 0, thirdStart = 0, thirdEnd = 0;
    for (const Packet& p : packets) {
        if (p.tag == 6 && ++keys == 3) thirdStart = p.start;
        if (p.tag == 6 && keys == 4) thirdEnd = p.start;
    }
    ASSERT_GT(thirdEnd, thirdStart);
    const std::string big = HandKey(10000, "big <big@example.org>");
    const auto bigExpected = ExpectedKeys(Packets(big));

    // The user ID with what follows it.
    auto ends = [](const std::string& tail) { return tail; };
    struct Case {
        const char* name;
        std::string bytes;
        std::string algorithm;           // the keyring's
        std::vector<std::string> tails;  // each line ends so (empty: the whole line is in `lines`)
        std::vector<std::string> lines;
        std::string error;
        std::vector<std::string> notes;
    };
    const std::vector<Case> cases = {
        {"keys of the ring's kind",
         rsa.bytes + expiring.bytes,
         "RSA",
         {ends("  rsa <rsa@example.org>"), ends("  later <later@example.org>")},
         {},
         "",
         {}},
        {"revoked and expired keys",
         revoked.bytes + expired.bytes,
         "RSA",
         {"  revoked <revoked@example.org> [revoked]", "  expired <expired@example.org> [expired]"},
         {},
         "",
         {}},
        {"other algorithms in the RSA ring",
         eddsa.bytes + dsa.bytes + rsa.bytes,
         "RSA",
         {"  ed <ed@example.org> [EDDSA]", "  dsa <dsa@example.org> [DSA]", "  rsa <rsa@example.org>"},
         {},
         "",
         {}},
        {"the DSS ring: RSA is the other kind, a state comes first",
         dsa.bytes + rsa.bytes + deadDsa.bytes,
         "DSA",
         {"  dsa <dsa@example.org>", "  rsa <rsa@example.org> [RSA]", "  dead <dead@example.org> [revoked]"},
         {},
         "",
         {}},
        {"no kind given, no kind shown", eddsa.bytes, "", {"  ed <ed@example.org>"}, {}, "", {}},
        {"a size of five digits keeps the key ID in place",
         big,
         "RSA",
         {},
         {"pub " + bigExpected[0].line.substr(5)},
         "",
         {}},
        {"a key of an unknown algorithm between good keys",
         binary.substr(0, thirdStart) + HandKey(1024, "odd <odd@example.org>", 99) + binary.substr(thirdStart),
         "",
         {},
         all,
         "",
         {"key 3 of the file cannot be read (unknown algorithm 99): not listed"}},
        {"a binary ring cut inside the last signature of a key",
         binary.substr(0, thirdEnd - 5),
         "",
         {},
         {all[0], all[1], all[2]},
         "the file cannot be read after key 3",
         {}},
        {"a binary ring cut inside a key packet",
         binary.substr(0, thirdStart + 20),
         "",
         {},
         {all[0], all[1]},
         "the file cannot be read after key 2",
         {}},
        {"a binary ring cut inside its first key", binary.substr(0, 40), "", {}, {}, "no key could be read", {}},
        {"a binary ring cut after a whole key", binary.substr(0, thirdEnd), "", {}, {all[0], all[1], all[2]}, "", {}},
    };
    for (const auto& c : cases) {
        std::string error = "stale";
        std::vector<std::string> notes;
        const auto lines = ListPgpKeys(c.bytes, &error, c.algorithm, &notes);
        EXPECT_EQ(error, c.error) << c.name;
        EXPECT_EQ(notes, c.notes) << c.name;
        if (c.tails.empty()) {
            EXPECT_EQ(lines, c.lines) << c.name;
            continue;
        }
        ASSERT_EQ(lines.size(), c.tails.size()) << c.name;
        for (std::size_t k = 0; k < lines.size(); ++k) {
            EXPECT_TRUE(lines[k].ends_with(c.tails[k])) << c.name << ": " << lines[k];
            EXPECT_EQ(lines[k].find("  ", 29), 29u) << c.name << ": " << lines[k];  // the date ends at 29
        }
    }
    // The key ID is read at characters 11 to 18 whatever the size.
    EXPECT_EQ(CutPgpKeyLine(ListPgpKeys(big, nullptr).at(0)).keyId, bigExpected[0].line.substr(11, 8));
    const auto made = ListPgpKeys(rsa.bytes, nullptr);
    EXPECT_EQ(CutPgpKeyLine(made.at(0)).keyId, rsa.keyId.substr(8));
}

// Every cut of a binary ring inside a packet says where the ring stops being
// read; the keys before it are listed as they are. The cuts are dealt out in
// turn to a few shards, so that the test runner spreads them over the cores.
constexpr std::size_t kCutStep = 61;
constexpr int kCutShards = 4;

class EveryCut : public ::testing::TestWithParam<int> {};

TEST_P(EveryCut, OfABinaryRingIsReported) {
    const std::string binary = Dearmor(KeyData("pubring.asc"));
    const auto all = Lines(ExpectedKeys(Packets(binary)));
    std::vector<std::size_t> packetEnds;  // a cut there leaves whole packets
    for (const Packet& p : Packets(binary)) packetEnds.push_back(p.end);
    int cuts = 0;
    const std::size_t first = 1 + kCutStep * static_cast<std::size_t>(GetParam());
    for (std::size_t cut = first; cut < binary.size(); cut += kCutStep * kCutShards) {
        if (std::find(packetEnds.begin(), packetEnds.end(), cut) != packetEnds.end()) continue;
        ++cuts;
        std::string error;
        const auto lines = ListPgpKeys(binary.substr(0, cut), &error);
        ASSERT_LE(lines.size(), all.size());
        EXPECT_TRUE(std::equal(lines.begin(), lines.end(), all.begin())) << cut;
        const std::string expected = lines.empty()
                                         ? "no key could be read"
                                         : "the file cannot be read after key " + std::to_string(lines.size());
        EXPECT_EQ(error, expected) << "cut at " << cut;
    }
    EXPECT_GT(cuts, 100 / kCutShards);
}

INSTANTIATE_TEST_SUITE_P(KeyLister, EveryCut, ::testing::Range(0, kCutShards));

}  // namespace
}  // namespace parlux::test
