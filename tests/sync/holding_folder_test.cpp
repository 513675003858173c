#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "support/files.h"
#include "support/recycle_bin.h"
#include "support/temp_folder.h"
#include "sync/holding_folder.h"
#include "sync/messages.h"
#include "sync/mirror_fixture.h"
#include "sync/pass_context.h"

namespace {

using namespace mirror_fixture;
using support::fileTimeUtc;
using support::kSecond;

constexpr FileTime kHour = 3600 * kSecond;
const FileTime T = fileTimeUtc(2024, 6, 3, 8, 0, 0);

const char kHolding[] = "_Syncoravel保管";

bool isStampName(const std::string& name) {
    if (name.size() != 15 || name[8] != '-') {
        return false;
    }
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (i != 8 && (name[i] < '0' || name[i] > '9')) {
            return false;
        }
    }
    return true;
}

// The dated folders in the holding folder of a definition's folder.
std::vector<std::string> datedFolders(const std::string& root) {
    std::vector<std::string> dated;
    for (const std::string& name : support::listFolder(root + "\\" + kHolding)) {
        dated.push_back(name);
    }
    return dated;
}

// What the one dated folder of the folder holds; empty when there is none.
Tree heldIn(const std::string& root, std::string* datedPath = nullptr) {
    const std::vector<std::string> dated = datedFolders(root);
    if (dated.size() != 1) {
        ADD_FAILURE() << "dated folders: " << dated.size();
        return Tree();
    }
    EXPECT_TRUE(isStampName(dated[0])) << dated[0];
    const std::string path = root + "\\" + kHolding + "\\" + dated[0];
    if (datedPath != nullptr) {
        *datedPath = path;
    }
    return treeOf(path);
}

// A stamp of the local time `daysAgo` days before now.
std::string stampDaysAgo(int daysAgo) {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    FILETIME local;
    FileTimeToLocalFileTime(&now, &local);
    ULARGE_INTEGER value = {{local.dwLowDateTime, local.dwHighDateTime}};
    value.QuadPart -= static_cast<ULONGLONG>(daysAgo) * 24 * kHour;
    local = {value.LowPart, value.HighPart};
    SYSTEMTIME calendar;
    FileTimeToSystemTime(&local, &calendar);
    char text[32];
    std::snprintf(text, sizeof text, "%04u%02u%02u-%02u%02u%02u", calendar.wYear, calendar.wMonth,
                  calendar.wDay, calendar.wHour, calendar.wMinute, calendar.wSecond);
    return text;
}

bool startsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

std::vector<std::string> withTag(const std::vector<std::string>& lines, const std::string& tag) {
    std::vector<std::string> found;
    for (const std::string& line : lines) {
        if (startsWith(line, tag)) {
            found.push_back(line.substr(tag.size()));
        }
    }
    return found;
}

