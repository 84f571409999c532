#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/core/AccessKeys.h"

namespace parlux {
namespace {

// Each caption with its key marked by "&" (none: as it is).
std::vector<std::string> Marked(const std::vector<std::string>& captions) {
    const std::vector<int> keys = ChooseAccessKeys(captions);
    std::vector<std::string> out;
    for (std::size_t i = 0; i < captions.size(); ++i) {
        std::string caption = captions[i];
        if (keys[i] >= 0) caption.insert(static_cast<std::size_t>(keys[i]), "&");
        out.push_back(caption);
    }
    return out;
}

TEST(AccessKeys, EachCaptionGetsAKeyOfItsOwnWhereItsLettersAllow) {
    const struct {
        const char* name;
        std::vector<std::string> captions, marked;
    } cases[] = {
        {"first letters first", {"View", "Internet", "Apps"}, {"&View", "&Internet", "&Apps"}},
        {"then the first letter of a later word", {"S U P E R", "Stats"}, {"&S U P E R", "S&tats"}},
        {"one key whatever the case", {"apps", "Apps"}, {"&apps", "App&s"}},
        {"an earlier caption moves to leave a later one its only letter", {"SA", "S"}, {"S&A", "&S"}},
        {"no letter, no key", {">>", "+", "GO"}, {">>", "+", "&GO"}},
        {"letters all taken", {"SAV", "SAV", "SAV", "SAV"}, {"&SAV", "S&AV", "SA&V", "SAV"}},
        {"digits count", {"V1 Mix", "V1 Cpunk", "V2 Mix"}, {"&V1 Mix", "V1 &Cpunk", "V2 &Mix"}},
        {"a path by its file name",
         {"Pingers.lst", "/home/u/Parlux/Pingers.lst", "/home/u/Parlux/PingersBad.lst"},
         {"&Pingers.lst", "/home/u/Parlux/Pingers.&lst", "/home/u/Parlux/P&ingersBad.lst"}},
        {"then by its folders", {"ab", "/x/ab", "/x/ab"}, {"&ab", "/x/a&b", "/&x/ab"}},
        {"a letter with a tail last", {"S", "Sgt", "Py"}, {"&S", "Sg&t", "&Py"}},
    };
    for (const auto& c : cases) EXPECT_EQ(Marked(c.captions), c.marked) << c.name;
}

// The first captions (a menu bar's titles) keep their first letters.
TEST(AccessKeys, FixedCaptionsKeepTheKeyTheyTookFirst) {
    const std::vector<std::string> captions = {"View", "V1 Mix", "V"};
    // Unfixed, "View" gives up its V so that all three have a key.
    EXPECT_EQ(ChooseAccessKeys(captions), (std::vector<int>{1, 3, 0}));
    // Fixed, it keeps it, and "V" has none.
    EXPECT_EQ(ChooseAccessKeys(captions, 1), (std::vector<int>{0, 3, -1}));
    // A wanted key is taken first and kept; a caption without it chooses.
    EXPECT_EQ(ChooseAccessKeys({"View", "H Y P", "Pingers.html", "Y"}, 1, {0, 'Y', 'H', 'Q'}),
              (std::vector<int>{0, 2, 8, -1}));
}

}  // namespace
}  // namespace parlux
