#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "secure/index_query.h"
#include "secure/index_tags.h"
#include "support/files.h"

namespace {

// An index as the protect operation writes it: a key word with blanks, three file
// records (the second in a folder whose name ends in the byte 0x5C), two notes.
const std::string kIndex = "<?xml version='1.0' encoding='Shift-JIS' ?>\r\n"
                           "<vaultrowan>\r\n"
                           "<sckeyw> pass word </sckeyw>\r\n"
                           "<file>\r\n"
                           "<store>\\Doc\\a.txt</store>\r\n"
                           "<secure>\\Vaultrowan00001.exe</secure>\r\n"
                           "<file-attribute>32</file-attribute>\r\n"
                           "</file>\r\n"
                           "<file>\r\n"
                           "<store>\\Doc\\ソ\\表 1.txt</store>\r\n"
                           "<secure>\\Vaultrowan00002.exe</secure>\r\n"
                           "<file-attribute>35</file-attribute>\r\n"
                           "</file>\r\n"
                           "<notetag>\\Doc\\ソ\\note</notetag>\r\n"
                           "<file>\r\n"
                           "<store>\\Doc\\c.txt</store>\r\n"
                           "<secure>\\Vaultrowan00003.exe</secure>\r\n"
                           "<file-attribute>1</file-attribute>\r\n"
                           "</file>\r\n"
                           "<notetag>\\Doc\\note</notetag>\r\n"
                           "</vaultrowan>\r\n";

const std::string kFirstRecord = "<store>\\Doc\\a.txt</store>\r\n"
                                 "<secure>\\Vaultrowan00001.exe</secure>\r\n"
                                 "<file-attribute>32</file-attribute>";

// A record as the release hands it to its second query: no line ends around the fields.
const std::string kRecord = "<file><store>\\Doc\\ソ\\表 1.txt</store>\r\n"
                            "<secure>\\Vaultrowan00002.exe</secure>\r\n"
                            "<file-attribute>35</file-attribute></file>";

const std::string kUpperCase = "<?xml version='1.0' encoding='Shift-JIS' ?>\r\n"
                               "<VAULTROWAN>\r\n<SckeyF>D:\\鍵\\ソ.dat</SCKEYF>\r\n"
                               "<FILE>\r\n<Store>\\x</Store>\r\n</FILE>\r\n</VAULTROWAN>\r\n";

const std::string kNoRecords = "<vaultrowan>\r\n<sckeyw>k</sckeyw>\r\n</vaultrowan>\r\n";

// Inside every value the line ends next to the tags go, the others stay.
const std::string kLineEnds = "<r>\r\n<v>\r\n\r\n a \r\n b \n\r</v>\r\n<e />\r\n<e>x</e>\r\n</r>";

struct QueryCase {
    const char* what;
    const std::string* document;
    std::string path;
    bool found;
    std::string value;
    unsigned count; // only looked at when found
};

TEST(IndexQueryTest, SelectsValuesAndCountsAsTheIndexIsRead) {
    const std::string empty;
    const std::vector<QueryCase> cases = {
        {"empty document", &empty, "/vaultrowan/sckeyw", false, "", 0},
        {"key word, blanks kept", &kIndex, "/vaultrowan/sckeyw", true, " pass word ", 1},
        {"no key file element", &kIndex, "/vaultrowan/sckeyf", false, "", 0},
        {"records, not file-attribute", &kIndex, "/vaultrowan/file", true, kFirstRecord, 3},
        {"first record", &kIndex, "/vaultrowan/file[0]", true, kFirstRecord, 3},
        {"third record", &kIndex, "/vaultrowan/file[2]", true,
         "<store>\\Doc\\c.txt</store>\r\n<secure>\\Vaultrowan00003.exe</secure>\r\n"
         "<file-attribute>1</file-attribute>",
         3},
        {"index past the last record", &kIndex, "/vaultrowan/file[3]", false, "", 0},
        {"notes", &kIndex, "/vaultrowan/notetag", true, "\\Doc\\ソ\\note", 2},
        {"second note", &kIndex, "/vaultrowan/notetag[1]", true, "\\Doc\\note", 2},
        {"no note record", &kNoRecords, "/vaultrowan/notetag", false, "", 0},
        {"no file record", &kNoRecords, "/vaultrowan/file", false, "", 0},
        {"store of a record", &kRecord, "/file/store", true, "\\Doc\\ソ\\表 1.txt", 1},
        {"secure of a record", &kRecord, "/file/secure", true, "\\Vaultrowan00002.exe", 1},
        {"attributes of a record", &kRecord, "/file/file-attribute", true, "35", 1},
        {"upper-case tags", &kUpperCase, "/vaultrowan/sckeyf", true, "D:\\鍵\\ソ.dat", 1},
        {"upper-case records", &kUpperCase, "/vaultrowan/file", true, "<Store>\\x</Store>", 1},
        {"line ends around a value", &kLineEnds, "/r/v", true, " a \r\n b ", 1},
        {"empty-element form", &kLineEnds, "/r/e", true, "", 2},
        {"second after the empty one", &kLineEnds, "/r/e[1]", true, "x", 2},
        {"brackets without a number", &kIndex, "/vaultrowan/file[x]", false, "", 0},
        {"bracket not closed", &kIndex, "/vaultrowan/file[1", false, "", 0},
        {"empty brackets", &kIndex, "/vaultrowan/file[]", false, "", 0},
        {"unknown element", &kIndex, "/vaultrowan/folder", false, "", 0},
        {"outside the root", &kIndex, "/other/file", false, "", 0},
    };
    for (const QueryCase& c : cases) {
        SCOPED_TRACE(c.what);
        IndexQuery query;
        query.load(*c.document);
        EXPECT_EQ(query.select(c.path), c.found) << c.path;
        EXPECT_EQ(support::utf8(query.value()), support::utf8(c.value));
        if (c.found) {
            EXPECT_EQ(query.count(), c.count);
        }
    }
}

TEST(IndexQueryTest, AFailedSelectLeavesNothingSelectedAndLoadKeepsTheSelection) {
    IndexQuery query;
    query.load(kIndex);
    ASSERT_TRUE(query.select("/vaultrowan/file[1]"));
    EXPECT_FALSE(query.select("/vaultrowan/file[7]"));
    EXPECT_EQ(query.value(), "");

    // The release loads the record text into a second query; the first keeps its own.
    ASSERT_TRUE(query.select("/vaultrowan/notetag[0]"));
    query.load(kRecord);
    EXPECT_EQ(support::utf8(query.value()), support::utf8("\\Doc\\ソ\\note"));
    EXPECT_EQ(query.count(), 2u);
    ASSERT_TRUE(query.select("/file/store"));
    EXPECT_EQ(support::utf8(query.value()), support::utf8("\\Doc\\ソ\\表 1.txt"));

    // Walking every record in order, as a release does, finds each one once.
    query.load(kIndex);
    ASSERT_TRUE(query.select("/vaultrowan/file"));
    const unsigned records = query.count();
    std::vector<std::string> secure;
    IndexQuery record;
    for (unsigned i = 0; i < records; ++i) {
        ASSERT_TRUE(query.select("/vaultrowan/file[" + std::to_string(i) + "]"));
        record.load(indextag::start("file") + query.value() + indextag::end("file"));
        ASSERT_TRUE(record.select("/file/secure"));
        secure.push_back(record.value());
    }
    EXPECT_EQ(secure, (std::vector<std::string>{"\\Vaultrowan00001.exe", "\\Vaultrowan00002.exe",
                                                "\\Vaultrowan00003.exe"}));
}

TEST(IndexQueryTest, TagSearchStepsOverDoubleByteCharacters) {
    // 0x83 0x41 is "ア": its second byte is "A", which a byte-wise case-insensitive search
    // would take for the "a" of a name.
    const std::string document = "<r><\x83\x41x>1</\x83\x41x><\x83\x61x>2</\x83\x61x></r>";
    IndexQuery query;
    query.load(document);
    ASSERT_TRUE(query.select("/r/\x83\x61x"));
    EXPECT_EQ(query.value(), "2");
    EXPECT_EQ(query.count(), 1u);
}

TEST(IndexTagsTest, BuildsTheTagTexts) {
    EXPECT_EQ(indextag::start("file"), "<file>");
    EXPECT_EQ(indextag::startLine("file"), "<file>\r\n");
    EXPECT_EQ(indextag::end("file"), "</file>");
    EXPECT_EQ(indextag::endLine("file"), "</file>\r\n");
    EXPECT_EQ(indextag::valueLine("store", "\\ソ\\a"), "<store>\\ソ\\a</store>\r\n");
}

} // namespace
