// The box of a table that was never loaded.
#include <gtest/gtest.h>

#include "common/core/Table.h"
#include "testsupport/TestSupport.h"

namespace parlux {
namespace {

using test::RecordingMessages;

TEST(Table, ArrayNotInitialized) {
    RecordingMessages messages;
    Table never;
    EXPECT_TRUE(ArrayNotInitialized(never, messages));
    ASSERT_EQ(messages.texts.size(), 1u);
    EXPECT_EQ(messages.texts[0], "9\r\nSubscript out of range\r\nArray not Initialized");

    Table table;
    table.create(3);
    EXPECT_FALSE(ArrayNotInitialized(table, messages));
    EXPECT_EQ(messages.texts.size(), 1u);  // no box when loaded

    table.reset();
    EXPECT_TRUE(ArrayNotInitialized(table, messages));
    EXPECT_EQ(messages.texts.size(), 2u);
}

}  // namespace
}  // namespace parlux
