#include <gtest/gtest.h>

#include <string>

#include "base/path.h"

namespace {

// ソ, 表, 能 and 予 end in the byte of "\"; ＝ has a second byte that is itself a lead byte.
struct SeparatorCase {
    const char* text;
    std::size_t lastSeparator;
    std::size_t trimmedLength;
};

const std::size_t npos = std::string::npos;

const SeparatorCase kSeparatorCases[] = {
    {"", npos, 0},
    {"a", npos, 1},
    {"\\", 0, 0},
    {"C:\\Data", 2, 7},
    {"C:\\Data\\\\", 8, 7},
    {"D:", npos, 2},
    {"D:\\", 2, 2},
    {"D:\\\\\\\\", 5, 2},
    {"ソ", npos, 2},
    {"C:\\ソ", 2, 5},
    {"C:\\ソ\\", 5, 5},
    {"C:\\表\\能\\予", 8, 11},
    {"C:\\表\\能\\予\\\\", 12, 11},
    {"C:\\ソフト\\a.txt", 9, 15},
    {"C:\\a＝", 2, 6},
    {"C:\\a＝\\", 6, 6},
    // A lead byte with nothing after it stands alone, and the "\" after it is a separator
    // in its own right only when it is not its second byte.
    {"C:\\a\x81", 2, 5},
    {"C:\\a\x81\\", 2, 6},
};

TEST(PathTest, SeparatorsAreFoundCharacterByCharacter) {
    for (const SeparatorCase& c : kSeparatorCases) {
        const std::string text = c.text;
        SCOPED_TRACE(testing::Message() << "case " << (&c - kSeparatorCases));
        EXPECT_EQ(path::lastSeparator(text), c.lastSeparator);
        EXPECT_EQ(path::lengthWithoutTrailingSeparators(text.data(), text.size()), c.trimmedLength);
    }
}

TEST(PathTest, FolderAndNamePartsSplitAtTheLastRealSeparator) {
    struct Case {
        const char* path;
        const char* folder;
        const char* name;
    } const cases[] = {
        {"D:\\Tools\\Syncoravel.exe", "D:\\Tools", "Syncoravel.exe"},
        {"E:\\ソフト\\表", "E:\\ソフト", "表"},
        {"C:\\ソ", "C:", "ソ"},
        {"ソ表", "", "ソ表"},
        {"\\name", "", "name"},
        // "/" splits only a path without a real "\"; a trail byte 0x5C is neither.
        {"C:/tools/sync.exe", "C:/tools", "sync.exe"},
        {"C:\\a/b", "C:", "a/b"},
        {"D:\\", "D:", ""},
        {"", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "case " << (&c - cases));
        EXPECT_EQ(path::folderPart(c.path), c.folder);
        EXPECT_EQ(path::namePart(c.path), c.name);
    }
}

TEST(PathTest, WildcardsAreRecognised) {
    EXPECT_TRUE(path::hasWildcard("D:\\caf?.txt"));
    EXPECT_TRUE(path::hasWildcard("D:\\*"));
    EXPECT_FALSE(path::hasWildcard("D:\\ソフト\\表.txt"));
    EXPECT_FALSE(path::hasWildcard(""));
}

TEST(PathTest, AFolderIsTheSameOrInsideAnotherOnlyAtARealSeparator) {
    struct Case {
        const char* inner;
        const char* outer;
        bool inside;
    } const cases[] = {
        {"D:\\A\\sub", "D:\\A", true},
        {"D:\\a", "D:\\A\\", true}, // ASCII case and end separators do not count
        {"d:\\A\\\\", "D:\\a", true},
        {"D:\\A", "D:\\A\\sub", false},
        {"D:\\AB", "D:\\A", false},
        {"D:\\x", "D:", true},
        {"D:", "D:\\", true},
        {"D:\\ソ\\x", "D:\\ソ", true}, // the outer name ends in a trail byte 0x5C
        {"D:\\ソース", "D:\\ソ", false},
        {"D:\\表a", "D:\\表", false},
        // Trail bytes in the range of ASCII letters are compared exactly: ア is not ャ.
        {"D:\\\x83\x41", "D:\\\x83\x61", false},
        {"D:\\\x83\x41\\x", "D:\\\x83\x41", true},
        {"", "D:", false},
        {"D:\\x", "", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "case " << (&c - cases));
        EXPECT_EQ(path::isSameOrInside(c.inner, c.outer), c.inside);
    }
}

} // namespace
