#include <gtest/gtest.h>

#include "common/core/TextReplace.h"

namespace parlux {
namespace {

TEST(TextReplace, ReplacesFromStartAndKeepsWhatIsBefore) {
    EXPECT_EQ(ReplaceText("a-b-c", "-", "+", 3), "a-b+c");
    EXPECT_EQ(ReplaceText("a-b-c", "-", "+"), "a+b+c");
    EXPECT_EQ(ReplaceText("a-b-c", "-", "+", 2), "a+b+c");  // a match right at start
    EXPECT_EQ(ReplaceText("a-b-c", "-", "+", 5), "a-b-c");
    EXPECT_EQ(ReplaceText("a-b-c", "-", "+", 6), "a-b-c");  // past the end
    EXPECT_EQ(ReplaceText("a-b-c", "-", "+", 60), "a-b-c");
    EXPECT_EQ(ReplaceText("", "-", "+"), "");
    EXPECT_EQ(ReplaceText("abc", "x", "y"), "abc");
    EXPECT_EQ(ReplaceText("abc", "", "y"), "abc");  // nothing to find
    EXPECT_EQ(ReplaceText("abc", "abc", ""), "");
    EXPECT_EQ(ReplaceText("a-b-c", "-", "+", 3, 1), "a-b+c");  // count is not used
    EXPECT_THROW(ReplaceText("abc", "b", "x", 0), std::invalid_argument);
}

TEST(TextReplace, LeftToRightWithoutRescanning) {
    EXPECT_EQ(ReplaceText("l1\nl2\n\nl3", "\n", "\r\n"), "l1\r\nl2\r\n\r\nl3");  // each LF once
    EXPECT_EQ(ReplaceText("aaaa", "aa", "b"), "bb");
    EXPECT_EQ(ReplaceText("aaa", "aa", "b"), "ba");
    EXPECT_EQ(ReplaceText("abab", "ab", "abab"), "abababab");
    EXPECT_EQ(ReplaceText("x--y", "-", "--"), "x----y");
}

TEST(TextReplace, CompareModes) {
    EXPECT_EQ(ReplaceText("Abc aBC abc", "abc", "x"), "Abc aBC x");
    EXPECT_EQ(ReplaceText("Abc aBC abc", "abc", "x", 1, -1, kCompareText), "x x x");
    EXPECT_EQ(ReplaceText("Abc aBC abc", "ABC", "x", 2, -1, kCompareText), "Abc x x");
    // Only ASCII letters fold: other bytes are matched exactly.
    EXPECT_EQ(ReplaceText("\xC3\xA9-\xC3\x89", "\xC3\xA9", "e", 1, -1, kCompareText), "e-\xC3\x89");
    EXPECT_EQ(ReplaceText("[{", "{", "(", 1, -1, kCompareText), "[(");
}

TEST(TextReplaceCounted, CountAndStartWrittenBack) {
    int start = 1;
    EXPECT_EQ(ReplaceTextCounted("aaa", "a", "b", start, 2), "bba");
    EXPECT_EQ(start, 2);

    start = 1;
    EXPECT_EQ(ReplaceTextCounted("aaa", "a", "b", start, -1), "bbb");
    EXPECT_EQ(start, 4);

    start = 1;
    EXPECT_EQ(ReplaceTextCounted("aaa", "a", "b", start, 0), "baa");  // 0 still replaces once
    EXPECT_EQ(start, 1);

    start = 1;
    EXPECT_EQ(ReplaceTextCounted("aaa", "a", "b", start, 1), "baa");
    EXPECT_EQ(start, 1);

    start = 2;
    EXPECT_EQ(ReplaceTextCounted("abab", "ab", "X", start), "abX");  // before start kept
    EXPECT_EQ(start, 4);

    start = 1;
    EXPECT_EQ(ReplaceTextCounted("a-a", "a", "aa", start), "aa-aa");  // inserted text not searched
    EXPECT_EQ(start, 6);

    start = 1;
    EXPECT_EQ(ReplaceTextCounted("xyz", "q", "r", start), "xyz");
    EXPECT_EQ(start, 1);

    start = 9;
    EXPECT_EQ(ReplaceTextCounted("xyz", "x", "r", start), "xyz");
    EXPECT_EQ(start, 9);

    start = 1;
    EXPECT_EQ(ReplaceTextCounted("xyz", "", "r", start), "xyz");
    EXPECT_EQ(start, 1);

    start = 1;
    EXPECT_EQ(ReplaceTextCounted("Ab-aB-ab", "AB", "c", start, -1, kCompareText), "c-c-c");
    EXPECT_EQ(start, 6);

    start = 0;
    EXPECT_THROW(ReplaceTextCounted("abc", "b", "x", start), std::invalid_argument);
}

TEST(TextReplaceCounted, WithoutLimitAgreesWithReplaceText) {
    const char* texts[] = {"l1\nl2\n\nl3\n", "aaaaa", "-a-", "abcabcab", "", "no match here"};
    const char* finds[] = {"\n", "a", "aa", "-", "ab", "abc"};
    const char* replacements[] = {"\r\n", "", "b", "--", "ab"};
    for (const char* text : texts)
        for (const char* find : finds)
            for (const char* replacement : replacements)
                for (int first = 1; first <= 4; ++first) {
                    int start = first;
                    EXPECT_EQ(ReplaceTextCounted(text, find, replacement, start),
                              ReplaceText(text, find, replacement, first))
                        << text << " / " << find << " / " << replacement << " / " << first;
                }
}

}  // namespace
}  // namespace parlux
