#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "base/scoped_handle.h"
#include "secure/secure_context.h"
#include "secure/secure_results.h"
#include "secure_fixture.h"
#include "support/files.h"
#include "support/report_window.h"
#include "support/unix_access.h"

namespace {

using securetest::kNoteName;
using securetest::plainIndexOf;
using securetest::protectIn;
using securetest::Ran;
using securetest::releaseIn;
using securetest::StoreFixture;
using securetest::treeState;
using securetest::TreeState;

std::wstring wideOf(const std::string& ansi) {
    const int length =
        MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), &wide[0], length);
    return wide;
}

// Whether a note file stands anywhere in the tree.
bool anyNote(const std::string& folder) {
    for (const auto& entry : treeState(folder).files) {
        const std::string& name = entry.first;
        if (name.size() >= kNoteName.size() &&
            name.compare(name.size() - kNoteName.size(), std::string::npos, kNoteName) == 0) {
            return true;
        }
    }
    return false;
}

TEST(ProtectRecordRuleTest, AFileWhoseRecordTheReleaseWouldRefuseStaysInPlace) {
    // Paths are counted in bytes at release and in characters by the move: a path of many
    // double-byte characters may move and yet not come back. The cut lies at 259 bytes.
    StoreFixture fixture;
    const support::TempFolder& temp = fixture.temp();
    const std::string doc = temp.folder("Doc");
    temp.file("Doc\\a.txt", "a");
    std::string deep = "Doc";
    for (int level = 0; level < 3; ++level) {
        deep += "\\" + std::string("表") + std::string(58, static_cast<char>('k' + level));
    }
    const std::string deepFolder = temp.folder(deep);
    // Names that put the whole path at 259 bytes (the longest a record takes) and at 260.
    const std::size_t room = 259 - deepFolder.size() - 1;
    ASSERT_GT(room, 12u);
    std::string fits = "能";
    fits += std::string(room - fits.size(), 'f');
    std::string over = "能";
    over += std::string(room + 1 - over.size(), 'o');
    const std::string fitting = temp.file(deep + "\\" + fits, "fits");
    const std::string tooLong = temp.file(deep + "\\" + over, "too long");
    ASSERT_EQ(fitting.size(), 259u);
    ASSERT_EQ(tooLong.size(), 260u);

    const Ran protect = protectIn(fixture, "pw", {doc}, 0);
    EXPECT_EQ(protect.result, secure::kResultNotAllProtected);
    EXPECT_EQ(protect.outcome.leftInPlace, 1u);
    EXPECT_EQ(protect.files, 3);
    EXPECT_EQ(support::readFile(tooLong), "too long");
    EXPECT_FALSE(support::pathExists(fitting));
    EXPECT_FALSE(support::pathExists(temp.at("Doc\\a.txt")));
    EXPECT_EQ(fixture.storedFiles().size(), 2u);
    // The folders that still hold it say nothing of being protected.
    EXPECT_FALSE(anyNote(doc));
    EXPECT_EQ(plainIndexOf(fixture).find(over), std::string::npos);

    const Ran release = releaseIn(fixture, "pw");
    EXPECT_EQ(release.result, secure::kResultDone);
    EXPECT_EQ(support::readFile(fitting), "fits");
    EXPECT_EQ(support::readFile(temp.at("Doc\\a.txt")), "a");
    EXPECT_EQ(support::readFile(tooLong), "too long");
    EXPECT_TRUE(fixture.storedFiles().empty());
    EXPECT_FALSE(support::pathExists(fixture.index()));
}