// A master on D: with a new file; a target on the drive of the row that holds an older
// version of a file, a file and a folder the master lacks. On a removable drive (no recycle
// bin) what the pass deletes goes into the target's holding folder; on a fixed drive to the
// recycle bin. On both, the old version of a replaced file goes into the holding folder.
TEST(HoldingFolderTest, WhatAPassTakesOutOfATargetIsKept) {
    ASSERT_TRUE(support::RecycleBin::available());
    struct DriveCase {
        const std::string& drive;
        bool deletionsHeld;
    } const cases[] = {{support::kDriveE, false}, {support::kDriveU, true}};
    for (const DriveCase& c : cases) {
        SCOPED_TRACE(c.drive);
        support::TempFolder masterTemp;
        support::TempFolder targetTemp(c.drive);
        const std::string master = masterTemp.at("マスタ表");
        const std::string target = targetTemp.at("ソ先");
        makeTree(master, {file("new.txt", "new", T), file("ソ.txt", "new ソ", T - kHour),
                          file("同じ.txt", "same", T - 2 * kHour)});
        makeTree(target,
                 {file("ソ.txt", "old ソ", T - 3 * kHour), file("同じ.txt", "same", T - 2 * kHour),
                  file("old.txt", "only in the target", T - 3 * kHour), folder("古い表"),
                  file("古い表\\a.txt", "a", T - 3 * kHour)});

        const PassResult result = runPass({master, target}, true);

        EXPECT_TRUE(treeOf(target) == treeOf(master));
        std::string dated;
        const Tree held = heldIn(target, &dated);
        Tree expected = {{"ソ.txt", {false, "old ソ", T - 3 * kHour}}};
        if (c.deletionsHeld) {
            expected["old.txt"] = {false, "only in the target", T - 3 * kHour};
            expected["古い表"] = {true, "", 0};
            expected["古い表\\a.txt"] = {false, "a", T - 3 * kHour};
        }
        EXPECT_TRUE(held == expected);
        EXPECT_EQ(support::RecycleBin::holds(target + "\\old.txt"), !c.deletionsHeld);
        EXPECT_EQ(support::RecycleBin::holds(target + "\\古い表"), !c.deletionsHeld);
        EXPECT_FALSE(support::RecycleBin::holds(target + "\\ソ.txt"));

        EXPECT_EQ(sorted(result.deleted),
                  sorted({"【削除】" + target + "\\old.txt", "【削除】" + target + "\\古い表"}));
        // One line per target says where its entries went and how many.
        ASSERT_FALSE(result.copied.empty());
        EXPECT_EQ(result.copied.back(),
                  "【保管】" + dated + " (" + std::to_string(c.deletionsHeld ? 3 : 1) + " 件)");
        EXPECT_EQ(withTag(result.copied, "【保管】").size(), 1u);
        EXPECT_EQ(sorted(withTag(result.copied, "【コピー】")),
                  sorted({target + "\\new.txt", target + "\\ソ.txt"}));
        EXPECT_TRUE(datedFolders(master).empty());

        // The next pass finds everything equal and keeps what is held.
        const PassResult again = runPass({master, target}, true);
        EXPECT_TRUE(again.deleted.empty());
        EXPECT_TRUE(again.copied.empty());
        EXPECT_TRUE(heldIn(target) == expected);
    }
}

// The preview names every entry a run would put into the holding folder, right after the
// line of the deletion or copy that takes it out; what the run then holds is exactly that.
TEST(HoldingFolderTest, ThePreviewNamesWhatWillBeHeld) {
    for (const std::string* drive : {&support::kDriveE, &support::kDriveU}) {
        SCOPED_TRACE(*drive);
        support::TempFolder masterTemp;
        support::TempFolder targetTemp(*drive);
        const std::string master = masterTemp.at("M");
        const std::string target = targetTemp.at("表");
        makeTree(master, {file("a.txt", "new a", T), file("能\\b.txt", "new b", T - kHour)});
        makeTree(target,
                 {file("a.txt", "old a", T - 2 * kHour), file("能\\b.txt", "old b", T - 2 * kHour),
                  file("能\\gone.txt", "x", T - 2 * kHour), folder("空")});
        const Tree before = treeOf(target);

        const PassResult preview = runPass({master, target}, true, PassSetup{true, 1});
        EXPECT_TRUE(treeOf(target) == before);
        EXPECT_FALSE(support::pathExists(target + "\\" + kHolding));
        std::vector<std::string> expectedHeld = {target + "\\a.txt", target + "\\能\\b.txt"};
        if (*drive == support::kDriveU) {
            expectedHeld.push_back(target + "\\能\\gone.txt");
            expectedHeld.push_back(target + "\\空");
        }
        const std::vector<std::string> previewHeld = withTag(preview.deleted, "【保管予定】");
        std::vector<std::string> allHeld = previewHeld;
        for (const std::string& line : withTag(preview.copied, "【保管予定】")) {
            allHeld.push_back(line);
        }
        EXPECT_EQ(sorted(allHeld), sorted(expectedHeld));
        // Each such line follows the line of the deed that takes the entry out.
        for (const auto* lines : {&preview.deleted, &preview.copied}) {
            for (std::size_t i = 0; i < lines->size(); ++i) {
                if (startsWith((*lines)[i], "【保管予定】")) {
                    ASSERT_GT(i, 0u);
                    const std::string& deed = (*lines)[i - 1];
                    const std::string path = (*lines)[i].substr(std::string("【保管予定】").size());
                    EXPECT_TRUE(deed == "【削除予定】" + path || deed == "【コピー予定】" + path)
                        << support::utf8(deed);
                }
            }
        }

        runPass({master, target}, true);
        Tree expected = {{"a.txt", {false, "old a", T - 2 * kHour}},
                         {"能", {true, "", 0}},
                         {"能\\b.txt", {false, "old b", T - 2 * kHour}}};
        if (*drive == support::kDriveU) {
            expected["能\\gone.txt"] = {false, "x", T - 2 * kHour};
            expected["空"] = {true, "", 0};
        }
        EXPECT_TRUE(heldIn(target) == expected);
    }
}

