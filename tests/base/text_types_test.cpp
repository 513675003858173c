#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "base/file_time.h"
#include "base/string_list.h"
#include "base/text_buffer.h"

namespace {

TEST(TextBufferTest, ReservingDiscardsTheContentAndZeroFills) {
    TextBuffer buffer;
    ASSERT_EQ(buffer.size(), 1284u);
    EXPECT_EQ(buffer.text(), "");

    std::strcpy(buffer.data(), "表示");
    EXPECT_EQ(buffer.text(), "表示");

    buffer.reserve(16);
    EXPECT_EQ(buffer.size(), 16u);
    for (std::size_t i = 0; i < buffer.size(); ++i) {
        ASSERT_EQ(buffer.data()[i], '\0') << "byte " << i;
    }
}

TEST(TextBufferTest, TextStopsAtTheEndOfAFullBuffer) {
    TextBuffer buffer(8);
    std::memset(buffer.data(), 'x', buffer.size()); // a call that left no terminator
    EXPECT_EQ(buffer.text(), std::string(8, 'x'));
}

TEST(StringListTest, ConsumesInTheOrderOfAppending) {
    StringList list;
    std::string taken = "unchanged";
    EXPECT_FALSE(list.takeFirst(taken));
    EXPECT_EQ(taken, "unchanged");

    list.append("【削除】D:\\a");
    list.append("【コピー】D:\\b");
    list.append("");
    EXPECT_EQ(list.count(), 3u);

    ASSERT_TRUE(list.takeFirst(taken));
    EXPECT_EQ(taken, "【削除】D:\\a");
    ASSERT_TRUE(list.takeFirst(taken));
    EXPECT_EQ(taken, "【コピー】D:\\b");
    EXPECT_EQ(list.count(), 1u);
    ASSERT_TRUE(list.takeFirst(taken));
    EXPECT_EQ(taken, "");
    EXPECT_TRUE(list.empty());
}

TEST(FileTimeTest, JoinsAndSplitsTheTwoHalves) {
    EXPECT_EQ(makeFileTime(0, 0), 0u);
    EXPECT_EQ(makeFileTime(1, 0), 0x100000000ull);
    EXPECT_EQ(makeFileTime(0x01D9ABCD, 0xFFFFFFFF), 0x01D9ABCDFFFFFFFFull);

    const FILETIME split = toFILETIME(0x01D9ABCD80000001ull);
    EXPECT_EQ(split.dwHighDateTime, 0x01D9ABCDu);
    EXPECT_EQ(split.dwLowDateTime, 0x80000001u);
    EXPECT_EQ(toFileTime(split), 0x01D9ABCD80000001ull);
}

} // namespace