TEST(ProtectFolderSpellingTest, EverySpellingOfAFolderComesBackWhole) {
    struct Case {
        const char* what;
        std::string (*spell)(const std::string& root);
    };
    const Case cases[] = {
        {"a doubled separator", [](const std::string& root) { return root + "\\Doc\\\\sub"; }},
        {"a forward slash", [](const std::string& root) { return root + "\\Doc/sub"; }},
        {"a dot part", [](const std::string& root) { return root + "\\Doc\\.\\sub"; }},
        {"a dot-dot part", [](const std::string& root) { return root + "\\x\\..\\Doc\\sub"; }},
        {"a trailing dot part", [](const std::string& root) { return root + "\\Doc\\sub\\."; }},
        {"the drive letter in lower case",
         [](const std::string& root) { return "d" + root.substr(1) + "\\Doc\\sub"; }},
        {"other letter case", [](const std::string& root) { return root + "\\DOC\\SUB"; }},
    };
    for (const BYTE hide : {BYTE(0), BYTE(1)}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.what) + (hide ? ", hidden" : ", notes"));
            StoreFixture fixture;
            const support::TempFolder& temp = fixture.temp();
            temp.file("Doc\\sub\\a.txt", "a");
            temp.file("Doc\\sub\\ソ\\表.txt", "b");
            temp.file("Doc\\beside.txt", "c");
            const std::string doc = temp.at("Doc");
            const TreeState before = treeState(doc);

            const Ran protect = protectIn(fixture, "pw", {c.spell(temp.path())}, hide);
            EXPECT_EQ(protect.result, secure::kResultDone);
            EXPECT_EQ(protect.files, 2);
            EXPECT_EQ(fixture.storedFiles().size(), 2u);
            // Places are recorded in the folder's one true form.
            const std::string index = plainIndexOf(fixture);
            EXPECT_NE(index.find("<store>" + doc.substr(2) + "\\sub\\a.txt</store>"),
                      std::string::npos)
                << support::utf8(index);

            const Ran release = releaseIn(fixture, "pw");
            EXPECT_EQ(release.result, secure::kResultDone);
            const TreeState after = treeState(doc);
            EXPECT_EQ(after.files, before.files);
            EXPECT_TRUE(fixture.storedFiles().empty());
            EXPECT_FALSE(support::pathExists(fixture.index()));
        }
    }
}

TEST(ProtectFolderSpellingTest, AFolderListedTwiceOrInsideAnotherIsWalkedOnce) {
    StoreFixture fixture;
    const support::TempFolder& temp = fixture.temp();
    temp.file("Doc\\sub\\a.txt", "a");
    temp.file("Doc\\b.txt", "b");
    const std::string doc = temp.at("Doc");
    const TreeState before = treeState(doc);
    const Ran protect =
        protectIn(fixture, "pw", {temp.at("Doc\\sub"), doc, doc + "\\.", temp.at("Doc\\sub")}, 0);
    EXPECT_EQ(protect.result, secure::kResultDone);
    EXPECT_EQ(fixture.storedFiles().size(), 2u);
    const std::string index = plainIndexOf(fixture);
    std::size_t notes = 0;
    for (std::size_t at = index.find("<notetag>"); at != std::string::npos;
         at = index.find("<notetag>", at + 1)) {
        ++notes;
    }
    EXPECT_EQ(notes, 2u) << support::utf8(index);
    EXPECT_EQ(releaseIn(fixture, "pw").result, secure::kResultDone);
    EXPECT_EQ(treeState(doc).files, before.files);
}

