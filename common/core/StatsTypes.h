#pragma once
// The eight stats types: their codes, the suffixes of the downloaded files,
// the captions of the type choice, and what each is: a stats list or a key
// file, of which network, of which generation of the stats pages.
#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace parlux {

// The remailers' two networks: type I ("Cpunk", with PGP keys) and type II
// ("Mix").
enum class Network { Cpunk, Mix };

struct StatsTypeInfo {
    std::string_view code;     // "PGP-1"
    std::string_view suffix;   // "_rlist.shtml"
    std::string_view caption;  // "V1 Cpunk"
    bool keys;                 // a key file (Lockgrid's), not a stats list
    Network network;
    int version;  // the stats page's generation, 1 or 2; 0 for a key file
};

// In the order the history sorts them.
inline constexpr std::array<StatsTypeInfo, 8> kStatsTypes{{
    {"PGP-1", "_rlist.shtml", "V1 Cpunk", false, Network::Cpunk, 1},
    {"MIX-1", "_mlist.shtml", "V1 Mix", false, Network::Mix, 1},
    {"PGP-2", "_rlist2.shtml", "V2 Cpunk", false, Network::Cpunk, 2},
    {"MIX-2", "_mlist2.shtml", "V2 Mix", false, Network::Mix, 2},
    {"K-TY2", "_type2.lis", "MIX Type2", true, Network::Mix, 0},
    {"K-MIX", "_pubring.mix", "MIX Pubring", true, Network::Mix, 0},
    {"K-RSA", "_rsakeys.asc", "PGP RSA", true, Network::Cpunk, 0},
    {"K-DSS", "_dsskeys.asc", "PGP DSS", true, Network::Cpunk, 0},
}};

// The type of a code (case-sensitive); nullptr for any other.
const StatsTypeInfo* FindStatsType(std::string_view code);

// nick + the suffix of the code; "" for an unknown code.
std::string StatsFileName(std::string_view code, std::string_view nick);

// A key file's type; a PGP keyring's (the Cpunk network's keys).
bool IsKeyType(std::string_view code);
bool IsPgpKeyType(std::string_view code);

// The generation of a stats type's page format.
bool IsVersion1(std::string_view code);
bool IsVersion2(std::string_view code);

// The codes of the stats lists (keys false) or of the key files (true): in
// the list's order, or the Cpunk network's before the Mix network's.
std::vector<std::string_view> TypeCodes(bool keys);
std::vector<std::string_view> TypeCodesByNetwork(bool keys);

}  // namespace parlux
