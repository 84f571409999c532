// Reading a text line by line: every line end ends a line (CR LF, a lone CR,
// a lone LF).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/core/TextLines.h"

namespace parlux {
namespace {

using Lines = std::vector<std::string>;

TEST(TextLines, EveryLineEndEndsALine) {
    struct Case {
        std::string content;
        Lines lines;
    };
    const std::vector<Case> cases = {
        {"a\r\nb\r\n", {"a", "b"}},
        {"a\nb\n", {"a", "b"}},
        {"a\rb\r", {"a", "b"}},
        {"a\r\nb\nc\rd", {"a", "b", "c", "d"}},
        {"a\n\r\nb", {"a", "", "b"}},  // LF, then CR LF: an empty line between
        {"a\r\rb", {"a", "", "b"}},
        {"a\n\nb\n", {"a", "", "b"}},
        {"\n", {""}},
        {"", {}},
        {"no end", {"no end"}},
    };
    for (const auto& c : cases) EXPECT_EQ(SplitLines(c.content), c.lines) << c.content;
}

}  // namespace
}  // namespace parlux
