#include "common/core/StatsTypes.h"

namespace parlux {

const std::array<StatsTypeInfo, 8> kStatsTypes{{
    {"PGP-1", "_rlist.shtml", "V1 Cpunk"},
    {"MIX-1", "_mlist.shtml", "V1 Mix"},
    {"PGP-2", "_rlist2.shtml", "V2 Cpunk"},
    {"MIX-2", "_mlist2.shtml", "V2 Mix"},
    {"K-TY2", "_type2.lis", "MIX Type2"},
    {"K-MIX", "_pubring.mix", "MIX Pubring"},
    {"K-RSA", "_rsakeys.asc", "PGP RSA"},
    {"K-DSS", "_dsskeys.asc", "PGP DSS"},
}};

std::string StatsFileName(std::string_view code, std::string_view nick) {
    for (const StatsTypeInfo& type : kStatsTypes) {
        if (type.code == code) {
            std::string name(nick);
            name += type.suffix;
            return name;
        }
    }
    return {};
}

}  // namespace parlux