// A folder of exactly that name directly in a definition's folder is the program's: never
// walked, copied, deleted, counted for the master or for the question before mass
// deletions, nor shown in the preview. Deeper down the name is an ordinary folder.
TEST(HoldingFolderTest, TheHoldingFolderIsNeverMirrored) {
    support::TempFolder temp;
    support::TempFolder other(support::kDriveE);
    const std::string a = temp.at("A");
    const std::string b = other.at("B");
    // Dated folders of yesterday: young enough to stay.
    const std::string dated = std::string(kHolding) + "\\" + stampDaysAgo(1);
    std::vector<Item> aItems = {file("a.txt", "a", T - kHour),
                                file(dated + "\\newest.txt", "held, newer than all", T + kHour)};
    std::vector<Item> bItems = {file("b.txt", "b", T),
                                file(std::string("sub\\") + kHolding + "\\y.txt", "y", T - kHour)};
    for (int i = 0; i < 60; ++i) {
        bItems.push_back(file(dated + "\\f" + std::to_string(i) + ".txt", "held", T - kHour));
    }
    makeTree(a, aItems);
    makeTree(b, bItems);
    const Tree aHeld = treeOf(a + "\\" + kHolding);
    const Tree bHeld = treeOf(b + "\\" + kHolding);

    // Deeper down the name is an ordinary folder: "sub\\_Syncoravel保管" is copied.
    const PassResult preview = runPass({a, b}, true, PassSetup{true, 1});
    EXPECT_TRUE(preview.deleted == std::vector<std::string>{"【削除予定】" + a + "\\a.txt"});
    EXPECT_EQ(sorted(preview.copied),
              sorted({"【コピー予定】" + a + "\\b.txt", "【コピー予定】" + a + "\\sub",
                      "【コピー予定】" + a + "\\sub\\" + kHolding,
                      "【コピー予定】" + a + "\\sub\\" + kHolding + "\\y.txt"}));

    const PassResult result = runPass({a, b}, true, PassSetup{false, 0});
    // The held file, newer than everything, does not make A the master, and B's sixty held
    // files are no deletions to ask about (the answer would have been No).
    EXPECT_EQ(result.master, b);
    for (const support::ReportedMessage& message : result.messages) {
        EXPECT_NE(message.message, kMsgConfirmDeletions);
    }
    EXPECT_EQ(result.deleted, std::vector<std::string>{"【削除】" + a + "\\a.txt"});
    EXPECT_TRUE(treeOf(a + "\\" + kHolding) == aHeld);
    EXPECT_TRUE(treeOf(b + "\\" + kHolding) == bHeld);
    EXPECT_EQ(support::readFile(a + "\\sub\\" + kHolding + "\\y.txt"), "y");
    EXPECT_TRUE(treeOf(a) == treeOf(b));
}

// Dated folders older than the kept days (30 by default) go at the start of a pass, in every
// folder of the definition: to the recycle bin on a fixed drive, for good on a removable one.
// Younger ones and folders of other names stay.
TEST(HoldingFolderTest, OldDatedFoldersGoAtTheStartOfAPass) {
    ASSERT_TRUE(support::RecycleBin::available());
    for (const std::string* drive : {&support::kDriveE, &support::kDriveU}) {
        SCOPED_TRACE(*drive);
        support::TempFolder masterTemp;
        support::TempFolder targetTemp(*drive);
        const std::string master = masterTemp.at("M");
        const std::string target = targetTemp.at("T");
        const std::string old = stampDaysAgo(31);
        const std::string young = stampDaysAgo(29);
        makeTree(master, {file("a.txt", "a", T),
                          file(std::string(kHolding) + "\\20000101-000000\\x.txt", "x", T)});
        makeTree(target, {file("a.txt", "a", T),
                          file(std::string(kHolding) + "\\" + old + "\\表\\y.txt", "y", T),
                          file(std::string(kHolding) + "\\" + young + "\\z.txt", "z", T),
                          file(std::string(kHolding) + "\\メモ\\m.txt", "the user's", T),
                          file(std::string(kHolding) + "\\20001301-000000\\n.txt", "no date", T)});

        const PassResult result = runPass({master, target}, true);

        const std::string masterOld = master + "\\" + kHolding + "\\20000101-000000";
        const std::string targetOld = target + "\\" + kHolding + "\\" + old;
        EXPECT_EQ(sorted(result.deleted), sorted({"【削除】" + masterOld, "【削除】" + targetOld}));
        EXPECT_TRUE(result.copied.empty());
        EXPECT_FALSE(support::pathExists(masterOld));
        EXPECT_FALSE(support::pathExists(targetOld));
        EXPECT_TRUE(support::RecycleBin::holds(masterOld));
        EXPECT_EQ(support::RecycleBin::holds(targetOld), *drive != support::kDriveU);
        EXPECT_EQ(sorted(datedFolders(target)), sorted({young, "メモ", "20001301-000000"}));
        // An emptied holding folder goes with its last dated folder.
        EXPECT_FALSE(support::pathExists(master + "\\" + kHolding));
    }
}

