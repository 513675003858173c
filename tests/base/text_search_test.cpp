#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "base/text_search.h"
#include "support/files.h"

namespace {

TEST(TextSearchTest, CaseIsIgnoredOnlyInSingleByteCharacters) {
    struct Case {
        const char* text;
        const char* needle;
        bool found;
    } const cases[] = {
        {"D:\\Data2", "d:\\DATA", true},
        {"D:\\ソ表", "D:\\ソ", true},
        {"D:\\ソ表", "表", true},
        {"\x83\x41", "A", false},        // "ア" ends in the byte of "A"
        {"\x83\x61", "\x83\x41", false}, // trail bytes are not letters
        {"x\x83\x41", "\x41", false},
        {"ab", "abc", false},
        {"", "a", false},
        {"abc", "", true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(containsIgnoringCase(c.text, c.needle), c.found)
            << support::utf8(c.text) << " / " << support::utf8(c.needle);
    }
}

TEST(TextSearchTest, TheFirstMatchAtACharacterIsFound) {
    const std::size_t npos = std::string::npos;
    struct Case {
        const char* text;
        const char* needle;
        std::size_t at;
    } const cases[] = {
        {"xx sync.a Sync.b", "Sync.", 3},
        {"表Sync.", "sync.", 2},
        // 表 is 0x95 0x5C, and ソ 0x83 0x5C: the "\" they end in is no match of its own.
        {"表\\", "\\", 2},
        {"ソ表", "\\", npos},
        {"\x83Sync.", "Sync.", npos}, // a lead byte takes the "S" as its second byte
        {"\x83Sync.Sync.", "Sync.", 6},
        {"\xB1Sync.", "Sync.", 1}, // a half-width katakana is a character of one byte
        {"ab", "", 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(findIgnoringCase(c.text, std::strlen(c.text), c.needle, std::strlen(c.needle)),
                  c.at)
            << support::utf8(c.text) << " / " << support::utf8(c.needle);
    }
    // The length bounds the search, whatever follows.
    EXPECT_EQ(findIgnoringCase("abSync.", 6, "Sync.", 5), npos);
}

} // namespace
