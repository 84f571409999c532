#include "common/core/StatsTypes.h"

#include <algorithm>

namespace parlux {

const StatsTypeInfo* FindStatsType(std::string_view code) {
    for (const StatsTypeInfo& type : kStatsTypes)
        if (type.code == code) return &type;
    return nullptr;
}

std::string StatsFileName(std::string_view code, std::string_view nick) {
    const StatsTypeInfo* type = FindStatsType(code);
    if (type == nullptr) return {};
    std::string name(nick);
    name += type->suffix;
    return name;
}

bool IsKeyType(std::string_view code) {
    const StatsTypeInfo* type = FindStatsType(code);
    return type != nullptr && type->keys;
}

bool IsPgpKeyType(std::string_view code) { return IsKeyType(code) && FindStatsType(code)->network == Network::Cpunk; }

bool IsVersion1(std::string_view code) {
    const StatsTypeInfo* type = FindStatsType(code);
    return type != nullptr && type->version == 1;
}

bool IsVersion2(std::string_view code) {
    const StatsTypeInfo* type = FindStatsType(code);
    return type != nullptr && type->version == 2;
}

std::vector<std::string_view> TypeCodes(bool keys) {
    std::vector<std::string_view> codes;
    for (const StatsTypeInfo& type : kStatsTypes)
        if (type.keys == keys) codes.push_back(type.code);
    return codes;
}

std::vector<std::string_view> TypeCodesByNetwork(bool keys) {
    std::vector<std::string_view> codes = TypeCodes(keys);
    std::stable_sort(codes.begin(), codes.end(), [](std::string_view a, std::string_view b) {
        return FindStatsType(a)->network < FindStatsType(b)->network;
    });
    return codes;
}

}  // namespace parlux
