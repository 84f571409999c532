// The data file of a stats or key type and a pinger.
#include <gtest/gtest.h>

#include "common/core/StatsTypes.h"

namespace parlux {
namespace {

TEST(StatsTypes, StatsFileNames) {
    EXPECT_EQ(StatsFileName("MIX-2", "alpha"), "alpha_mlist2.shtml");
    EXPECT_EQ(StatsFileName("PGP-1", "alpha"), "alpha_rlist.shtml");
    EXPECT_EQ(StatsFileName("MIX-1", "alpha"), "alpha_mlist.shtml");
    EXPECT_EQ(StatsFileName("PGP-2", "alpha"), "alpha_rlist2.shtml");
    EXPECT_EQ(StatsFileName("K-TY2", "b"), "b_type2.lis");
    EXPECT_EQ(StatsFileName("K-MIX", "b"), "b_pubring.mix");
    EXPECT_EQ(StatsFileName("K-RSA", "b"), "b_rsakeys.asc");
    EXPECT_EQ(StatsFileName("K-DSS", "b"), "b_dsskeys.asc");
    EXPECT_EQ(StatsFileName("mix-2", "alpha"), "");  // codes are case-sensitive
    EXPECT_EQ(StatsFileName("MIX-2 ", "alpha"), "");
    EXPECT_EQ(StatsFileName("", "alpha"), "");
}

}  // namespace
}  // namespace parlux
