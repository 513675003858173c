#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <algorithm>
#include <iterator>
#include <map>
#include <thread>
#include <vector>

#include "base/scoped_handle.h"
#include "secure/index_container.h"
#include "secure/secure_context.h"
#include "secure/secure_results.h"
#include "secure/store_layout.h"
#include "secure_fixture.h"
#include "support/files.h"

namespace {

using securetest::kNoteName;
using securetest::plainIndexOf;
using securetest::protectIn;
using securetest::Ran;
using securetest::releaseIn;
using securetest::StoreFixture;
using securetest::treeState;
using securetest::TreeState;

int probe(const StoreFixture& fixture) {
    SecureContext context(fixture.root());
    context.setIndexScrambling(1);
    return context.probeKeyRecord();
}

// Opens the file as another program would, for as long as the object lives.
FileHandle holdOpen(const std::string& path, DWORD share) {
    return FileHandle(CreateFileA(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
}

// Replaces the index with the text, kept plain.
bool rewriteIndex(const StoreFixture& fixture, const std::string& text) {
    SetFileAttributesA(fixture.index().c_str(), FILE_ATTRIBUTE_NORMAL);
    return support::writeFile(fixture.index(), text);
}

// The index files put aside in the store root.
std::vector<std::string> asideIndexes(const StoreFixture& fixture) {
    std::vector<std::string> aside;
    for (const std::string& name : support::listFolder(fixture.root())) {
        if (name != "VRSYS") {
            aside.push_back(name);
        }
    }
    return aside;
}

// Three files in two folders, protected with notes, the index kept plain.
struct ThreeFiles {
    StoreFixture fixture;
    std::string doc;
    TreeState before;

    ThreeFiles() {
        const support::TempFolder& temp = fixture.temp();
        temp.file("Doc\\a.txt", "a");
        temp.file("Doc\\表\\b.txt", "b");
        temp.file("Doc\\c.txt", "c");
        doc = temp.at("Doc");
        before = treeState(doc);
    }
    Ran protect(BYTE hide = 0, BYTE scrambling = 0) {
        return protectIn(fixture, "pw", {doc}, hide, scrambling);
    }
    std::string index() const { return support::readFile(fixture.index()); }
    // The files of the tree without the notes.
    std::map<std::string, securetest::FileState> files() const {
        std::map<std::string, securetest::FileState> files = treeState(doc).files;
        for (auto it = files.begin(); it != files.end();) {
            const std::string& name = it->first;
            const bool note =
                name.size() >= kNoteName.size() &&
                name.compare(name.size() - kNoteName.size(), std::string::npos, kNoteName) == 0;
            it = note ? files.erase(it) : std::next(it);
        }
        return files;
    }
};

// Removes the first occurrence of `what` (at or after `from`) from the text.
std::string without(std::string text, const std::string& what, std::size_t from = 0) {
    const std::size_t at = text.find(what, from);
    if (at != std::string::npos) {
        text.erase(at, what.size());
    }
    return text;
}

TEST(DamagedIndexTest, ARecordWhoseValuesCanStillBeReadComesBack) {
    // One tag lost: the record ends where the next one starts, a value where its line ends.
    const std::vector<std::pair<const char*, std::string (*)(const std::string&)>> cases = {
        {"the end tag of the first record",
         [](const std::string& index) { return without(index, "</file>\r\n"); }},
        {"the end tag of the last record",
         [](const std::string& index) {
             std::string text = index;
             text.erase(text.rfind("</file>\r\n"), 9);
             return text;
         }},
        {"the end tag of a place",
         [](const std::string& index) { return without(index, "</store>"); }},
        {"the end tag of a stored name",
         [](const std::string& index) { return without(index, "</secure>"); }},
        {"the end tag of the attributes",
         [](const std::string& index) { return without(index, "</file-attribute>"); }},
        {"the end tag of the key",
         [](const std::string& index) { return without(index, "</sckeyw>"); }},
        {"the end tag of a note",
         [](const std::string& index) { return without(index, "</notetag>"); }},
        {"the root's end tag",
         [](const std::string& index) { return without(index, "</vaultrowan>\r\n"); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.first);
        ThreeFiles area;
        ASSERT_EQ(area.protect().result, secure::kResultDone);
        ASSERT_TRUE(rewriteIndex(area.fixture, scrambleBytes(c.second(area.index()))));

        EXPECT_EQ(probe(area.fixture), secure::kProbeKeyWord);
        const Ran release = releaseIn(area.fixture, "pw");
        EXPECT_EQ(release.result, secure::kResultDone);
        EXPECT_EQ(treeState(area.doc).files, area.before.files);
        EXPECT_TRUE(area.fixture.storedFiles().empty());
        EXPECT_FALSE(support::pathExists(area.fixture.index()));
        // And the area can be set again.
        EXPECT_EQ(area.protect().result, secure::kResultDone);
        EXPECT_EQ(releaseIn(area.fixture, "pw").result, secure::kResultDone);
        EXPECT_EQ(treeState(area.doc).files, area.before.files);
    }
}

TEST(DamagedIndexTest, WhatCannotBePlacedIsKeptAsideAndTheAreaCanBeSetAgain) {
    const std::vector<std::pair<const char*, std::string (*)(const std::string&)>> cases = {
        {"a place lost",
         [](const std::string& index) {
             const std::size_t at = index.find("<store>");
             return index.substr(0, at) + index.substr(index.find("\r\n", at) + 2);
         }},
        {"a stored name garbled",
         [](const std::string& index) {
             std::string text = index;
             text.replace(text.find("<secure>\\Vaultrowan0000") + 22, 1, "x");
             return text;
         }},
        {"two records run together",
         [](const std::string& index) { return without(index, "</file>\r\n<file>\r\n"); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.first);
        ThreeFiles area;
        ASSERT_EQ(area.protect(1).result, secure::kResultDone);
        const std::string damaged = c.second(area.index());
        ASSERT_NE(damaged, area.index());
        ASSERT_TRUE(rewriteIndex(area.fixture, scrambleBytes(damaged)));

        const Ran release = releaseIn(area.fixture, "pw");
        EXPECT_EQ(release.result, secure::kResultDamagedIndexKept);
        // Nothing is deleted: the files that cannot be placed stay in the store, and the
        // index lies beside the store under a dated name, as it was.
        const std::size_t left = area.fixture.storedFiles().size();
        EXPECT_GE(left, 1u);
        EXPECT_EQ(area.files().size() + left, 3u);
        EXPECT_FALSE(support::pathExists(area.fixture.index()));
        const std::vector<std::string> aside = asideIndexes(area.fixture);
        ASSERT_EQ(aside.size(), 1u);
        EXPECT_EQ(aside[0].rfind("Vaultrowan00000-", 0), 0u) << aside[0];
        EXPECT_EQ(support::readFile(area.fixture.root() + "\\" + aside[0]), scrambleBytes(damaged));
        // The user hears how many records and where.
        EXPECT_GE(release.outcome.unreadableRecords, 1u);
        EXPECT_EQ(support::utf8(release.outcome.indexAside),
                  support::utf8(area.fixture.root() + "\\" + aside[0]));

        // The area can be set again; the files left in the store keep their names.
        const std::vector<std::string> leftNames = area.fixture.storedFiles();
        const Ran again = area.protect(1);
        EXPECT_EQ(again.result, secure::kResultDone);
        EXPECT_EQ(releaseIn(area.fixture, "pw").result, secure::kResultDone);
        EXPECT_EQ(area.fixture.storedFiles(), leftNames);
        EXPECT_EQ(area.files().size() + left, 3u);
    }
}

TEST(ReleaseOutcomeTest, AStoredFileFoundNowhereIsReported) {
    ThreeFiles area;
    ASSERT_EQ(area.protect(1, 1).result, secure::kResultDone);
    const std::string gone = area.fixture.storeFolder() + store::storedName(2);
    SetFileAttributesA(gone.c_str(), FILE_ATTRIBUTE_NORMAL);
    ASSERT_TRUE(DeleteFileA(gone.c_str()));
    const Ran release = releaseIn(area.fixture, "pw");
    EXPECT_EQ(release.result, secure::kResultFilesMissing);
    EXPECT_EQ(area.files().size(), 2u);
    ASSERT_EQ(release.outcome.missing.size(), 1u);
    EXPECT_FALSE(support::pathExists(release.outcome.missing[0]));
    EXPECT_EQ(area.before.files.count(release.outcome.missing[0].substr(area.doc.size() + 1)), 1u);
    EXPECT_FALSE(support::pathExists(area.fixture.index()));
    EXPECT_TRUE(area.fixture.storedFiles().empty());
}

TEST(ReleaseOutcomeTest, AnIndexThatCannotBeDeletedIsReported) {
    // A reader (an indexer, the shell reading the store's icon) holds the index open
    // without letting it go: the release reads it and brings every file back, and says
    // that the index is still there.
    ThreeFiles area;
    ASSERT_EQ(area.protect(0, 1).result, secure::kResultDone);
    FileHandle reader = holdOpen(area.fixture.index(), FILE_SHARE_READ | FILE_SHARE_WRITE);
    ASSERT_TRUE(reader.valid());
    EXPECT_EQ(probe(area.fixture), secure::kProbeKeyWord);
    const Ran release = releaseIn(area.fixture, "pw");
    EXPECT_EQ(release.result, secure::kResultIndexNotRemoved);
    EXPECT_EQ(release.outcome.systemError, static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    EXPECT_EQ(area.files(), area.before.files);
    EXPECT_FALSE(support::pathExists(area.doc + "\\" + kNoteName));
    reader.reset();
    // What the index still names is back at its place: the next release only ends it.
    EXPECT_EQ(releaseIn(area.fixture, "pw").result, secure::kResultDone);
    EXPECT_FALSE(support::pathExists(area.fixture.index()));
    EXPECT_EQ(area.files(), area.before.files);
}

TEST(ReleaseOutcomeTest, ABusyIndexIsNoMissingIndex) {
    ThreeFiles area;
    ASSERT_EQ(area.protect(1, 1).result, secure::kResultDone);
    {
        // Held without sharing for longer than the release waits.
        FileHandle holder = holdOpen(area.fixture.index(), 0);
        ASSERT_TRUE(holder.valid());
        SecureContext probing(area.fixture.root());
        probing.setIndexScrambling(1);
        EXPECT_EQ(probing.probeKeyRecord(), secure::kProbeUnreadable);
        EXPECT_EQ(probing.probeError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
        const Ran release = releaseIn(area.fixture, "pw");
        EXPECT_EQ(release.result, secure::kResultIndexUnreadable);
        EXPECT_EQ(release.outcome.systemError, static_cast<DWORD>(ERROR_SHARING_VIOLATION));
        EXPECT_EQ(area.fixture.storedFiles().size(), 3u);
        // A busy index still counts as a set area.
        EXPECT_EQ(protectIn(area.fixture, "pw", {area.fixture.temp().folder("Other")}).result,
                  secure::kResultAlreadySet);
    }
    {
        // Held for a moment only: the release waits for it.
        FileHandle holder = holdOpen(area.fixture.index(), 0);
        ASSERT_TRUE(holder.valid());
        std::thread letGo([&holder] {
            Sleep(1000);
            holder.reset();
        });
        const Ran release = releaseIn(area.fixture, "pw");
        letGo.join();
        EXPECT_EQ(release.result, secure::kResultDone);
        EXPECT_EQ(area.files(), area.before.files);
    }
}

TEST(ReleaseOutcomeTest, NotesAreDeletedOnlyAsTheProtectLeftThem) {
    ThreeFiles area;
    ASSERT_EQ(area.protect(0, 1).result, secure::kResultDone);
    const std::string changed = area.doc + "\\" + kNoteName;
    const std::string held = area.fixture.temp().at("Doc\\表\\" + kNoteName);
    ASSERT_TRUE(support::writeFile(changed, "lock. and my own words"));
    FileHandle holder = holdOpen(held, FILE_SHARE_READ | FILE_SHARE_WRITE);
    ASSERT_TRUE(holder.valid());

    const Ran release = releaseIn(area.fixture, "pw");
    EXPECT_EQ(release.result, secure::kResultNotesLeft);
    holder.reset();
    std::vector<std::string> left = release.outcome.notesLeft;
    std::sort(left.begin(), left.end());
    std::vector<std::string> expected = {changed, held};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(left, expected);
    EXPECT_EQ(support::readFile(changed), "lock. and my own words");
    EXPECT_EQ(support::readFile(held), "lock.");
    EXPECT_EQ(area.files(), area.before.files);
    EXPECT_TRUE(area.fixture.storedFiles().empty());
    EXPECT_FALSE(support::pathExists(area.fixture.index()));
}

TEST(ReleaseOutcomeTest, AnIndexLeftInPlainTextIsReported) {
    // The scrambled index cannot be put in place: a folder stands at its temporary's name.
    ThreeFiles area;
    { SecureContext create(area.fixture.root()); }
    area.fixture.temp().folder("_PWSD\\VRSYS\\Vaultrowan00000.exe.tmp");
    const Ran protect = area.protect(1, 1);
    EXPECT_EQ(protect.result, secure::kResultIndexPlain);
    EXPECT_NE(protect.outcome.systemError, 0u);
    EXPECT_EQ(area.index().substr(0, 5), "<?xml");
    EXPECT_EQ(area.fixture.storedFiles().size(), 3u);
    // The area is set all the same and releases as ever.
    EXPECT_EQ(releaseIn(area.fixture, "pw").result, secure::kResultDone);
    EXPECT_EQ(area.files(), area.before.files);
}

} // namespace