TEST(ProtectProgramFolderTest, TheProgramFolderAndTheStoreAreRefusedInAnySpelling) {
    // The program folder lies a level below the folder the test owns, so that a refusal
    // that fails moves nothing but the test's own files.
    support::TempFolder temp;
    const std::string program = temp.folder("program folder");
    const std::string storeRoot = program + "\\_PWSD";
    temp.file("program folder\\Pairwarden.ini", "ini");
    temp.file("program folder\\SyncDef.txt", "Sync.");
    temp.file("other\\o.txt", "o");
    { SecureContext create(storeRoot); }
    char shortName[MAX_PATH] = {};
    const DWORD shortLength = GetShortPathNameA(program.c_str(), shortName, MAX_PATH);
    ASSERT_GT(shortLength, 0u);
    ASSERT_NE(std::string(shortName), program) << "no short name to test with";

    const std::string unixProgram = support::unixPathOf(program);
    const std::string link = temp.at("link");
    struct Links {
        std::string path;
        ~Links() { support::runUnixCommand("rm -f '" + path + "'"); }
    } links{support::unixPathOf(temp.path()) + "/link"};
    ASSERT_TRUE(support::runUnixCommand("ln -s '" + unixProgram + "' '" + links.path + "'"));
    ASSERT_TRUE(support::pumpMessagesUntil(
        [&] { return support::pathExists(link + "\\Pairwarden.ini"); }, 5000));
    const TreeState before = treeState(program);

    const std::vector<std::pair<const char*, std::string>> cases = {
        {"a doubled separator", temp.path() + "\\\\program folder"},
        {"a trailing dot part", program + "\\."},
        {"through a dot-dot part", temp.path() + "\\other\\..\\program folder"},
        {"a forward slash", temp.path() + "/program folder"},
        {"its short name", shortName},
        {"a link to it", link},
        {"the folder holding it, with a dot part", program + "\\.."},
        {"the store with a dot part", program + "\\.\\_PWSD"},
        {"the store folder with a doubled separator", storeRoot + "\\\\VRSYS"},
        {"below the store", storeRoot + "\\VRSYS\\x\\.."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.first);
        SecureContext context(storeRoot);
        context.setKeyText("pw");
        context.setHideFolders(0);
        context.addFolder(c.second);
        EXPECT_EQ(context.startProtect(), 0);
        EXPECT_EQ(context.resultCode(), secure::kResultShortPath);
        EXPECT_FALSE(support::pathExists(storeRoot + "\\VRSYS\\Vaultrowan00000.exe"));
        const TreeState after = treeState(program);
        EXPECT_EQ(after.files, before.files);
        EXPECT_EQ(support::readFile(temp.at("other\\o.txt")), "o");
    }
}

