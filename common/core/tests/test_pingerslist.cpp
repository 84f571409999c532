#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <type_traits>
#include <vector>

#include "common/core/PingersList.h"
#include "testsupport/TestSupport.h"

namespace parlux {
namespace {

namespace fs = std::filesystem;
using test::TempDir;
using test::WriteFile;

std::vector<std::string> Fields(const std::string& content, std::vector<bool>* quotedFlags = nullptr) {
    FieldReader reader(content);
    std::vector<std::string> fields;
    std::string field;
    bool quoted = false;
    while (reader.next(field, &quoted)) {
        fields.push_back(field);
        if (quotedFlags) quotedFlags->push_back(quoted);
    }
    EXPECT_TRUE(reader.atEnd());
    return fields;
}

using V = std::vector<std::string>;

// The reader keeps a view: it takes a string that outlives it, never a temporary one.
static_assert(std::is_constructible_v<FieldReader, const std::string&>);
static_assert(std::is_constructible_v<FieldReader, std::string_view>);
static_assert(std::is_constructible_v<FieldReader, const char*>);
static_assert(!std::is_constructible_v<FieldReader, std::string>);
static_assert(!std::is_constructible_v<FieldReader, std::string&&>);

TEST(PingersFieldReader, QuotedAndUnquotedFields) {
    std::vector<bool> quoted;
    EXPECT_EQ(Fields("\"PGP-1\",\"alpha\",\"http://a.example/rlist.html\"\r\n", &quoted),
              (V{"PGP-1", "alpha", "http://a.example/rlist.html"}));
    EXPECT_EQ(quoted, (std::vector<bool>{true, true, true}));

    quoted.clear();
    EXPECT_EQ(Fields("  PGP-1 ,\talpha\t, http://a.example/x  \n", &quoted),
              (V{"PGP-1", "alpha", "http://a.example/x"}));
    EXPECT_EQ(quoted, (std::vector<bool>{false, false, false}));

    // Quotes keep commas, blanks and line ends; what follows the closing quote
    // up to the comma is dropped.
    EXPECT_EQ(Fields("\"a,b\",\" c \",\"two\r\nlines\"\r\n"), (V{"a,b", " c ", "two\r\nlines"}));
    EXPECT_EQ(Fields("\"a\" junk,\"b\"x\r\n\"c\""), (V{"a", "b", "c"}));
    EXPECT_EQ(Fields("  \"a\""), (V{"a"}));
    EXPECT_EQ(Fields("\"unclosed, to the end\r\n"), (V{"unclosed, to the end\r\n"}));
    EXPECT_EQ(Fields("\"unclosed,"), (V{"unclosed,"}));
    EXPECT_EQ(Fields("ab\"c,d"), (V{"ab\"c", "d"}));  // a quote inside an unquoted field is kept

    // Empty fields between commas and after a last comma; none after a line end.
    quoted.clear();
    EXPECT_EQ(Fields("\"p\",\"r\",,\"k\"\r\n\"a\",\r\n", &quoted), (V{"p", "r", "", "k", "a", ""}));
    EXPECT_EQ(quoted, (std::vector<bool>{true, true, false, true, true, false}));
    EXPECT_EQ(Fields("a,"), (V{"a", ""}));
    EXPECT_EQ(Fields(""), V{});
}

TEST(PingersFieldReader, LineEndsAndBlankLines) {
    const V expected{"a", "b", "c", "d"};
    EXPECT_EQ(Fields("a,b\r\nc,d\r\n"), expected);
    EXPECT_EQ(Fields("a,b\nc,d\n"), expected);
    EXPECT_EQ(Fields("a,b\rc,d\r"), expected);
    EXPECT_EQ(Fields("a,b\rc,d"), expected);
    // Lines holding nothing (or only blanks) between records are skipped.
    EXPECT_EQ(Fields("\r\n\r\na,b\r\n\r\n  \t \r\n\nc,d\r\n\r\n"), expected);
    EXPECT_EQ(Fields("\"a\",\"b\"\r\n\r\n\"c\",\"d\"\n\n"), expected);

    FieldReader reader("\"x\"\r\n\r\n   \r\n");
    std::string field;
    EXPECT_FALSE(reader.atEnd());
    ASSERT_TRUE(reader.next(field));
    EXPECT_EQ(field, "x");
    EXPECT_TRUE(reader.atEnd());
    EXPECT_FALSE(reader.next(field));
}

TEST(PingersList, RecordsOfThreeFields) {
    const std::string content =
        "\"PGP-1\",\"alpha\",\"http://alpha.example/rlist.html\"\r\n"
        "\"MIX-2\",\"beta\",\"http://beta.example/stats/mlist2.html\"\r\n"
        "\r\n"
        "PGP-1, gamma ,http://gamma.example/a,b.html\r\n";
    const PingersList list = ParsePingersList(content);
    ASSERT_EQ(list.records.size(), 3u);
    EXPECT_EQ(list.records[0], (PingerRecord{"PGP-1", "alpha", "http://alpha.example/rlist.html"}));
    EXPECT_EQ(list.records[1], (PingerRecord{"MIX-2", "beta", "http://beta.example/stats/mlist2.html"}));
    // Unquoted, the comma of the address ends the field; "b.html" starts the next record.
    EXPECT_EQ(list.records[2], (PingerRecord{"PGP-1", "gamma", "http://gamma.example/a"}));
    EXPECT_EQ(list.warning, "Pingers.lst ends inside a record: \"b.html\" dropped");
}

TEST(PingersList, ShortLinesShiftTheRecords) {
    const std::string content =
        "\"PGP-1\",\"alpha\"\r\n"
        "\"PGP-1\",\"beta\",\"http://b.example/\"\r\n"
        "\"MIX-1\",\"gamma\",\"http://g.example/\"\r\n";
    const PingersList list = ParsePingersList(content);
    ASSERT_EQ(list.records.size(), 2u);
    EXPECT_EQ(list.records[0], (PingerRecord{"PGP-1", "alpha", "PGP-1"}));
    EXPECT_EQ(list.records[1], (PingerRecord{"beta", "http://b.example/", "MIX-1"}));
    EXPECT_EQ(list.warning, "Pingers.lst ends inside a record: \"gamma\",\"http://g.example/\" dropped");

    const PingersList whole = ParsePingersList("\"PGP-1\",\"a\",\"u\"\r\n\r\n\r\n");
    EXPECT_EQ(whole.records.size(), 1u);
    EXPECT_EQ(whole.warning, "");
    const PingersList empty = ParsePingersList("");
    EXPECT_TRUE(empty.records.empty());
    EXPECT_EQ(empty.warning, "");
}

// Editors that save UTF-8 may put a byte-order mark first: it is no part of
// the first record.
TEST(PingersList, AByteOrderMarkFirstIsSkipped) {
    const std::string bom = "\xEF\xBB\xBF";
    struct Case {
        const char* name;
        std::string content;
        std::vector<PingerRecord> records;
    };
    const std::vector<Case> cases = {
        {"quoted",
         bom + "\"PGP-1\",\"alpha\",\"http://a.example/\"\r\n\"MIX-1\",\"beta\",\"http://b.example/\"\r\n",
         {{"PGP-1", "alpha", "http://a.example/"}, {"MIX-1", "beta", "http://b.example/"}}},
        {"unquoted", bom + "PGP-1,alpha,http://a.example/\n", {{"PGP-1", "alpha", "http://a.example/"}}},
        {"blank lines after the mark", bom + "\r\n\r\n\"PGP-2\",\"c\",\"u\"\r\n", {{"PGP-2", "c", "u"}}},
        {"only the mark", bom, {}},
        {"a mark further on is text",
         "PGP-1,a,u\r\n" + bom + "PGP-1,b,v\r\n",
         {{"PGP-1", "a", "u"}, {bom + "PGP-1", "b", "v"}}},
        {"half a mark is text",
         "\xEF\xBB"
         "PGP-1,a,u\r\n",
         {{"\xEF\xBB"
           "PGP-1",
           "a", "u"}}},
    };
    for (const auto& c : cases) {
        const PingersList list = ParsePingersList(c.content);
        EXPECT_EQ(list.records, c.records) << c.name;
        EXPECT_EQ(list.warning, "") << c.name;
    }
}

TEST(PingersList, ReadFromFile) {
    TempDir dir;
    EXPECT_FALSE(ReadPingersList(dir / "Pingers.lst").has_value());  // missing
    EXPECT_FALSE(ReadPingersList(dir.path()).has_value());           // a folder
    WriteFile(dir / "Pingers.lst", "\"PGP-2\",\"delta\",\"http://d.example/rlist2.html\"\n");
    const auto list = ReadPingersList(dir / "Pingers.lst");
    ASSERT_TRUE(list.has_value());
    ASSERT_EQ(list->records.size(), 1u);
    EXPECT_EQ(list->records[0], (PingerRecord{"PGP-2", "delta", "http://d.example/rlist2.html"}));
    WriteFile(dir / "empty.lst", "");
    const auto empty = ReadPingersList(dir / "empty.lst");
    ASSERT_TRUE(empty.has_value());
    EXPECT_TRUE(empty->records.empty());
}

}  // namespace
}  // namespace parlux
