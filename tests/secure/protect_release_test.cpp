#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "base/path.h"
#include "base/scoped_handle.h"
#include "secure/index_container.h"
#include "secure/index_query.h"
#include "secure/secure_context.h"
#include "secure/secure_messages.h"
#include "secure/store_layout.h"
#include "secure_fixture.h"
#include "support/files.h"
#include "support/report_window.h"
#include "support/unix_access.h"

namespace {

using securetest::kNoteName;
using securetest::StoreFixture;
using securetest::treeState;
using securetest::TreeState;

const DWORD kVisibleBits = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

const std::string kIndexHeader = "<?xml version='1.0' encoding='Shift-JIS' ?>\r\n";

// The index as text, whatever form it is stored in.
std::string plainIndex(const StoreFixture& fixture) {
    const std::string bytes = support::readFile(fixture.index());
    std::string plain;
    return restoreBytes(bytes.data(), bytes.size(), plain) ? plain : bytes;
}

std::string record(const std::string& store, unsigned long number, DWORD attributes) {
    return "<file>\r\n<store>" + store + "</store>\r\n<secure>" + store::storedName(number) +
           "</secure>\r\n<file-attribute>" + std::to_string(attributes) +
           "</file-attribute>\r\n</file>\r\n";
}

std::string note(const std::string& folder) {
    return "<notetag>" + folder.substr(2) + "\\" + kNoteName + "</notetag>\r\n";
}

int protect(const StoreFixture& fixture, const std::string& key,
            const std::vector<std::string>& folders, BYTE hide, BYTE scrambling, int* result) {
    SecureContext context(fixture.root());
    context.setIndexScrambling(scrambling);
    context.setHideFolders(hide);
    context.setKeyText(key);
    for (const std::string& folder : folders) {
        context.addFolder(folder);
    }
    const int files = context.startProtect();
    *result = context.resultCode();
    return files;
}

int release(const StoreFixture& fixture, const std::string& key, BYTE scrambling, int* result,
            std::string* keyText = nullptr) {
    SecureContext context(fixture.root());
    context.setIndexScrambling(scrambling);
    context.setKeyText(key);
    const int files = context.startRelease();
    *result = context.resultCode();
    if (keyText != nullptr) {
        context.keyText(*keyText);
    }
    return files;
}

bool finishedMessageArrived(const support::ReportWindow& window) {
    for (const support::ReportedMessage& message : window.messages()) {
        if (message.message == kMsgSecureFinished) {
            return true;
        }
    }
    return false;
}

std::vector<std::vector<unsigned>> messagesOf(const support::ReportWindow& window) {
    std::vector<std::vector<unsigned>> seen;
    for (const support::ReportedMessage& message : window.messages()) {
        seen.push_back({message.message - WM_USER, static_cast<unsigned>(message.wParam),
                        static_cast<unsigned>(message.lParam)});
    }
    return seen;
}

TEST(SecureStoreTest, ConstructionCreatesTheHiddenStoreOnce) {
    StoreFixture fixture;
    {
        SecureContext context(fixture.root());
        EXPECT_EQ(context.storeFolder(), fixture.storeFolder());
        EXPECT_EQ(context.resultCode(), 0);
        std::string key = "unchanged";
        EXPECT_FALSE(context.keyText(key));
        EXPECT_EQ(key, "");
    }
    EXPECT_EQ(GetFileAttributesA(fixture.root().c_str()) & kVisibleBits, FILE_ATTRIBUTE_HIDDEN);
    EXPECT_EQ(GetFileAttributesA(fixture.storeFolder().c_str()) & kVisibleBits,
              static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
    const std::string desktop = fixture.storeFolder() + "\\Desktop.ini";
    EXPECT_EQ(support::readFile(desktop), "[.ShellClassInfo]\r\nConfirmFileOp=0\r\n"
                                          "IconFile=Vaultrowan00000.exe\r\nIconIndex=0\r\n");
    EXPECT_EQ(GetFileAttributesA(desktop.c_str()) & kVisibleBits, FILE_ATTRIBUTE_HIDDEN);
    EXPECT_EQ(support::listFolder(fixture.storeFolder()), std::vector<std::string>{"Desktop.ini"});

    // A desktop file the user changed stays as it is.
    SetFileAttributesA(desktop.c_str(), FILE_ATTRIBUTE_NORMAL);
    ASSERT_TRUE(support::writeFile(desktop, "[.ShellClassInfo]\r\n"));
    { SecureContext again(fixture.root()); }
    EXPECT_EQ(support::readFile(desktop), "[.ShellClassInfo]\r\n");

    // A file standing at the store root's place is left alone; nothing can be stored.
    StoreFixture blocked;
    ASSERT_TRUE(support::writeFile(blocked.root(), "not a folder"));
    SecureContext context(blocked.root());
    EXPECT_EQ(support::readFile(blocked.root()), "not a folder");
    EXPECT_EQ(context.probeKeyRecord(), secure::kProbeNoKey);
    EXPECT_EQ(context.startRelease(), 0);
    EXPECT_EQ(context.resultCode(), secure::kResultNoIndex);
}

TEST(SecureStoreTest, StoredNamesKeepFiveDigitsAndGrowBeyond) {
    EXPECT_EQ(store::storedName(1), "\\Vaultrowan00001.exe");
    EXPECT_EQ(store::storedName(7), "\\Vaultrowan00007.exe");
    EXPECT_EQ(store::storedName(123), "\\Vaultrowan00123.exe");
    EXPECT_EQ(store::storedName(99999), "\\Vaultrowan99999.exe");
    EXPECT_EQ(store::storedName(100000), "\\Vaultrowan100000.exe");
    EXPECT_EQ(store::storedName(1234567), "\\Vaultrowan1234567.exe");
}

struct RoundTripCase {
    const char* what;
    bool keyFile;
    BYTE hide;
    BYTE scrambling;
};

TEST(SecureRoundTripTest, EveryFileComesBackByteForByteWithItsAttributes) {
    const std::vector<RoundTripCase> cases = {
        {"password, hidden folders, scrambled index", false, 1, 1},
        {"password, notes, scrambled index", false, 0, 1},
        {"key file, hidden folders, plain index", true, 1, 0},
        {"key file, notes, scrambled index", true, 0, 1},
    };
    for (const RoundTripCase& c : cases) {
        SCOPED_TRACE(c.what);
        StoreFixture fixture;
        const support::TempFolder& temp = fixture.temp();
        std::string bytes;
        for (int i = 0; i < 512; ++i) {
            bytes.push_back(static_cast<char>(i));
        }
        // ソ, 表, 能 and 予 end in the byte of "\".
        temp.file("Doc\\a.txt", "alpha");
        temp.file("Doc\\with space.txt", "  spaced  ");
        temp.file("Doc\\ソ\\表.txt", bytes);
        const std::string plan = temp.file("Doc\\ソ\\能\\予定.dat", "plan");
        temp.file("Doc\\sub\\deep\\empty.bin", "");
        const std::string readOnly = temp.file("Doc\\sub\\read only.txt", "ro");
        ASSERT_TRUE(SetFileAttributesA(readOnly.c_str(), FILE_ATTRIBUTE_READONLY));
        temp.folder("Doc\\空");
        const std::string picture = temp.file("表示\\p.jpg", "jpeg");
        // Hidden first: Wine cannot add it to a file that is read-only already.
        ASSERT_TRUE(SetFileAttributesA(plan.c_str(), FILE_ATTRIBUTE_HIDDEN));
        ASSERT_TRUE(
            SetFileAttributesA(plan.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
        ASSERT_EQ(GetFileAttributesA(plan.c_str()) & kVisibleBits,
                  static_cast<DWORD>(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
        ASSERT_TRUE(
            SetFileAttributesA(picture.c_str(), FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE));
        const std::string doc = temp.at("Doc");
        const std::string pictures = temp.at("表示");
        const TreeState docBefore = treeState(doc);
        const TreeState picturesBefore = treeState(pictures);
        const std::string key = c.keyFile ? temp.file("key.dat", "k") : std::string("pass word");

        int result = -1;
        EXPECT_EQ(protect(fixture, key, {doc, pictures}, c.hide, c.scrambling, &result), 7);
        EXPECT_EQ(result, secure::kResultDone);

        // The files are in the store, hidden, under their numbers.
        const std::vector<std::string> stored = fixture.storedFiles();
        EXPECT_EQ(stored.size(), 7u);
        for (const std::string& name : stored) {
            EXPECT_EQ(GetFileAttributesA((fixture.storeFolder() + "\\" + name).c_str()) &
                          kVisibleBits,
                      FILE_ATTRIBUTE_HIDDEN)
                << name;
        }
        EXPECT_EQ(GetFileAttributesA(fixture.index().c_str()) & kVisibleBits,
                  FILE_ATTRIBUTE_HIDDEN);
        EXPECT_EQ(support::readFile(fixture.index()).substr(0, 8),
                  c.scrambling ? "PWSF0123" : "<?xml ve");
        const std::string index = plainIndex(fixture);
        if (c.hide) {
            EXPECT_FALSE(support::pathExists(doc));
            EXPECT_FALSE(support::pathExists(pictures));
            EXPECT_EQ(index.find("<notetag>"), std::string::npos);
        } else {
            // Every folder keeps exactly one file, the note, and has one note record.
            std::vector<std::string> folders = {doc, pictures};
            for (const std::string& folder : docBefore.folders) {
                folders.push_back(doc + "\\" + folder);
            }
            for (const std::string& folder : folders) {
                std::vector<std::string> files;
                for (const std::string& name : support::listFolder(folder)) {
                    const std::string path = folder + "\\" + name;
                    if ((GetFileAttributesA(path.c_str()) & FILE_ATTRIBUTE_DIRECTORY) == 0) {
                        files.push_back(name);
                        EXPECT_EQ(support::readFile(path), "lock.");
                    }
                }
                EXPECT_EQ(files, std::vector<std::string>{kNoteName}) << support::utf8(folder);
                EXPECT_NE(index.find(note(folder)), std::string::npos) << support::utf8(folder);
            }
            std::size_t notes = 0;
            for (std::size_t at = index.find("<notetag>"); at != std::string::npos;
                 at = index.find("<notetag>", at + 1)) {
                ++notes;
            }
            EXPECT_EQ(notes, folders.size());
        }

        SecureContext probing(fixture.root());
        probing.setIndexScrambling(c.scrambling);
        const std::string onDisk = support::readFile(fixture.index());
        EXPECT_EQ(probing.probeKeyRecord(),
                  c.keyFile ? secure::kProbeKeyFile : secure::kProbeKeyWord);
        EXPECT_EQ(support::readFile(fixture.index()), onDisk);

        std::string keyText;
        EXPECT_EQ(release(fixture, c.keyFile ? "" : "pass word", c.scrambling, &result, &keyText),
                  7);
        EXPECT_EQ(result, secure::kResultDone);
        EXPECT_EQ(support::utf8(keyText), support::utf8(key));

        const TreeState docAfter = treeState(doc);
        EXPECT_EQ(docAfter.files, docBefore.files);
        EXPECT_EQ(treeState(pictures).files, picturesBefore.files);
        std::set<std::string> expectedFolders = docBefore.folders;
        if (c.hide) {
            expectedFolders.erase("空"); // no file below it, so nothing brings it back
        }
        EXPECT_EQ(docAfter.folders, expectedFolders);
        EXPECT_FALSE(support::pathExists(fixture.index()));
        EXPECT_TRUE(fixture.storedFiles().empty());
        EXPECT_EQ(support::listFolder(fixture.storeFolder()),
                  std::vector<std::string>{"Desktop.ini"});
    }
}

TEST(SecureProtectTest, WritesTheIndexLineByLine) {
    // The example index: one folder holding a.txt with attributes 32, notes left, a key
    // file, the index kept plain.
    StoreFixture fixture;
    const std::string doc = fixture.temp().folder("Doc");
    const std::string file = fixture.temp().file("Doc\\a.txt", "a");
    ASSERT_TRUE(SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_ARCHIVE));
    const std::string key = fixture.temp().file("k.dat", "key");
    int result = -1;
    EXPECT_EQ(protect(fixture, key, {doc}, 0, 0, &result), 1);
    EXPECT_EQ(result, secure::kResultDone);
    const std::string expected = kIndexHeader + "<vaultrowan>\r\n<sckeyf>" + key +
                                 "</sckeyf>\r\n<file>\r\n<store>" + doc.substr(2) +
                                 "\\a.txt</store>\r\n<secure>\\Vaultrowan00001.exe</secure>\r\n"
                                 "<file-attribute>32</file-attribute>\r\n</file>\r\n"
                                 "<notetag>" +
                                 doc.substr(2) + "\\" + kNoteName +
                                 "</notetag>\r\n</vaultrowan>\r\n";
    EXPECT_EQ(support::utf8(support::readFile(fixture.index())), support::utf8(expected));

    // With the switch on the same text is stored as a container.
    ASSERT_TRUE(support::writeFile(fixture.index(), ""));
    StoreFixture scrambled;
    const std::string doc2 = scrambled.temp().folder("Doc");
    const std::string file2 = scrambled.temp().file("Doc\\a.txt", "a");
    ASSERT_TRUE(SetFileAttributesA(file2.c_str(), FILE_ATTRIBUTE_ARCHIVE));
    const std::string key2 = scrambled.temp().file("k.dat", "key");
    EXPECT_EQ(protect(scrambled, key2, {doc2}, 0, 1, &result), 1);
    const std::string container = support::readFile(scrambled.index());
    EXPECT_EQ(container.substr(0, 8), "PWSF0123");
    SetFileAttributesA(scrambled.index().c_str(), FILE_ATTRIBUTE_NORMAL);
    ASSERT_TRUE(restoreFile(scrambled.index()));
    const std::string expected2 = kIndexHeader + "<vaultrowan>\r\n<sckeyf>" + key2 +
                                  "</sckeyf>\r\n" + record(doc2.substr(2) + "\\a.txt", 1, 32) +
                                  note(doc2) + "</vaultrowan>\r\n";
    EXPECT_EQ(support::utf8(support::readFile(scrambled.index())), support::utf8(expected2));
}

TEST(SecureProtectTest, NumbersDepthFirstAndReportsEachFolder) {
    StoreFixture fixture;
    const support::TempFolder& temp = fixture.temp();
    temp.file("A\\a.txt", "a");
    temp.file("A\\sub\\b.txt", "b");
    temp.file("B\\c.txt", "c");
    const std::string a = temp.at("A");
    const std::string b = temp.at("B");

    // The index the walk must write, in the order the file system lists the entries.
    std::string records;
    unsigned long number = 1;
    for (const std::string& name : support::listingOrder(a)) {
        if (name == "a.txt") {
            records += record(a.substr(2) + "\\a.txt", number++, 32);
        } else {
            records += record(a.substr(2) + "\\sub\\b.txt", number++, 32);
            records += note(a + "\\sub");
        }
    }
    records += note(a) + record(b.substr(2) + "\\c.txt", number++, 32) + note(b);

    support::ReportWindow window;
    SecureContext context(fixture.root());
    context.setHideFolders(0);
    context.setKeyText("pw");
    context.addFolder(a);
    context.addFolder(b);
    context.setWindow(window.handle());
    EXPECT_EQ(context.startProtect(), 1);
    ASSERT_TRUE(support::pumpMessagesUntil([&] { return finishedMessageArrived(window); }, 60000));
    ASSERT_TRUE(support::pumpMessagesUntil([&] { return context.workerFinished(); }, 10000));
    EXPECT_EQ(context.exitCode(), 3u);
    EXPECT_EQ(context.resultCode(), secure::kResultDone);
    EXPECT_EQ(messagesOf(window),
              (std::vector<std::vector<unsigned>>{{77, 1, 2}, {77, 2, 2}, {79, 0, 0}}));
    EXPECT_EQ(support::utf8(plainIndex(fixture)),
              support::utf8(kIndexHeader + "<vaultrowan>\r\n<sckeyw>pw</sckeyw>\r\n" + records +
                            "</vaultrowan>\r\n"));

    // The folder list was used up: a second start has nothing to protect and ends at once.
    window.clear();
    EXPECT_EQ(context.startProtect(), 1);
    ASSERT_TRUE(support::pumpMessagesUntil([&] { return finishedMessageArrived(window); }, 10000));
    ASSERT_TRUE(support::pumpMessagesUntil([&] { return context.workerFinished(); }, 10000));
    EXPECT_EQ(messagesOf(window), (std::vector<std::vector<unsigned>>{{79, 0, 0}}));
    EXPECT_EQ(context.exitCode(), 0u);
}

TEST(SecureReleaseTest, ReportsEveryRecordThenEveryNote) {
    // Three files in two folders with notes: five items.
    StoreFixture fixture;
    const support::TempFolder& temp = fixture.temp();
    temp.file("A\\a.txt", "a");
    temp.file("A\\b.txt", "b");
    temp.file("B\\c.txt", "c");
    int result = -1;
    ASSERT_EQ(protect(fixture, "pw", {temp.at("A"), temp.at("B")}, 0, 1, &result), 3);

    support::ReportWindow window;
    SecureContext context(fixture.root());
    context.setIndexScrambling(1);
    context.setKeyText("pw");
    context.setWindow(window.handle());
    EXPECT_EQ(context.startRelease(), 1);
    ASSERT_TRUE(support::pumpMessagesUntil([&] { return finishedMessageArrived(window); }, 60000));
    ASSERT_TRUE(support::pumpMessagesUntil([&] { return context.workerFinished(); }, 10000));
    EXPECT_EQ(context.exitCode(), 3u);
    EXPECT_EQ(context.resultCode(), secure::kResultDone);
    EXPECT_EQ(messagesOf(window),
              (std::vector<std::vector<unsigned>>{
                  {78, 1, 5}, {78, 2, 5}, {78, 3, 5}, {78, 4, 5}, {78, 5, 5}, {79, 0, 0}}));
    EXPECT_EQ(support::listFolder(temp.at("A")), (std::vector<std::string>{"a.txt", "b.txt"}));
    EXPECT_EQ(support::listFolder(temp.at("B")), std::vector<std::string>{"c.txt"});
}

struct ProtectRefusal {
    const char* what;
    std::string key;                  // "@key" stands for the fixture's key file
    std::vector<std::string> folders; // "@doc" stands for the fixture's folder
    int result;
};

TEST(SecureProtectTest, RefusesBeforeAnythingIsWrittenOrMoved) {
    const std::vector<ProtectRefusal> cases = {
        {"empty key", "", {"@doc"}, secure::kResultNoUsableKey},
        {"key file missing", "@missing", {"@doc"}, secure::kResultNoUsableKey},
        {"key file path naming a folder", "@folder", {"@doc"}, secure::kResultNoUsableKey},
        {"key word with <", "pass<word", {"@doc"}, secure::kResultNoUsableKey},
        {"key word with >", "pass>word", {"@doc"}, secure::kResultNoUsableKey},
        {"key word with a line end", "password\r\n", {"@doc"}, secure::kResultNoUsableKey},
        {"key file inside a protected folder", "@inside", {"@doc"}, secure::kResultNoUsableKey},
        {"key file deeper inside, other case",
         "@insideUpper",
         {"@doc"},
         secure::kResultNoUsableKey},
        {"folder on another drive", "pw", {"E:\\Doc"}, secure::kResultOtherDrive},
        {"second folder on another drive", "pw", {"@doc", "E:\\Doc"}, secure::kResultOtherDrive},
        {"drive root", "pw", {"D:\\"}, secure::kResultShortPath},
        {"drive alone", "pw", {"D:"}, secure::kResultShortPath},
        {"no folder at all", "pw", {}, secure::kResultNone},
    };
    for (const ProtectRefusal& c : cases) {
        SCOPED_TRACE(c.what);
        StoreFixture fixture;
        const std::string doc = fixture.temp().folder("Doc");
        fixture.temp().file("Doc\\a.txt", "a");
        const std::string keyFile = fixture.temp().file("key.dat", "k");
        std::string key = c.key;
        if (key == "@missing") {
            key = fixture.temp().at("nokey.dat");
        } else if (key == "@folder") {
            key = doc;
        } else if (key == "@inside") {
            key = fixture.temp().file("Doc\\key.dat", "k");
        } else if (key == "@insideUpper") {
            const std::string inside = fixture.temp().file("Doc\\sub\\key.dat", "k");
            key = inside.substr(0, inside.size() - 15) + "DOC\\sub\\key.dat";
        }
        std::vector<std::string> folders;
        for (const std::string& folder : c.folders) {
            if (folder == "@doc") {
                folders.push_back(doc);
            } else {
                folders.push_back(folder);
            }
        }
        int result = -1;
        EXPECT_EQ(protect(fixture, key, folders, 1, 1, &result), 0);
        EXPECT_EQ(result, c.result);
        EXPECT_FALSE(support::pathExists(fixture.index()));
        EXPECT_EQ(support::readFile(fixture.temp().at("Doc\\a.txt")), "a");
        EXPECT_TRUE(fixture.storedFiles().empty());
    }

    // A key whose second and third characters are not ":\" is a key word.
    StoreFixture fixture;
    const std::string doc = fixture.temp().folder("Doc");
    fixture.temp().file("Doc\\a.txt", "a");
    int result = -1;
    EXPECT_EQ(protect(fixture, "C:/k.dat", {doc}, 1, 0, &result), 1);
    EXPECT_EQ(result, secure::kResultDone);
    EXPECT_NE(plainIndex(fixture).find("<sckeyw>C:/k.dat</sckeyw>"), std::string::npos);
}

TEST(SecureProtectTest, ASetAreaOrAnUncreatableIndexStopsTheProtect) {
    StoreFixture fixture;
    const std::string first = fixture.temp().folder("First");
    fixture.temp().file("First\\a.txt", "a");
    const std::string second = fixture.temp().folder("Second");
    fixture.temp().file("Second\\b.txt", "b");
    int result = -1;
    ASSERT_EQ(protect(fixture, "pw", {first}, 1, 1, &result), 1);
    const std::string index = support::readFile(fixture.index());

    EXPECT_EQ(protect(fixture, "pw", {second}, 1, 1, &result), 0);
    EXPECT_EQ(result, secure::kResultAlreadySet);
    EXPECT_EQ(support::readFile(fixture.temp().at("Second\\b.txt")), "b");
    EXPECT_EQ(support::readFile(fixture.index()), index);
    EXPECT_EQ(fixture.storedFiles().size(), 1u);

    StoreFixture blocked;
    const std::string doc = blocked.temp().folder("Doc");
    blocked.temp().file("Doc\\a.txt", "a");
    { SecureContext create(blocked.root()); }
    blocked.temp().folder("_PWSD\\VRSYS\\Vaultrowan00000.exe");
    EXPECT_EQ(protect(blocked, "pw", {doc}, 1, 1, &result), 0);
    EXPECT_EQ(result, secure::kResultIndexNotWritten);
    EXPECT_EQ(support::readFile(blocked.temp().at("Doc\\a.txt")), "a");
}

TEST(SecureProtectTest, AFileThatCannotMoveStaysAndThePartialProtectIsReported) {
    // The first file is held open by another program: that move fails, the walk goes on,
    // and the folder that still holds the file gets no note, while a folder fully moved
    // does. A stale file holds the first stored name: that name is passed over.
    StoreFixture fixture;
    const std::string doc = fixture.temp().folder("Doc");
    fixture.temp().file("Doc\\a.txt", "a");
    fixture.temp().file("Doc\\b.txt", "b");
    const std::string other = fixture.temp().folder("Other");
    fixture.temp().file("Other\\c.txt", "c");
    { SecureContext create(fixture.root()); }
    const std::string stale = fixture.storeFolder() + "\\Vaultrowan00001.exe";
    ASSERT_TRUE(support::writeFile(stale, "stale"));
    const std::vector<std::string> order = support::listingOrder(doc);
    ASSERT_EQ(order.size(), 2u);
    FileHandle held(CreateFileA((doc + "\\" + order[0]).c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(held.valid());

    int result = -1;
    EXPECT_EQ(protect(fixture, "pw", {doc, other}, 0, 0, &result), 3);
    held.reset();
    EXPECT_EQ(result, secure::kResultNotAllProtected);
    EXPECT_EQ(support::listFolder(doc), std::vector<std::string>{order[0]});
    EXPECT_EQ(support::listFolder(other), std::vector<std::string>{kNoteName});
    EXPECT_EQ(support::utf8(plainIndex(fixture)),
              support::utf8(kIndexHeader + "<vaultrowan>\r\n<sckeyw>pw</sckeyw>\r\n" +
                            record(doc.substr(2) + "\\" + order[1], 3, 32) +
                            record(other.substr(2) + "\\c.txt", 4, 32) + note(other) +
                            "</vaultrowan>\r\n"));

    EXPECT_EQ(release(fixture, "pw", 0, &result), 2);
    EXPECT_EQ(result, secure::kResultDone);
    EXPECT_EQ(support::listFolder(doc), (std::vector<std::string>{"a.txt", "b.txt"}));
    EXPECT_EQ(support::listFolder(other), std::vector<std::string>{"c.txt"});
    EXPECT_EQ(support::readFile(stale), "stale");
}

TEST(SecureProtectTest, TheProgramFolderAndTheStoreAreRefused) {
    // The program folder lies a level below the folder the test owns, so that a refusal
    // that fails moves nothing but the test's own files.
    support::TempFolder temp;
    const std::string program = temp.folder("program");
    const std::string storeRoot = temp.at("program\\_PWSD");
    temp.file("program\\Pairwarden.ini", "ini");
    temp.file("program\\data\\d.txt", "d");
    temp.file("other\\o.txt", "o");
    { SecureContext create(storeRoot); }
    const TreeState before = treeState(temp.path());
    const std::vector<std::pair<const char*, std::vector<std::string>>> cases = {
        {"the program folder", {program}},
        {"the program folder in other letter case", {temp.path() + "\\PROGRAM"}},
        {"a folder holding it", {temp.path()}},
        {"after a folder that could be protected", {temp.at("other"), temp.path()}},
        {"the store root", {storeRoot}},
        {"the store folder", {storeRoot + "\\VRSYS"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.first);
        SecureContext context(storeRoot);
        context.setKeyText("pw");
        for (const std::string& folder : c.second) {
            context.addFolder(folder);
        }
        EXPECT_EQ(context.startProtect(), 0);
        EXPECT_EQ(context.resultCode(), secure::kResultShortPath);
        EXPECT_FALSE(support::pathExists(storeRoot + "\\VRSYS\\Vaultrowan00000.exe"));
        const TreeState after = treeState(temp.path());
        EXPECT_EQ(after.files, before.files);
        EXPECT_EQ(after.folders, before.folders);
    }
    // A folder beside the program's is protected as ever.
    SecureContext context(storeRoot);
    context.setKeyText("pw");
    context.addFolder(temp.at("other"));
    EXPECT_EQ(context.startProtect(), 1);
    EXPECT_EQ(context.resultCode(), secure::kResultDone);
}

TEST(SecureReleaseTest, AWrongKeyMovesNothingAndLeavesTheContainer) {
    StoreFixture fixture;
    const std::string doc = fixture.temp().folder("Doc");
    fixture.temp().file("Doc\\a.txt", "a");
    int result = -1;
    ASSERT_EQ(protect(fixture, "Secret", {doc}, 1, 1, &result), 1);
    const std::string container = support::readFile(fixture.index());
    ASSERT_EQ(container.substr(0, 8), "PWSF0123");

    std::string keyText;
    EXPECT_EQ(release(fixture, "secret", 1, &result, &keyText), 0);
    EXPECT_EQ(result, secure::kResultWrongKey);
    EXPECT_EQ(keyText, "secret"); // the key given, not the one recorded
    EXPECT_EQ(release(fixture, "", 1, &result), 0);
    EXPECT_EQ(result, secure::kResultWrongKey);
    EXPECT_EQ(support::readFile(fixture.index()), container);
    EXPECT_EQ(
        support::listFolder(fixture.storeFolder()),
        (std::vector<std::string>{"Desktop.ini", "Vaultrowan00000.exe", "Vaultrowan00001.exe"}));
    EXPECT_FALSE(support::pathExists(doc));

    EXPECT_EQ(release(fixture, "Secret", 1, &result), 1);
    EXPECT_EQ(result, secure::kResultDone);
    EXPECT_EQ(support::readFile(fixture.temp().at("Doc\\a.txt")), "a");
}

TEST(SecureReleaseTest, AKeyFileLockNeedsTheKeyFileAndNothingElse) {
    StoreFixture fixture;
    const std::string doc = fixture.temp().folder("Doc");
    fixture.temp().file("Doc\\a.txt", "a");
    const std::string keyFile = fixture.temp().file("鍵\\ソ.key", "k");
    int result = -1;
    ASSERT_EQ(protect(fixture, keyFile, {doc}, 1, 1, &result), 1);

    ASSERT_TRUE(DeleteFileA(keyFile.c_str()));
    EXPECT_EQ(release(fixture, keyFile, 1, &result), 0);
    EXPECT_EQ(result, secure::kResultWrongKey);
    EXPECT_FALSE(support::pathExists(doc));

    fixture.temp().folder("鍵\\ソ.key"); // a folder of that name is no key file
    EXPECT_EQ(release(fixture, keyFile, 1, &result), 0);
    EXPECT_EQ(result, secure::kResultWrongKey);
    support::removeTree(keyFile);

    fixture.temp().file("鍵\\ソ.key", "other content");
    std::string keyText;
    EXPECT_EQ(release(fixture, "whatever was typed", 1, &result, &keyText), 1);
    EXPECT_EQ(result, secure::kResultDone);
    EXPECT_EQ(support::utf8(keyText), support::utf8(keyFile));
    EXPECT_EQ(support::readFile(fixture.temp().at("Doc\\a.txt")), "a");
}

TEST(SecureReleaseTest, NoIndexAndIndexWithoutKey) {
    StoreFixture fixture;
    int result = -1;
    {
        SecureContext context(fixture.root());
        EXPECT_EQ(context.probeKeyRecord(), secure::kProbeNoKey);
    }
    EXPECT_EQ(release(fixture, "pw", 1, &result), 0);
    EXPECT_EQ(result, secure::kResultNoIndex);

    const std::string noKey =
        kIndexHeader + "<vaultrowan>\r\n" + record("\\x\\a.txt", 1, 32) + "</vaultrowan>\r\n";
    ASSERT_TRUE(support::writeFile(fixture.index(), noKey));
    SecureContext context(fixture.root());
    context.setIndexScrambling(1);
    EXPECT_EQ(context.probeKeyRecord(), secure::kProbeNoKey);
    EXPECT_EQ(release(fixture, "", 1, &result), 0);
    EXPECT_EQ(result, secure::kResultWrongKey);
    EXPECT_EQ(support::readFile(fixture.index()), noKey);
}

TEST(SecureReleaseTest, AFileThatCannotGoBackStaysReachable) {
    StoreFixture fixture;
    const support::TempFolder& temp = fixture.temp();
    const std::string doc = temp.folder("Doc");
    const std::string a = temp.file("Doc\\a.txt", "original a");
    temp.file("Doc\\b.txt", "b");
    temp.file("Doc\\sub\\c.txt", "c");
    ASSERT_TRUE(SetFileAttributesA(a.c_str(), FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_SYSTEM));
    int result = -1;
    ASSERT_EQ(protect(fixture, "pw", {doc}, 0, 1, &result), 3);
    const std::string before = plainIndex(fixture);
    const std::size_t recordStart = before.find("<file>\r\n<store>" + doc.substr(2) + "\\a.txt");
    ASSERT_NE(recordStart, std::string::npos);
    const std::string aRecord =
        before.substr(recordStart, before.find("</file>\r\n", recordStart) + 9 - recordStart);

    // A new file now stands at a.txt's place.
    SetFileAttributesA(temp.at("Doc\\" + kNoteName).c_str(), FILE_ATTRIBUTE_NORMAL);
    ASSERT_TRUE(support::writeFile(a, "new a"));
    ASSERT_TRUE(SetFileAttributesA(a.c_str(), FILE_ATTRIBUTE_ARCHIVE));
    EXPECT_EQ(release(fixture, "pw", 1, &result), 3);
    EXPECT_EQ(result, secure::kResultNotAllRestored);
    EXPECT_EQ(support::readFile(a), "new a");
    EXPECT_EQ(GetFileAttributesA(a.c_str()) & kVisibleBits, 0u);
    EXPECT_EQ(support::readFile(temp.at("Doc\\b.txt")), "b");
    EXPECT_EQ(support::readFile(temp.at("Doc\\sub\\c.txt")), "c");
    EXPECT_FALSE(support::pathExists(temp.at("Doc\\" + kNoteName)));
    EXPECT_FALSE(support::pathExists(temp.at("Doc\\sub\\" + kNoteName)));

    // The index holds the key and exactly that record, stored as before.
    EXPECT_EQ(support::readFile(fixture.index()).substr(0, 8), "PWSF0123");
    EXPECT_EQ(GetFileAttributesA(fixture.index().c_str()) & kVisibleBits, FILE_ATTRIBUTE_HIDDEN);
    EXPECT_EQ(support::utf8(plainIndex(fixture)),
              support::utf8(kIndexHeader + "<vaultrowan>\r\n<sckeyw>pw</sckeyw>\r\n" + aRecord +
                            "</vaultrowan>\r\n"));
    EXPECT_EQ(fixture.storedFiles().size(), 1u);

    // Once the place is free a later release brings it back.
    ASSERT_TRUE(DeleteFileA(a.c_str()));
    {
        SecureContext probing(fixture.root());
        probing.setIndexScrambling(1);
        EXPECT_EQ(probing.probeKeyRecord(), secure::kProbeKeyWord);
    }
    EXPECT_EQ(release(fixture, "pw", 1, &result), 1);
    EXPECT_EQ(result, secure::kResultDone);
    EXPECT_EQ(support::readFile(a), "original a");
    EXPECT_EQ(GetFileAttributesA(a.c_str()) & kVisibleBits, FILE_ATTRIBUTE_SYSTEM);
    EXPECT_FALSE(support::pathExists(fixture.index()));
    EXPECT_TRUE(fixture.storedFiles().empty());
}

TEST(SecureReleaseTest, IncompleteAndOrphanRecords) {
    StoreFixture fixture;
    const support::TempFolder& temp = fixture.temp();
    const std::string doc = temp.folder("Doc");
    temp.file("Doc\\a.txt", "a");
    temp.file("Doc\\b.txt", "b");
    temp.file("Doc\\c.txt", "c");
    int result = -1;
    ASSERT_EQ(protect(fixture, "pw", {doc}, 1, 0, &result), 3);
    std::string index = support::readFile(fixture.index());
    const std::string stored1 = fixture.storeFolder() + store::storedName(1);
    const std::string stored2 = fixture.storeFolder() + store::storedName(2);

    // Record 1 loses its place; the stored file of record 2 is gone; record 3 is whole.
    const std::size_t store1 = index.find("<store>");
    const std::size_t store1End = index.find("\r\n", store1) + 2;
    index.erase(store1, store1End - store1);
    SetFileAttributesA(fixture.index().c_str(), FILE_ATTRIBUTE_NORMAL);
    ASSERT_TRUE(support::writeFile(fixture.index(), index));
    SetFileAttributesA(stored2.c_str(), FILE_ATTRIBUTE_NORMAL);
    ASSERT_TRUE(DeleteFileA(stored2.c_str()));

    SecureContext context(fixture.root());
    context.setKeyText("pw");
    EXPECT_EQ(context.startRelease(), 3);
    // The incomplete record cannot be placed: its stored file stays in the store untouched,
    // and the index that names it is put aside whole. The file found nowhere is named.
    const SecureOutcome outcome = context.outcome();
    EXPECT_EQ(outcome.resultCode, secure::kResultDamagedIndexKept);
    EXPECT_EQ(outcome.unreadableRecords, 1u);
    EXPECT_EQ(outcome.missing, std::vector<std::string>{doc + "\\b.txt"});
    EXPECT_EQ(support::listFolder(doc), std::vector<std::string>{"c.txt"});
    EXPECT_TRUE(support::pathExists(stored1));
    EXPECT_FALSE(support::pathExists(fixture.index()));
    EXPECT_EQ(support::readFile(outcome.indexAside), index);
    EXPECT_EQ(support::utf8(path::folderPart(outcome.indexAside)), support::utf8(fixture.root()));
}

TEST(SecureReleaseTest, AnIndexWithoutFileRecordsGoesToo) {
    // Only a folder without files was protected: the index holds notes only.
    StoreFixture fixture;
    const std::string doc = fixture.temp().folder("Doc\\empty");
    int result = -1;
    ASSERT_EQ(protect(fixture, "pw", {fixture.temp().at("Doc")}, 0, 1, &result), 0);
    ASSERT_EQ(result, secure::kResultDone);
    ASSERT_TRUE(support::pathExists(fixture.temp().at("Doc\\empty\\" + kNoteName)));

    EXPECT_EQ(release(fixture, "pw", 1, &result), 0);
    EXPECT_EQ(result, secure::kResultDone);
    EXPECT_FALSE(support::pathExists(fixture.index()));
    EXPECT_TRUE(support::listFolder(doc).empty());
    EXPECT_EQ(support::listFolder(fixture.temp().at("Doc")), std::vector<std::string>{"empty"});

    // And the area can be set again.
    EXPECT_EQ(protect(fixture, "pw", {fixture.temp().at("Doc")}, 1, 1, &result), 0);
    EXPECT_EQ(result, secure::kResultDone);
}

TEST(SecureReleaseTest, APlainIndexReleasesWithTheSwitchOn) {
    StoreFixture fixture;
    const std::string doc = fixture.temp().folder("Doc");
    fixture.temp().file("Doc\\a.txt", "a");
    int result = -1;
    ASSERT_EQ(protect(fixture, "pw", {doc}, 1, 0, &result), 1);
    {
        SecureContext probing(fixture.root());
        probing.setIndexScrambling(1);
        EXPECT_EQ(probing.probeKeyRecord(), secure::kProbeKeyWord);
    }
    EXPECT_EQ(release(fixture, "pw", 1, &result), 1);
    EXPECT_EQ(result, secure::kResultDone);
    EXPECT_EQ(support::readFile(fixture.temp().at("Doc\\a.txt")), "a");
}

// Deterministic bytes that look like nothing in particular.
std::string noise(std::size_t size, unsigned seed) {
    std::string bytes;
    bytes.reserve(size);
    for (std::size_t i = 0; i < size; ++i) {
        seed = seed * 1103515245u + 12345u;
        bytes.push_back(static_cast<char>(seed >> 16));
    }
    return bytes;
}

TEST(SecureReleaseTest, ABrokenIndexMovesNothing) {
    StoreFixture fixture;
    const std::string doc = fixture.temp().folder("Doc");
    fixture.temp().file("Doc\\a.txt", "a");
    int result = -1;
    ASSERT_EQ(protect(fixture, "pw", {doc}, 1, 0, &result), 1);
    const std::string plain = support::readFile(fixture.index());
    SetFileAttributesA(fixture.index().c_str(), FILE_ATTRIBUTE_NORMAL);

    // Tag-like bytes in bulk: many "<", partial names, no end.
    std::string tagSoup;
    while (tagSoup.size() < 6 * 1024 * 1024) {
        tagSoup += "<vaultrowan><file><sckeyw>pw<store>\\x</store><secure>";
    }
    const std::vector<std::pair<const char*, std::string>> broken = {
        {"garbage", noise(4096, 7)},
        {"garbage in a container", scrambleBytes(noise(4096, 9))},
        {"several megabytes of noise", noise(5 * 1024 * 1024, 3)},
        {"several megabytes of tags", tagSoup},
        {"shorter than the container header", "PWSF01"},
    };
    for (const auto& entry : broken) {
        SCOPED_TRACE(entry.first);
        ASSERT_TRUE(support::writeFile(fixture.index(), entry.second));
        {
            SecureContext probing(fixture.root());
            probing.setIndexScrambling(1);
            EXPECT_EQ(probing.probeKeyRecord(), secure::kProbeNoKey);
        }
        EXPECT_EQ(release(fixture, "pw", 1, &result), 0);
        EXPECT_EQ(result, secure::kResultWrongKey);
        EXPECT_EQ(support::readFile(fixture.index()), entry.second);
        EXPECT_EQ(fixture.storedFiles(), std::vector<std::string>{"Vaultrowan00001.exe"});
        EXPECT_FALSE(support::pathExists(doc));
    }

    // Records that cannot be told apart keep the index whole, put aside beside the store.
    const std::string unreadable = kIndexHeader +
                                   "<vaultrowan>\r\n<sckeyw>pw</sckeyw>\r\n<file-attribute>"
                                   "<secure>\\Vaultrowan00001.exe</secure>\r\n</vaultrowan>\r\n";
    ASSERT_TRUE(support::writeFile(fixture.index(), unreadable));
    {
        SecureContext context(fixture.root());
        context.setIndexScrambling(1);
        context.setKeyText("pw");
        EXPECT_EQ(context.startRelease(), 0);
        const SecureOutcome outcome = context.outcome();
        EXPECT_EQ(outcome.resultCode, secure::kResultDamagedIndexKept);
        EXPECT_FALSE(support::pathExists(fixture.index()));
        EXPECT_EQ(support::readFile(outcome.indexAside), unreadable);
        EXPECT_EQ(fixture.storedFiles(), std::vector<std::string>{"Vaultrowan00001.exe"});
    }

    ASSERT_TRUE(support::writeFile(fixture.index(), plain));
    EXPECT_EQ(release(fixture, "pw", 1, &result), 1);
    EXPECT_EQ(result, secure::kResultDone);
}

TEST(SecureReleaseTest, DamagedRecordsReachNothingOutsideTheStore) {
    // Records pointing out of the store folder, and a note that is no note file.
    StoreFixture fixture;
    { SecureContext create(fixture.root()); }
    const std::string victim = fixture.temp().file("victim.txt", "keep me");
    const std::string other = fixture.temp().file("other.txt", "keep me too");
    const std::string relative = fixture.temp().path().substr(2);
    const std::string index =
        kIndexHeader + "<vaultrowan>\r\n<sckeyw>pw</sckeyw>\r\n<file>\r\n<store>" + relative +
        "\\moved.txt</store>\r\n<secure>\\..\\..\\victim.txt</secure>\r\n"
        "<file-attribute>32</file-attribute>\r\n</file>\r\n<notetag>" +
        relative + "\\other.txt</notetag>\r\n</vaultrowan>\r\n";
    ASSERT_TRUE(support::writeFile(fixture.index(), index));
    int result = -1;
    EXPECT_EQ(release(fixture, "pw", 1, &result), 1);
    // The forged record is not acted on; the index that holds it is put aside, not lost.
    EXPECT_EQ(result, secure::kResultDamagedIndexKept);
    EXPECT_FALSE(support::pathExists(fixture.index()));
    EXPECT_EQ(support::readFile(victim), "keep me");
    EXPECT_EQ(support::readFile(other), "keep me too");
    EXPECT_FALSE(support::pathExists(fixture.temp().at("moved.txt")));
}

TEST(SecureReleaseTest, ALargeIndexIsReadInOnePass) {
    // 20,000 records whose stored files are gone: each is looked at once.
    StoreFixture fixture;
    { SecureContext create(fixture.root()); }
    std::string index = kIndexHeader + "<vaultrowan>\r\n<sckeyw>pw</sckeyw>\r\n";
    for (unsigned long i = 1; i <= 20000; ++i) {
        index += record(
            fixture.temp().path().substr(2) + "\\nowhere\\f" + std::to_string(i) + ".txt", i, 32);
    }
    index += "</vaultrowan>\r\n";
    ASSERT_TRUE(support::writeFile(fixture.index(), scrambleBytes(index)));

    support::ReportWindow window;
    SecureContext context(fixture.root());
    context.setIndexScrambling(1);
    context.setKeyText("pw");
    context.setWindow(window.handle());
    ASSERT_EQ(context.startRelease(), 1);
    ASSERT_TRUE(support::pumpMessagesUntil([&] { return finishedMessageArrived(window); }, 240000));
    ASSERT_TRUE(support::pumpMessagesUntil([&] { return context.workerFinished(); }, 10000));
    EXPECT_EQ(context.exitCode(), 20000u);
    // No record is left to keep, and every place is named.
    EXPECT_EQ(context.resultCode(), secure::kResultFilesMissing);
    EXPECT_EQ(context.outcome().missing.size(), 20000u);
    const std::vector<support::ReportedMessage> messages = window.messages();
    ASSERT_EQ(messages.size(), 20001u);
    EXPECT_EQ(messages[19999].wParam, 20000u);
    EXPECT_EQ(messages[19999].lParam, 20000);
    EXPECT_FALSE(support::pathExists(fixture.index())); // nothing left that could come back
    EXPECT_FALSE(support::pathExists(fixture.temp().at("nowhere")));
}

TEST(SecureContextTest, AStartWhileAnOperationRunsIsRefused) {
    StoreFixture fixture;
    const std::string doc = fixture.temp().folder("Many");
    for (int i = 0; i < 2000; ++i) {
        fixture.temp().file("Many\\f" + std::to_string(i) + ".txt", std::to_string(i));
    }
    support::ReportWindow window;
    SecureContext context(fixture.root());
    context.setKeyText("pw");
    context.addFolder(doc);
    context.setWindow(window.handle());
    ASSERT_EQ(context.startProtect(), 1);
    ASSERT_FALSE(context.workerFinished());
    EXPECT_EQ(context.startProtect(), 0);
    EXPECT_EQ(context.startRelease(), 0);
    ASSERT_TRUE(support::pumpMessagesUntil([&] { return finishedMessageArrived(window); }, 120000));
    ASSERT_TRUE(support::pumpMessagesUntil([&] { return context.workerFinished(); }, 10000));
    EXPECT_EQ(context.exitCode(), 2000u);
    EXPECT_EQ(context.resultCode(), secure::kResultDone);
    EXPECT_EQ(fixture.storedFiles().size(), 2000u);
    unsigned finished = 0;
    for (const support::ReportedMessage& message : window.messages()) {
        finished += message.message == kMsgSecureFinished ? 1 : 0;
    }
    EXPECT_EQ(finished, 1u);

    // Once it has ended the context takes the next operation.
    context.setWindow(nullptr);
    EXPECT_EQ(context.startRelease(), 2000);
    EXPECT_EQ(context.resultCode(), secure::kResultDone);
    EXPECT_EQ(support::listFolder(doc).size(), 2000u);
}

TEST(SecureContextTest, DestroyingTheContextLetsTheOperationFinish) {
    StoreFixture fixture;
    const std::string doc = fixture.temp().folder("Many");
    for (int i = 0; i < 1000; ++i) {
        fixture.temp().file("Many\\f" + std::to_string(i) + ".txt", "x");
    }
    {
        SecureContext context(fixture.root());
        context.setKeyText("pw");
        context.addFolder(doc);
        context.setWindow(HWND_MESSAGE); // posts go nowhere; the start returns at once
        ASSERT_EQ(context.startProtect(), 1);
    }
    EXPECT_EQ(fixture.storedFiles().size(), 1000u);
    EXPECT_FALSE(support::pathExists(doc));
    int result = -1;
    EXPECT_EQ(release(fixture, "pw", 1, &result), 1000);
    EXPECT_EQ(result, secure::kResultDone);
}

TEST(SecureProtectTest, LinkedFoldersAreNotFollowed) {
    // A link inside the protected folder leads to a folder outside it, and one back up.
    StoreFixture fixture;
    const std::string doc = fixture.temp().folder("Doc");
    fixture.temp().file("Doc\\a.txt", "a");
    fixture.temp().file("Other\\o.txt", "o");
    const std::string unixDoc = support::unixPathOf(doc);
    // The links go before the folder is removed, which would follow them.
    struct Links {
        std::string folder;
        ~Links() { support::runUnixCommand("rm -f '" + folder + "/outside' '" + folder + "/up'"); }
    } links{unixDoc};
    ASSERT_TRUE(support::runUnixCommand("ln -s '" +
                                        support::unixPathOf(fixture.temp().at("Other")) + "' '" +
                                        unixDoc + "/outside' && ln -s .. '" + unixDoc + "/up'"));
    ASSERT_TRUE(support::pumpMessagesUntil(
        [&] {
            return support::pathExists(doc + "\\outside\\o.txt") &&
                   support::pathExists(doc + "\\up");
        },
        5000));

    int result = -1;
    EXPECT_EQ(protect(fixture, "pw", {doc}, 1, 1, &result), 1);
    EXPECT_EQ(result, secure::kResultDone);
    EXPECT_EQ(support::readFile(fixture.temp().at("Other\\o.txt")), "o");
    EXPECT_EQ(fixture.storedFiles(), std::vector<std::string>{"Vaultrowan00001.exe"});

    EXPECT_EQ(release(fixture, "pw", 1, &result), 1);
    EXPECT_EQ(result, secure::kResultDone);
    EXPECT_EQ(support::readFile(fixture.temp().at("Doc\\a.txt")), "a");
}

} // namespace
