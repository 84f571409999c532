// Fixed-width fields: padded and cut, in characters of UTF-8 when the text is UTF-8.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/core/TextFields.h"

namespace parlux {
namespace {

TEST(TextFields, PadField) {
    EXPECT_EQ(PadField("abc", 5), "abc  ");
    EXPECT_EQ(PadField("abcdefgh", 5), "abcde");
    EXPECT_EQ(PadField("", 3), "   ");
    EXPECT_EQ(PadField("abc", 3), "abc");
    EXPECT_EQ(PadField("abc", 0), "");
    EXPECT_EQ(PadField("abc", -4), "");
}

// Valid UTF-8 is counted and cut in whole characters; anything else in bytes.
TEST(TextFields, PadFieldCountsCharactersOfUtf8) {
    struct Case {
        std::string text;
        int width;
        std::string field;
    };
    const std::vector<Case> cases = {
        {"abcdefgh\xC3\xA9", 9, "abcdefgh\xC3\xA9"},  // é is one character
        {"abcdefgh\xC3\xA9z", 9, "abcdefgh\xC3\xA9"},
        {"abcdefghi\xC3\xA9", 9, "abcdefghi"},                                 // never half of it
        {"\xC3\xA9t\xC3\xA9", 5, "\xC3\xA9t\xC3\xA9  "},                       // padded to five characters
        {"\xE2\x82\xAC\xF0\x9F\x98\x80x", 2, "\xE2\x82\xAC\xF0\x9F\x98\x80"},  // three and four bytes
        {"caf\xE9 latin-1", 4, "caf\xE9"},                                     // not UTF-8: bytes
        {"caf\xE9", 6, "caf\xE9  "},
        {"ab\xC3", 3, "ab\xC3"},  // a sequence cut short: bytes
        {"\xC3\xA9\xC3", 2, "\xC3\xA9"},
        {"\xC0\xAF"
         "ab",
         2, "\xC0\xAF"},  // an overlong form is no UTF-8
        {"\xED\xA0\x80"
         "a",
         2, "\xED\xA0"},                      // nor is a surrogate
        {"\xF4\x90\x80\x80", 2, "\xF4\x90"},  // nor a value above U+10FFFF
    };
    for (const auto& c : cases) EXPECT_EQ(PadField(c.text, c.width), c.field) << c.text << " " << c.width;
}

}  // namespace
}  // namespace parlux