// Nothing is lost where a move into the holding folder cannot be made: the entry stays where
// it is, with an error line.
TEST(HoldingFolderTest, AnEntryThatCannotBeHeldStays) {
    support::TempFolder masterTemp;
    support::TempFolder targetTemp(support::kDriveU);
    const std::string master = masterTemp.at("M");
    const std::string target = targetTemp.at("T");
    // Its path fits, the path it would have in the holding folder does not.
    std::string deep = "深い";
    while ((target + "\\" + deep).size() < 240) {
        deep += "\\長い名前の表";
    }
    const std::string longName = deep + "\\old.txt";
    ASSERT_LT((target + "\\" + longName).size(), 260u);
    makeTree(master, {file("new.txt", "new", T), file(deep + "\\keep.txt", "new keep", T),
                      file("ro.txt", "new ro", T)});
    makeTree(target, {file(longName, "only here", T - kHour),
                      file(deep + "\\keep.txt", "old keep", T - kHour),
                      file("ro.txt", "old ro", T - kHour)});
    ASSERT_TRUE(SetFileAttributesA((target + "\\ro.txt").c_str(), FILE_ATTRIBUTE_READONLY));

    const PassResult result = runPass({master, target}, true);
    SetFileAttributesA((target + "\\ro.txt").c_str(), FILE_ATTRIBUTE_NORMAL);

    EXPECT_EQ(result.deleted,
              std::vector<std::string>{"【エラー削除】" + target + "\\" + longName});
    EXPECT_EQ(support::readFile(target + "\\" + longName), "only here");
    EXPECT_FALSE(support::RecycleBin::holds(target + "\\" + longName));
    EXPECT_EQ(sorted(withTag(result.copied, "【エラーコピー】")),
              sorted({target + "\\" + deep + "\\keep.txt", target + "\\ro.txt"}));
    EXPECT_EQ(support::readFile(target + "\\" + deep + "\\keep.txt"), "old keep");
    EXPECT_EQ(support::readFile(target + "\\ro.txt"), "old ro");
    EXPECT_EQ(support::readFile(target + "\\new.txt"), "new");
    for (const std::string& name : support::listFolder(target + "\\" + deep)) {
        EXPECT_EQ(name.find(".TMP"), std::string::npos) << name;
    }
}

// A folder of the dated tree is made once for the entries of one target folder; one that
// goes while the pass runs is made again for the next entry rather than failing it.
TEST(HoldingFolderTest, AFolderRemovedUnderThePassIsMadeAgain) {
    support::TempFolder temp;
    const std::string target = temp.at("T");
    makeTree(target, {file("表\\a.txt", "a", T), file("表\\b.txt", "b", T),
                      file("表\\c.txt", "c", T)});
    HoldingFolder holding(target, "20240603-080000");
    const std::string dated = target + "\\" + kHolding + "\\20240603-080000";
    PassContext context;
    std::string heldAt;

    ASSERT_TRUE(holding.take(context, target + "\\表\\a.txt", heldAt));
    EXPECT_EQ(heldAt, dated + "\\表\\a.txt");
    ASSERT_TRUE(support::removeTree(dated));

    ASSERT_TRUE(holding.take(context, target + "\\表\\b.txt", heldAt));
    EXPECT_EQ(heldAt, dated + "\\表\\b.txt");
    ASSERT_TRUE(holding.take(context, target + "\\表\\c.txt", heldAt));
    EXPECT_EQ(support::readFile(dated + "\\表\\b.txt"), "b");
    EXPECT_EQ(support::readFile(dated + "\\表\\c.txt"), "c");
    EXPECT_EQ(holding.heldCount(), 3u);
    EXPECT_FALSE(support::pathExists(target + "\\表\\b.txt"));
}

} // namespace
