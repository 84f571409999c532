// The history's two keys of Parlux.conf, read or refused with their place,
// a night with history = off: nothing recorded, none of its pages; and the
// manual pages that name the history's pages name every kind.
#include <gtest/gtest.h>

#include "common/core/SiteConfig.h"
#include "common/core/TextLines.h"
#include "history/HistoryPages.h"
#include "night/tests/NightsFixture.h"

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
    EXPECT_FALSE(std::filesystem::exists(data_ / "Parlux.sqlite"));
    for (const auto& kind : history::HistoryPageKinds())
        EXPECT_FALSE(std::filesystem::exists(data_ / kind.fileName("PGP-2"))) << kind.name;
}

// A manual page's text with its macros and quotes dropped, line by line with
// no blanks: ".IR Trend_ type .html" reads "Trend_type.html". Parlux.conf(5)
// is made from its template and the keys' list.
std::string ManualText(const std::string& page) {
    std::string source = ReadFile(SourceDir() / "packaging/man" / page);
    if (source.empty()) {
        source = ReadFile(SourceDir() / "packaging/man" / (page + ".in"));
        const std::size_t keys = source.find("@KEYS@");
        if (keys != std::string::npos) source.replace(keys, 6, site::ConfigManualKeys());
    }
    std::string text;
    for (std::string line : SplitLines(source)) {
        if (line.starts_with(".")) line.erase(0, line.find(' ') == std::string::npos ? line.size() : line.find(' '));
        std::erase_if(line, [](char c) { return c == ' ' || c == '"'; });
        text += line + "\n";
    }
    return text;
}

TEST(HistoryPageKinds, NamedByTheManualPages) {
    // The comparers of no stats type write only the night's pages.
    const std::pair<const char*, bool> pages[] = {
        {"Parlux.conf.5", true}, {"Pulsegrid.1", true}, {"Lockgrid.1", false}, {"Flaggrid.1", false}};
    for (const auto& [page, perType] : pages) {
        const std::string text = ManualText(page);
        for (const auto& kind : history::HistoryPageKinds()) {
            if (perType || kind.scope != history::PageScope::PerStatsType) {
                const char* subject = kind.scope == history::PageScope::PerRemailer ? "name" : "type";
                EXPECT_NE(text.find(kind.fileName(subject)), std::string::npos) << page << ": " << kind.name;
            }
        }
    }
}

}  // namespace
}  // namespace parlux::test
