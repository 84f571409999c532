// Command-line words and NUL-ended buffers.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/core/Process.h"

namespace parlux {
namespace {

TEST(Process, RTrimNull) {
    EXPECT_EQ(RTrimNull(std::string("abc\0   ", 7)), "abc");
    EXPECT_EQ(RTrimNull(std::string("ab \0x", 5)), "ab ");  // blanks before the NUL stay
    EXPECT_EQ(RTrimNull(std::string("\0abc", 4)), "");
    EXPECT_EQ(RTrimNull("     "), "");
    EXPECT_EQ(RTrimNull("abc  "), "abc");
    EXPECT_EQ(RTrimNull("  abc"), "  abc");
    EXPECT_EQ(RTrimNull(""), "");
}

TEST(Process, SplitCommandLine) {
    using V = std::vector<std::string>;
    EXPECT_EQ(SplitCommandLine("/opt/parlux/Flaggrid FULL_AUTO"), (V{"/opt/parlux/Flaggrid", "FULL_AUTO"}));
    EXPECT_EQ(SplitCommandLine("  EditPad   /data/Comp_DS_PGP-1.txt  "), (V{"EditPad", "/data/Comp_DS_PGP-1.txt"}));
    EXPECT_EQ(SplitCommandLine("\"/my programs/EditPad\" \"/my data/a b.txt\""),
              (V{"/my programs/EditPad", "/my data/a b.txt"}));
    EXPECT_EQ(SplitCommandLine("a\"b c\"d e"), (V{"ab cd", "e"}));
    EXPECT_EQ(SplitCommandLine("prog \"\" x"), (V{"prog", "", "x"}));
    EXPECT_EQ(SplitCommandLine("prog \"unclosed arg"), (V{"prog", "unclosed arg"}));
    EXPECT_EQ(SplitCommandLine("a\tb"), (V{"a", "b"}));
    EXPECT_EQ(SplitCommandLine(""), V{});
    EXPECT_EQ(SplitCommandLine("   "), V{});
}

}  // namespace
}  // namespace parlux
