// The key lister against a reading of the keyrings worked out here, apart from
// the PGP library: armor and packets decoded by hand, version-3 key IDs taken
// from the RSA modulus, version-4 key IDs from the SHA-1 fingerprint, sizes
// from the MPI headers, dates with gmtime.
#include <gtest/gtest.h>
#include <openssl/sha.h>

#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "lockgrid/KeyLister.h"
#include "lockgrid/tests/LockgridFixture.h"

namespace parlux::test {
namespace {

struct Packet {
    int tag;
    std::string body;
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
        packets.push_back({static_cast<int>((head >> 2) & 0xf), bytes.substr(at + 1 + lengthBytes, length)});
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

}  // namespace
}  // namespace parlux::test
