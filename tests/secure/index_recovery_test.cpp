#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "secure/index_container.h"
#include "secure/index_file.h"
#include "secure/release_operation.h"
#include "secure/secure_context.h"
#include "secure/store_layout.h"
#include "secure_fixture.h"
#include "support/files.h"

namespace {

using securetest::kNoteName;
using securetest::StoreFixture;
using securetest::treeState;
using securetest::TreeState;

const std::string kIndexHeader = "<?xml version='1.0' encoding='Shift-JIS' ?>\r\n";
const std::string kRootStart = "<vaultrowan>\r\n";
const std::string kRootEnd = "</vaultrowan>\r\n";

std::string record(const std::string& store, unsigned long number, DWORD attributes) {
    return "<file>\r\n<store>" + store + "</store>\r\n<secure>" + store::storedName(number) +
           "</secure>\r\n<file-attribute>" + std::to_string(attributes) +
           "</file-attribute>\r\n</file>\r\n";
}

int protect(const StoreFixture& fixture, const std::vector<std::string>& folders, BYTE hide,
            BYTE scrambling, int* result) {
    SecureContext context(fixture.root());
    context.setIndexScrambling(scrambling);
    context.setHideFolders(hide);
    context.setKeyText("pw");
    for (const std::string& folder : folders) {
        context.addFolder(folder);
    }
    const int files = context.startProtect();
    *result = context.resultCode();
    return files;
}

int release(const StoreFixture& fixture, BYTE scrambling, int* result) {
    SecureContext context(fixture.root());
    context.setIndexScrambling(scrambling);
    context.setKeyText("pw");
    const int files = context.startRelease();
    *result = context.resultCode();
    return files;
}

int probe(const StoreFixture& fixture) {
    SecureContext context(fixture.root());
    context.setIndexScrambling(1);
    return context.probeKeyRecord();
}

TEST(CutShortIndexTest, EveryCutReadsAsTheWholeLinesAndRecordsBeforeIt) {
    // The index as a protect writes it, cut after each of its bytes in turn. Each unit
    // (the opening, the key line, a record, a note line) counts once it is complete.
    const std::vector<std::string> units = {
        kIndexHeader + kRootStart,
        "<sckeyw>pass word</sckeyw>\r\n",
        record("\\Doc\\ソ表.txt", 1, 32),
        record("\\Doc\\sub\\b.txt", 2, 1),
        "<notetag>\\Doc\\sub\\" + kNoteName + "</notetag>\r\n",
        record("\\Doc\\c.txt", 3, 32),
        kRootEnd,
    };
    std::string whole;
    std::vector<std::size_t> ends;
    for (const std::string& unit : units) {
        whole += unit;
        ends.push_back(whole.size());
    }
    const std::size_t keyEnd = ends[1];
    for (std::size_t cut = 0; cut <= whole.size(); ++cut) {
        SCOPED_TRACE(cut);
        const std::string text = whole.substr(0, cut);
        std::size_t complete = 0;
        for (std::size_t end : ends) {
            if (end <= cut) {
                complete = end;
            }
        }
        std::string expected;
        if (cut >= ends[ends.size() - 2] + kRootEnd.size() - 2) {
            expected = text; // the root is closed: a complete index
        } else if (cut < kIndexHeader.size() + 12) {
            expected = text; // no root element yet: nothing to complete
        } else {
            expected = whole.substr(0, complete > 0 ? complete : ends[0]) + kRootEnd;
        }
        ASSERT_EQ(support::utf8(completeIndexText(text)), support::utf8(expected));
        EXPECT_EQ(keyRecordOf(text), cut >= keyEnd ? secure::kProbeKeyWord : secure::kProbeNoKey);
        EXPECT_EQ(indexNeverSet(text), cut < keyEnd);
    }
    // Text that is no index of ours is never taken for one cut short.
    for (const std::string& foreign : {std::string("PWSF01"), std::string("garbage"),
                                       kIndexHeader + "<other>\r\n", std::string("\r\n")}) {
        EXPECT_FALSE(indexNeverSet(foreign)) << foreign;
        EXPECT_EQ(completeIndexText(foreign), foreign);
    }
}

TEST(CutShortIndexTest, AProtectCutShortReleasesEveryFileThatMoved) {
    // Three files; the protect stopped with two in the store and the last one's record on
    // disk but the file itself not yet moved; the note and the end tag were never written.
    for (const bool insideRecord : {false, true}) {
        SCOPED_TRACE(insideRecord ? "cut inside the last record" : "cut after the last record");
        StoreFixture fixture;
        const support::TempFolder& temp = fixture.temp();
        const std::string doc = temp.folder("Doc");
        temp.file("Doc\\a.txt", "a");
        temp.file("Doc\\表.txt", "b");
        temp.file("Doc\\c.txt", "c");
        const TreeState before = treeState(doc);
        int result = -1;
        ASSERT_EQ(protect(fixture, {doc}, 0, 0, &result), 3);
        const std::string full = support::readFile(fixture.index());
        const std::size_t last = full.rfind("<file>\r\n");
        const std::size_t lastEnd = full.find("</file>\r\n", last) + 9;
        const std::size_t storeAt = full.find("<store>", last) + 7;
        const std::string place =
            doc.substr(0, 2) + full.substr(storeAt, full.find("</store>", storeAt) - storeAt);
        const std::size_t secureAt = full.find("<secure>", last) + 8;
        const std::string stored =
            fixture.storeFolder() +
            full.substr(secureAt, full.find("</secure>", secureAt) - secureAt);
        ASSERT_TRUE(MoveFileA(stored.c_str(), place.c_str()));
        ASSERT_TRUE(SetFileAttributesA(place.c_str(), FILE_ATTRIBUTE_ARCHIVE));
        ASSERT_TRUE(DeleteFileA((doc + "\\" + kNoteName).c_str()));
        SetFileAttributesA(fixture.index().c_str(), FILE_ATTRIBUTE_NORMAL);
        ASSERT_TRUE(support::writeFile(fixture.index(),
                                       full.substr(0, insideRecord ? last + 11 : lastEnd)));

        EXPECT_EQ(probe(fixture), secure::kProbeKeyWord);
        EXPECT_EQ(release(fixture, 1, &result), insideRecord ? 2 : 3);
        EXPECT_EQ(result, secure::kResultDone);
        const TreeState after = treeState(doc);
        EXPECT_EQ(after.files, before.files);
        EXPECT_TRUE(fixture.storedFiles().empty());
        EXPECT_FALSE(support::pathExists(fixture.index()));
    }
}

TEST(CutShortIndexTest, AnIndexWithoutKeyOrFileIsNoAreaAndTheNextProtectReplacesIt) {
    const std::vector<std::pair<const char*, std::string>> unset = {
        {"empty", ""},
        {"part of the header", kIndexHeader.substr(0, 10)},
        {"the opening lines", kIndexHeader + kRootStart},
        {"a key line cut short", kIndexHeader + kRootStart + "<sckeyw>pas"},
    };
    for (const auto& c : unset) {
        SCOPED_TRACE(c.first);
        StoreFixture fixture;
        const std::string doc = fixture.temp().folder("Doc");
        fixture.temp().file("Doc\\a.txt", "a");
        { SecureContext create(fixture.root()); }
        ASSERT_TRUE(support::writeFile(fixture.index(), c.second));
        EXPECT_EQ(probe(fixture), secure::kProbeNoKey);
        int result = -1;
        EXPECT_EQ(release(fixture, 1, &result), 0);
        EXPECT_EQ(result, secure::kResultNoIndex);
        EXPECT_EQ(support::readFile(fixture.index()), c.second);

        EXPECT_EQ(protect(fixture, {doc}, 1, 1, &result), 1);
        EXPECT_EQ(result, secure::kResultDone);
        EXPECT_EQ(probe(fixture), secure::kProbeKeyWord);
        EXPECT_EQ(release(fixture, 1, &result), 1);
        EXPECT_EQ(result, secure::kResultDone);
        EXPECT_EQ(support::readFile(fixture.temp().at("Doc\\a.txt")), "a");
    }

    // An index that is damaged, not cut short, still counts as set: it may name files.
    StoreFixture fixture;
    const std::string doc = fixture.temp().folder("Doc");
    fixture.temp().file("Doc\\a.txt", "a");
    { SecureContext create(fixture.root()); }
    for (const std::string& damaged : {std::string("PWSF01"), std::string("garbage"),
                                       kIndexHeader + kRootStart + "<sckeyw>pw</sckeyw>\r\n"}) {
        ASSERT_TRUE(support::writeFile(fixture.index(), damaged));
        int result = -1;
        EXPECT_EQ(protect(fixture, {doc}, 1, 1, &result), 0);
        EXPECT_EQ(result, secure::kResultAlreadySet);
        EXPECT_EQ(support::readFile(fixture.index()), damaged);
        EXPECT_EQ(support::readFile(fixture.temp().at("Doc\\a.txt")), "a");
    }
}

TEST(RecordValueTest, OnlyStoredNamesAndPlacesOnTheDrive) {
    struct Case {
        const char* value;
        bool valid;
    };
    const Case storedNames[] = {
        {"\\Vaultrowan00001.exe", true},
        {"\\Vaultrowan99999.exe", true},
        {"\\Vaultrowan100000.exe", true},
        {"\\Vaultrowan00000.exe", false}, // the index itself
        {"\\Vaultrowan0001.exe", false},
        {"\\Vaultrowan0000a.exe", false},
        {"\\Vaultrowan00001.exe ", false},
        {"Vaultrowan00001.exe", false},
        {"\\vaultrowan00001.exe", false},
        {"\\Vaultrowan00001.EXE", false},
        {"\\..\\Vaultrowan00001.exe", false},
        {"\\Vaultrowan\\00001.exe", false},
        {"\\Vaultrowan-0001.exe", false},
        {"\\Desktop.ini", false},
        {"", false},
    };
    for (const Case& c : storedNames) {
        EXPECT_EQ(isStoredNameValue(c.value), c.valid) << c.value;
    }

    const Case places[] = {
        {"\\Doc\\a.txt", true},
        {"\\Doc\\ソ\\表.txt", true}, // second bytes 0x5C are no separators
        {"\\Doc\\with space .txt", true},
        {"\\Doc\\..\\a.txt", false},
        {"\\Doc\\.\\a.txt", false},
        {"\\..", false},
        {"\\Doc\\a*.txt", false},
        {"\\Doc\\a?.txt", false},
        {"\\Doc\\a.txt:stream", false},
        {"\\Doc/../a.txt", false},
        {"\\Doc\\\\a.txt", false},
        {"\\Doc\\", false},
        {"\\", false},
        {"Doc\\a.txt", false},
        {"\\Doc\\a\ttab.txt", false},
        {"", false},
    };
    for (const Case& c : places) {
        EXPECT_EQ(isPlaceValue("D:", c.value), c.valid) << support::utf8(c.value);
    }
    // With the drive, the path must stay below MAX_PATH.
    const std::string longest = "\\" + std::string(MAX_PATH - 4, 'a');
    EXPECT_TRUE(isPlaceValue("D:", longest));
    EXPECT_FALSE(isPlaceValue("D:", longest + "a"));
}

TEST(SecureNoteTest, ANoteNeverStandsInTheWayOfAFileOrOfTheNextRelease) {
    StoreFixture fixture;
    const support::TempFolder& temp = fixture.temp();
    // A file of the user's with the note's name, and a note an earlier protect left.
    const std::string mine = temp.file("Mine\\" + kNoteName, "my own text");
    temp.file("Mine\\a.txt", "a");
    const std::string left = temp.file("Left\\" + kNoteName, "lock.");
    temp.file("Left\\b.txt", "b");
    temp.file("Hidden\\" + kNoteName, "lock.");
    temp.file("Hidden\\c.txt", "c");
    const std::string mineFolder = temp.at("Mine");
    const std::string leftFolder = temp.at("Left");
    const std::string hiddenFolder = temp.at("Hidden");
    const TreeState mineBefore = treeState(mineFolder);

    int result = -1;
    EXPECT_EQ(protect(fixture, {mineFolder, leftFolder}, 0, 1, &result), 3);
    EXPECT_EQ(result, secure::kResultDone);
    EXPECT_EQ(fixture.storedFiles().size(), 3u); // the leftover note is not stored
    EXPECT_EQ(support::readFile(mine), "lock.");
    EXPECT_EQ(support::readFile(left), "lock.");
    EXPECT_EQ(release(fixture, 1, &result), 3);
    EXPECT_EQ(result, secure::kResultDone);
    const TreeState mineAfter = treeState(mineFolder);
    EXPECT_EQ(mineAfter.files, mineBefore.files);
    EXPECT_EQ(support::listFolder(leftFolder), std::vector<std::string>{"b.txt"});
    EXPECT_TRUE(fixture.storedFiles().empty());

    // Hidden folders get no note: a leftover one goes, and the folder with it.
    EXPECT_EQ(protect(fixture, {hiddenFolder}, 1, 1, &result), 1);
    EXPECT_EQ(result, secure::kResultDone);
    EXPECT_FALSE(support::pathExists(hiddenFolder));
    EXPECT_EQ(release(fixture, 1, &result), 1);
    EXPECT_EQ(support::listFolder(hiddenFolder), std::vector<std::string>{"c.txt"});
}

} // namespace