TEST(ProtectListingTest, AFolderThatCannotBeListedIsNoEmptyFolder) {
    // A subfolder the user may not read, and one whose name the code page cannot hold:
    // their files stay, and neither they nor any folder above them is called protected.
    for (const bool unreadable : {true, false}) {
        for (const BYTE hide : {BYTE(0), BYTE(1)}) {
            SCOPED_TRACE(std::string(unreadable ? "unreadable" : "name the code page cannot hold") +
                         (hide ? ", hidden" : ", notes"));
            StoreFixture fixture;
            const support::TempFolder& temp = fixture.temp();
            temp.file("Doc\\a.txt", "a");
            temp.file("Doc\\open\\b.txt", "b");
            const std::string doc = temp.at("Doc");
            const std::string middle = temp.folder("Doc\\middle");
            std::wstring wideFolder;
            std::unique_ptr<support::UnreadableFolder> closed;
            if (unreadable) {
                temp.file("Doc\\middle\\閉じた\\c.txt", "c");
                closed.reset(new support::UnreadableFolder(temp.at("Doc\\middle\\閉じた")));
                ASSERT_TRUE(closed->effective());
            } else {
                wideFolder = wideOf(middle) + L"\\caf\u00e9";
                ASSERT_TRUE(CreateDirectoryW(wideFolder.c_str(), nullptr));
                FileHandle file(CreateFileW((wideFolder + L"\\c.txt").c_str(), GENERIC_WRITE, 0,
                                            nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
                ASSERT_TRUE(file.valid());
            }

            const Ran protect = protectIn(fixture, "pw", {doc}, hide);
            EXPECT_EQ(protect.result, secure::kResultNotAllProtected);
            EXPECT_FALSE(support::pathExists(temp.at("Doc\\a.txt")));
            EXPECT_FALSE(support::pathExists(temp.at("Doc\\open\\b.txt")));
            // The folder that was listed whole is protected as ever; the others are not.
            EXPECT_EQ(support::pathExists(temp.at("Doc\\open\\" + kNoteName)), hide == 0);
            EXPECT_FALSE(support::pathExists(doc + "\\" + kNoteName));
            EXPECT_FALSE(support::pathExists(middle + "\\" + kNoteName));
            EXPECT_TRUE(support::pathExists(middle));
            if (unreadable) {
                closed.reset();
                EXPECT_EQ(support::readFile(temp.at("Doc\\middle\\閉じた\\c.txt")), "c");
                EXPECT_FALSE(support::pathExists(temp.at("Doc\\middle\\閉じた\\" + kNoteName)));
            } else {
                EXPECT_NE(GetFileAttributesW((wideFolder + L"\\c.txt").c_str()),
                          INVALID_FILE_ATTRIBUTES);
            }
            EXPECT_EQ(plainIndexOf(fixture).find("<notetag>" + doc.substr(2) + "\\" + kNoteName),
                      std::string::npos);

            const Ran release = releaseIn(fixture, "pw");
            EXPECT_EQ(release.result, secure::kResultDone);
            EXPECT_EQ(support::readFile(temp.at("Doc\\a.txt")), "a");
            EXPECT_EQ(support::readFile(temp.at("Doc\\open\\b.txt")), "b");
            EXPECT_TRUE(fixture.storedFiles().empty());
            if (!unreadable) {
                DeleteFileW((wideFolder + L"\\c.txt").c_str());
                RemoveDirectoryW(wideFolder.c_str());
            }
        }
    }
}

TEST(ProtectListingTest, ANameTheCodePageCallsWouldChangeStaysWhereItIs) {
    // Written from the Linux side: "data." and "data" are two files there, while a move of
    // "data." through the code-page calls reaches "data"; "a:b" would name a stream of "a".
    StoreFixture fixture;
    const support::TempFolder& temp = fixture.temp();
    const std::string doc = temp.folder("Doc");
    temp.file("Doc\\a.txt", "a");
    ASSERT_TRUE(support::unixCommandSucceeds(
        "printf plain > {0}/data && printf dot > {0}/data. && printf colon > {0}/a:b", {doc}));

    const Ran protect = protectIn(fixture, "pw", {doc}, 0);
    EXPECT_EQ(protect.result, secure::kResultNotAllProtected);
    EXPECT_EQ(fixture.storedFiles().size(), 2u);
    EXPECT_FALSE(support::pathExists(doc + "\\" + kNoteName));
    EXPECT_EQ(releaseIn(fixture, "pw").result, secure::kResultDone);
    EXPECT_TRUE(support::unixCommandSucceeds("test \"$(cat {0}/data)\" = plain && "
                                             "test \"$(cat {0}/data.)\" = dot && "
                                             "test \"$(cat {0}/a:b)\" = colon",
                                             {doc}));
    EXPECT_EQ(support::readFile(doc + "\\a.txt"), "a");
    EXPECT_TRUE(fixture.storedFiles().empty());
}

TEST(ProtectNoteTest, ALeftoverTemporaryOfANoteIsNeverStored) {
    // A protect cut short while it wrote a note leaves the note's temporary beside it.
    StoreFixture fixture;
    const support::TempFolder& temp = fixture.temp();
    temp.file("Doc\\a.txt", "a");
    const std::string leftover = temp.file("Doc\\" + kNoteName + ".tmp", "lo");
    // A file of the user's that merely bears a like name is the user's.
    const std::string mine = temp.file("Mine\\" + kNoteName + ".tmp", "my notes");
    const std::string doc = temp.at("Doc");
    const std::string mineFolder = temp.at("Mine");
    const Ran protect = protectIn(fixture, "pw", {doc, mineFolder}, 0);
    EXPECT_EQ(protect.result, secure::kResultDone);
    EXPECT_EQ(fixture.storedFiles().size(), 2u);
    EXPECT_EQ(support::listFolder(doc), std::vector<std::string>{kNoteName});
    EXPECT_FALSE(support::pathExists(mine));

    EXPECT_EQ(releaseIn(fixture, "pw").result, secure::kResultDone);
    EXPECT_EQ(support::listFolder(doc), std::vector<std::string>{"a.txt"});
    EXPECT_EQ(support::readFile(mine), "my notes");
}

} // namespace
