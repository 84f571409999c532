// The one list of the programs: what CMake and the C++ both read from it
// must be readable by both, and each menu place and name taken once.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "common/core/SuitePrograms.h"

namespace parlux {
namespace {

TEST(SuitePrograms, EachNameAndPlaceOnceAndEveryTextReadableByCMake) {
    std::set<std::string_view> names;
    std::set<int> appsEntries;
    for (const SuiteProgramInfo& info : kSuiteProgramInfo) {
        SCOPED_TRACE(std::string(info.name));
        EXPECT_TRUE(names.insert(info.name).second);
        if (info.appsEntry >= 0) {
            EXPECT_TRUE(appsEntries.insert(info.appsEntry).second);
        }
        EXPECT_FALSE(info.summary.empty());
        for (std::string_view text : {info.name, info.summary, info.hubLabel})
            EXPECT_EQ(text.find_first_of("\";\\"), std::string_view::npos) << text;
        EXPECT_TRUE(!info.dataFolderLock || info.dataFolder);
        EXPECT_GT(info.manSection, 0);
        EXPECT_NE(FindSuiteProgramInfo(info.name), nullptr);
    }
    EXPECT_EQ(FindSuiteProgramInfo("Pulsegrid.exe"), nullptr);
    EXPECT_EQ(FindSuiteProgramInfo(""), nullptr);
}

}  // namespace
}  // namespace parlux
