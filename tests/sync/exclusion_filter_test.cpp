#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/files.h"
#include "sync/exclusion_filter.h"

namespace {

// ア is 0x83 0x41 and ヂ 0x83 0x61: their second bytes are "A" and "a". ャ is 0x83 0x83, so
// "ャA" ends in the bytes of ア without holding it. ポ ends in "|"; ソ, 表, 能 and 予 end in
// 0x5C, the byte of "\". Ａ and ａ are full-width, ｱ is a single half-width byte.
struct MatchCase {
    const char* pattern;
    const char* folder; // the folder that holds the entry, below the definition's folder
    const char* name;
    bool isFolder;
    bool excluded;
};

TEST(ExclusionFilterTest, WhatEachPatternMatches) {
    const MatchCase cases[] = {
        // A name at any depth; ASCII letters in either case.
        {"Thumbs.db", "", "Thumbs.db", false, true},
        {"Thumbs.db", "写真\\旅行", "THUMBS.DB", false, true},
        {"Thumbs.db", "", "Thumbs.db.bak", false, false},
        {"Thumbs.db", "", "xThumbs.db", false, false},
        {"desktop.ini", "表", "Desktop.ini", true, true}, // without "\" at the end, folders too
        // "*" within a name, over double-byte characters.
        {"*表*", "", "一覧表.xls", false, true},
        {"*表*", "", "表", false, true},
        {"*表*", "", "一覧.xls", false, false},
        {"~$*", "ソ", "~$報告書.docx", false, true},
        {"~$*", "", "報告書.docx", false, false},
        {"~$*", "", "~報告書$.docx", false, false},
        {"*.tmp", "", "下書き.TMP", false, true},
        {"*.tmp", "", ".tmp", false, true},
        {"*.tmp", "", "a.tmpx", false, false},
        {"*.tmp", "", "atmp", false, false},
        {"*a*b", "", "XAyB", false, true},
        {"*ab", "", "aab", false, true},
        {"*", "能", "何でも", true, true},
        // "?" is one character, whatever its width.
        {"?.txt", "", "ア.txt", false, true},
        {"?.txt", "", "ｱ.txt", false, true},
        {"?.txt", "", "a.txt", false, true},
        {"?.txt", "", "ab.txt", false, false},
        {"?.txt", "", "アア.txt", false, false},
        {"?.txt", "", ".txt", false, false},
        {"能力?", "", "能力表", false, true},
        {"能力?", "", "能力", false, false},
        // A trail byte is never a letter to fold, nor the start of a character.
        {"ア*", "", "ヂ.txt", false, false},
        {"ヂ*", "", "ア.txt", false, false},
        {"*ア", "", "ャA", false, false},
        {"*ア", "", "ャア", false, true},
        {"ポ*", "", "ポスター.png", false, true},
        {"ソ", "", "ソソ", false, false},
        {"予定表", "", "予定表", false, true},
        // Full-width and half-width are different characters.
        {"Ａ*", "", "Ａ.txt", false, true},
        {"Ａ*", "", "A.txt", false, false},
        {"Ａ*", "", "ａ.txt", false, false},
        {"a*", "", "Ａ.txt", false, false},
        {"ｱ*", "", "ア.txt", false, false},
        {"ア*", "", "ｱ.txt", false, false},
        // Folders only.
        {"cache\\", "", "cache", true, true},
        {"cache\\", "a\\b", "Cache", true, true},
        {"cache\\", "", "cache", false, false},
        {"表\\", "ソ", "表", true, true},
        {"表\\", "ソ", "表", false, false},
        // A path below the definition's folder, name by name.
        {"写真\\原本", "写真", "原本", true, true},
        {"写真\\原本", "写真", "原本", false, true},
        {"写真\\原本", "", "原本", true, false},
        {"写真\\原本", "旅\\写真", "原本", true, false},
        {"写真\\原本", "写真\\原本", "x.jpg", false, false}, // below it: never walked
        {"cache\\*", "cache", "x.bin", false, true},
        {"cache\\*", "CACHE", "sub", true, true},
        {"cache\\*", "", "cache", true, false},
        {"cache\\*", "a\\cache", "x.bin", false, false},
        {"表\\*", "表", "x", false, true},
        {"表\\*", "予定表", "x", false, false},
        {"ソ\\x.txt", "ソ", "x.txt", false, true},
        {"表ソ\\x.txt", "表ソ", "x.txt", false, true},
        {"ソ\\表\\能", "ソ\\表", "能", false, true},
        {"ソ\\表\\能", "ソ表", "能", false, false},
        {"*\\*.bak", "x", "a.bak", false, true},
        {"*\\*.bak", "", "a.bak", false, false},
        {"*\\*.bak", "x\\y", "a.bak", false, false},
        {"ソ\\表\\", "ソ", "表", true, true},
        {"ソ\\表\\", "ソ", "表", false, false},
        // A leading "\" ties a name to the definition's folder itself.
        {"\\Thumbs.db", "", "thumbs.db", false, true},
        {"\\Thumbs.db", "a", "Thumbs.db", false, false},
        {"\\work\\", "", "Work", true, true},
        {"\\work\\", "", "Work", false, false},
        // Blanks around a pattern are dropped.
        {"  *.bak\t", "", "x.bak", false, true},
    };
    for (const MatchCase& c : cases) {
        ExclusionFilter filter;
        ASSERT_TRUE(filter.add(c.pattern)) << support::utf8(c.pattern);
        EXPECT_EQ(filter.excludes(c.folder, c.name, c.isFolder), c.excluded)
            << support::utf8(c.pattern) << " / " << support::utf8(c.folder) << " / "
            << support::utf8(c.name) << (c.isFolder ? " (folder)" : " (file)");
    }
}

// The usual patterns together, as a definition holds them: any one of them excludes.
TEST(ExclusionFilterTest, SeveralPatternsOfOneDefinition) {
    ExclusionFilter filter;
    EXPECT_TRUE(filter.empty());
    EXPECT_FALSE(filter.excludes("", "Thumbs.db", false));
    for (const char* pattern : {"~$*", "Thumbs.db", "desktop.ini", "*.tmp", "写真\\原本", "x\\"}) {
        ASSERT_TRUE(filter.add(pattern)) << support::utf8(pattern);
    }
    EXPECT_FALSE(filter.empty());
    EXPECT_EQ(filter.patterns(), (std::vector<std::string>{"~$*", "Thumbs.db", "desktop.ini",
                                                           "*.tmp", "写真\\原本", "x\\"}));
    const struct {
        const char* folder;
        const char* name;
        bool isFolder;
        bool excluded;
    } entries[] = {
        {"", "~$a.xlsx", false, true},     {"表", "thumbs.db", false, true},
        {"", "DESKTOP.INI", false, true},  {"ソ\\能", "a.tmp", false, true},
        {"写真", "原本", true, true},      {"能", "x", true, true},
        {"能", "x", false, false},         {"写真", "複製", true, false},
        {"", "報告書.docx", false, false},
    };
    for (const auto& entry : entries) {
        EXPECT_EQ(filter.excludes(entry.folder, entry.name, entry.isFolder), entry.excluded)
            << support::utf8(entry.folder) << " / " << support::utf8(entry.name);
    }
    filter.clear();
    EXPECT_TRUE(filter.empty());
    EXPECT_TRUE(filter.patterns().empty());
    EXPECT_FALSE(filter.excludes("", "~$a.xlsx", false));
}

TEST(ExclusionFilterTest, MalformedPatternsAreRefusedAndMatchNothing) {
    const char* const malformed[] = {
        "",    "  ",  "\t",    "\\", "\\\\", "x\\\\", "a\\\\b", "C:\\temp", "a/b",   "a|b",
        "a<b", "a>b", "\"x\"", ".",  "..",   "..\\x", "x\\.",   "\x01x",    "a\x83", // a lead byte
                                                                                     // without its
                                                                                     // trail
    };
    for (const char* pattern : malformed) {
        ExclusionFilter filter;
        EXPECT_FALSE(filter.add(pattern)) << support::utf8(pattern);
        EXPECT_TRUE(filter.empty());
        EXPECT_TRUE(filter.patterns().empty());
        EXPECT_FALSE(filter.excludes("", "x", false));
        EXPECT_FALSE(filter.excludes("", "a", true));
    }
    // What looks alike but is a name: full-width signs, and trail bytes that are "|" or "\".
    for (const char* pattern : {"ａ／ｂ", "ａ：ｂ", "ポ", "表", "*ソ*", "\\ソ\\"}) {
        ExclusionFilter filter;
        EXPECT_TRUE(filter.add(pattern)) << support::utf8(pattern);
    }
}

} // namespace
