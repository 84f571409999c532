// The history's two keys of Parlux.conf, read or refused with their place,
// and a night with history = off: nothing recorded, none of its pages.
#include <gtest/gtest.h>

#include "common/core/SiteConfig.h"
#include "history/tests/NightsFixture.h"

namespace parlux::test {
namespace {

struct KeyCase {
    const char* text;
    bool history;
    int days;
    std::string error = {};  // after "Parlux.conf:"
};

TEST(HistoryKeys, ReadOrRefusedWithTheirPlace) {
    const KeyCase cases[] = {
        {"", true, 400},
        {"history = off\n", false, 400},
        {"history=on\nhistory_days = 30\n", true, 30},
        {"history_days = 1\nhistory_days = 100000\n", true, 100000},
        {"history = no\n", true, 400, "1: history is neither on nor off"},
        {"history = On\n", true, 400, "1: history is neither on nor off"},
        {"# fine\nhistory_days = 0\n", true, 400, "2: history_days is not between 1 and 100000"},
        {"history_days = 100001\n", true, 400, "1: history_days is not between 1 and 100000"},
        {"history_days = -3\n", true, 400, "1: history_days is not a number of days"},
        {"history_days = 9999999999999\n", true, 400, "1: history_days is not a number of days"},
        {"history_days =\n", true, 400, "1: history_days is not a number of days"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        try {
            const site::SiteConfig config = site::ParseSiteConfig(c.text, "Parlux.conf");
            EXPECT_TRUE(c.error.empty());
            EXPECT_EQ(config.history, c.history);
            EXPECT_EQ(config.historyDays, c.days);
        } catch (const site::SiteConfigError& e) {
            EXPECT_EQ(e.what(), "Parlux.conf:" + c.error);
        }
    }
}

TEST_F(NightsTest, HistoryOffRecordsNothingAndWritesNoneOfItsPages) {
    listPingers({"alpha", "beta"});
    site::SiteConfig off;
    off.history = false;
    site::SetCurrent(off);
    Night night;
    night.pingers["alpha"] = {{"austria"}, {"dizum"}};
    night.pingers["beta"] = {{"dizum"}};
    runNight(night, FirstNight());
    EXPECT_EQ(pages().size(), 6U);  // PGP-2's four, Lockgrid's one and Flaggrid's one
    for (const char* name : {"Parlux.sqlite", "Trend_PGP-2.html", "Changes.txt", "Changes.html"})
        EXPECT_FALSE(std::filesystem::exists(data_ / name)) << name;
}

}  // namespace
}  // namespace parlux::test
