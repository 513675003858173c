#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/files.h"
#include "support/recycle_bin.h"
#include "support/temp_folder.h"
#include "support/unix_access.h"
#include "sync/messages.h"
#include "sync/mirror_fixture.h"

// What a pass must leave alone, and what it must not leave out: entries the master cannot
// vouch for, links, names and paths the platform cannot handle, names equal but for case,
// overlapping folders, roots that vanish, and empty folders.

namespace {

using namespace mirror_fixture;
using support::fileTimeUtc;
using support::kSecond;
using support::unixCommandSucceeds;

constexpr FileTime kHour = 3600 * kSecond;
const FileTime T = fileTimeUtc(2024, 5, 6, 7, 8, 9);

bool existsOnLinux(const std::string& folder, const std::string& utf8Name) {
    return unixCommandSucceeds("test -e {0}/'" + utf8Name + "' || test -L {0}/'" + utf8Name + "'", {folder});
}

TEST(MirrorSafetyTest, AMasterFolderThatCannotBeListedProtectsEverythingBelowIt) {
    support::TempFolder temp;
    const std::string a = temp.at("マスタ");
    const std::string b = temp.at("ソ");
    makeTree(a, {file("x.txt", "new", T), file("locked\\keep.txt", "k", T - kHour)});
    makeTree(b, {file("locked\\a.txt", "a", T - kHour), file("locked\\sub\\b.txt", "b", T - kHour),
                 file("gone.txt", "g", T - kHour)});
    support::UnreadableFolder locked(a + "\\locked");
    ASSERT_TRUE(locked.effective());

    const PassResult result = runPass({a, b}, true);

    EXPECT_EQ(sorted(result.deleted),
              sorted({"【削除】" + b + "\\gone.txt", "【エラー削除】" + a + "\\locked"}));
    EXPECT_EQ(result.copied, std::vector<std::string>{"【コピー】" + b + "\\x.txt"});
    EXPECT_EQ(support::readFile(b + "\\locked\\a.txt"), "a");
    EXPECT_EQ(support::readFile(b + "\\locked\\sub\\b.txt"), "b");
}

TEST(MirrorSafetyTest, PathsTooLongForThePlatformAreNeitherDeletedNorCopied) {
    support::TempFolder temp;
    const std::string a = temp.folder("A");
    const std::string b = temp.folder("B");
    temp.file("A\\x.txt", "new", T);
    temp.file("B\\gone.txt", "g", T - kHour);
    // A folder whose own path stays below the limit and files in it that reach past it.
    const std::string pad(250 - a.size() - 1, 'p');
    const std::string deep = "/" + pad + "/";
    ASSERT_TRUE(unixCommandSucceeds("mkdir -p {0}" + deep + " {1}" + deep + " && printf new > {0}" + deep +
                         "f_long_name.txt" + " && printf old > {1}" + deep + "f_long_name.txt" +
                         " && printf only > {1}" + deep + "g_long_name.txt" +
                         " && touch -d 2020-01-01 {1}" + deep + "*.txt",
                     {a, b}));
    ASSERT_GE(a.size() + 1 + pad.size() + 1 + std::string("f_long_name.txt").size(), 260u);

    const PassResult result = runPass({a, b}, true);

    EXPECT_EQ(sorted(result.deleted),
              sorted({"【削除】" + b + "\\gone.txt",
                      "【エラー削除】" + b + "\\" + pad + "\\f_long_name.txt",
                      "【エラー削除】" + b + "\\" + pad + "\\g_long_name.txt"}));
    EXPECT_EQ(sorted(result.copied),
              sorted({"【コピー】" + b + "\\x.txt",
                      "【エラーコピー】" + a + "\\" + pad + "\\f_long_name.txt"}));
    EXPECT_TRUE(unixCommandSucceeds("test \"$(cat {0}" + deep + "f_long_name.txt)\" = old && test -e {0}" + deep +
                         "g_long_name.txt",
                     {b}));
}

TEST(MirrorSafetyTest, LinksAreNeverWalkedDeletedOrCopiedThrough) {
    support::TempFolder temp;
    const std::string a = temp.at("A");
    const std::string b = temp.at("B");
    const std::string outside = temp.at("外");
    makeTree(outside, {file("o.txt", "outside", T - 2 * kHour)});
    makeTree(a, {file("x.txt", "new", T), file("d\\f.txt", "f", T - kHour)});
    makeTree(b, {file("old\\junk.txt", "j", T - kHour)});
    ASSERT_TRUE(unixCommandSucceeds("ln -s {2} {0}/la && ln -s {2} {1}/lb && ln -s {2} {1}/d && ln -s {2} "
                     "{1}/old/l",
                     {a, b, outside}));

    const PassResult result = runPass({a, b}, true);

    // The folder holding a link stays; what else it held goes.
    EXPECT_EQ(sorted(result.deleted),
              sorted({"【エラー削除】" + b + "\\lb", "【削除】" + b + "\\old\\junk.txt",
                      "【エラー削除】" + b + "\\old\\l"}));
    EXPECT_EQ(sorted(result.copied),
              sorted({"【エラーコピー】" + a + "\\la", "【コピー】" + b + "\\x.txt",
                      "【エラーコピー】" + b + "\\d", "【エラーコピー】" + b + "\\d\\f.txt"}));
    EXPECT_TRUE(
        unixCommandSucceeds("test -L {0}/lb && test -L {0}/d && test -L {0}/old/l && ! test -e {0}/la", {b}));
    EXPECT_TRUE(treeOf(outside) == expectedTree({file("o.txt", "outside", T - 2 * kHour)}));
    EXPECT_FALSE(support::RecycleBin::holds(outside + "\\o.txt"));
}

TEST(MirrorSafetyTest, NamesOutsideTheCodePageAreLeftAloneAndCannotReachOtherFiles) {
    support::TempFolder temp;
    const std::string a = temp.at("A");
    const std::string b = temp.at("lvl\\B");
    makeTree(a, {file("x.txt", "new", T)});
    makeTree(b, {file("cafe.txt", "a different file", T - kHour)});
    const std::string victim = temp.file("x.txt", "outside the definition", T - kHour);
    // "..¥..¥x.txt" would read "..\..\x.txt" through the code page's best fit, and "café"
    // would read "cafe".
    ASSERT_TRUE(
        unixCommandSucceeds("printf m > {0}/'caf\xC3\xA9.txt' && printf t > {1}/'..\xC2\xA5..\xC2\xA5x.txt' "
             "&& touch -d 2020-01-01 {0}/'caf\xC3\xA9.txt' {1}/'..\xC2\xA5..\xC2\xA5x.txt'",
             {a, b}));

    const PassResult result = runPass({a, b}, true);

    EXPECT_EQ(sorted(result.deleted),
              sorted({"【削除】" + b + "\\cafe.txt", "【エラー削除】" + b + "\\..?..?x.txt"}));
    EXPECT_EQ(sorted(result.copied),
              sorted({"【コピー】" + b + "\\x.txt", "【エラーコピー】" + a + "\\caf?.txt"}));
    EXPECT_EQ(support::readFile(victim), "outside the definition");
    EXPECT_TRUE(existsOnLinux(b, "..\xC2\xA5..\xC2\xA5x.txt"));
    EXPECT_TRUE(existsOnLinux(a, "caf\xC3\xA9.txt"));
    EXPECT_FALSE(existsOnLinux(b, "caf\xC3\xA9.txt"));
}

TEST(MirrorSafetyTest, NamesEqualButForCaseAreNamedEveryRunAndNeverLost) {
    support::TempFolder temp;
    const std::string a = temp.folder("A");
    const std::string b = temp.folder("B");
    temp.file("A\\x.txt", "new", T);
    // Older than the target's pair: nothing is copied over either of them.
    temp.file("A\\keep.txt", "k", fileTimeUtc(2019, 1, 1, 0, 0, 0));
    // Pairs a case-sensitive file system holds and a Windows folder cannot.
    ASSERT_TRUE(unixCommandSucceeds("printf upper > {0}/xt_MARK.h && printf lower > {0}/xt_mark.h && "
                     "printf one > {1}/Keep.txt && printf two > {1}/keep.txt && "
                     "touch -d 2020-01-01 {0}/xt_MARK.h {0}/xt_mark.h {1}/Keep.txt {1}/keep.txt",
                     {a, b}));

    for (int run = 1; run <= 2; ++run) {
        SCOPED_TRACE("run " + std::to_string(run));
        const PassResult result = runPass({a, b}, true);

        // Which of the pair comes first is the listing's order; the other is named.
        std::vector<std::string> errors;
        std::vector<std::string> copies;
        for (const std::string& line : result.copied) {
            (line.compare(0, std::string("【エラーコピー】").size(), "【エラーコピー】") == 0
                 ? errors
                 : copies)
                .push_back(line);
        }
        ASSERT_EQ(errors.size(), 1u);
        EXPECT_TRUE(errors[0] == "【エラーコピー】" + a + "\\xt_MARK.h" ||
                    errors[0] == "【エラーコピー】" + a + "\\xt_mark.h")
            << support::utf8(errors[0]);
        const std::string skipped = errors[0].substr(std::string("【エラーコピー】").size());
        const std::string copiedName = skipped == a + "\\xt_MARK.h" ? "xt_mark.h" : "xt_MARK.h";
        if (run == 1) {
            EXPECT_EQ(sorted(copies),
                      sorted({"【コピー】" + b + "\\x.txt", "【コピー】" + b + "\\" + copiedName}));
        } else {
            EXPECT_TRUE(copies.empty());
        }
        EXPECT_TRUE(result.deleted.empty());
        EXPECT_TRUE(unixCommandSucceeds("test \"$(cat {0}/xt_MARK.h)\" = upper && "
                         "test \"$(cat {0}/xt_mark.h)\" = lower && "
                         "test \"$(cat {1}/Keep.txt)\" = one && test \"$(cat {1}/keep.txt)\" = two",
                         {a, b}));
    }
}

TEST(MirrorSafetyTest, FoldersThatOverlapAreNeverSynced) {
    support::TempFolder temp;
    const std::string a = temp.at("ソ");
    makeTree(a, {file("x.txt", "x", T), file("sub\\y.txt", "y", T - kHour)});
    makeTree(temp.at("ソース"), {file("z.txt", "z", T - kHour)});
    const Tree before = treeOf(temp.path());

    struct Case {
        std::vector<std::string> folders;
        std::string inner;
        std::string outer;
    };
    // The same folder in other ASCII case, with a separator at its end, a folder below
    // another in either order, and a drive holding everything.
    std::string upper = temp.path();
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; });
    const std::vector<Case> cases = {
        {{a, a + "\\sub"}, a + "\\sub", a},
        {{a + "\\sub", a}, a + "\\sub", a},
        {{a, a + "\\"}, a, a + "\\"},
        {{a, upper + "\\ソ"}, a, upper + "\\ソ"},
        {{"D:", a}, a, "D:"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(support::utf8(c.folders[0] + " | " + c.folders[1]));
        const PassResult result = runPass(c.folders, true);
        EXPECT_EQ(result.deleted,
                  std::vector<std::string>{"【エラー削除】" + c.inner + " (" + c.outer +
                                           " と重なっているため同期しません)"});
        EXPECT_TRUE(result.copied.empty());
        EXPECT_TRUE(result.newest.empty());
        EXPECT_TRUE(result.messages.empty());
    }
    EXPECT_TRUE(treeOf(temp.path()) == before);

    // Names that merely begin alike do not overlap.
    const PassResult siblings = runPass({a, temp.at("ソース")}, true);
    EXPECT_FALSE(siblings.messages.empty());
    EXPECT_EQ(siblings.deleted, std::vector<std::string>{"【削除】" + temp.at("ソース\\z.txt")});
}

TEST(MirrorSafetyTest, RootsThatVanishDuringThePassStopItWithoutHarm) {
    // The master goes once it is chosen: nothing is deleted from the target.
    {
        support::TempFolder temp;
        const std::string a = temp.at("A");
        const std::string b = temp.at("B");
        makeTree(a, {file("x.txt", "new", T)});
        makeTree(b, {file("gone.txt", "only in B", T - kHour)});
        const PassResult result = runPass({a, b}, true, nullptr, [&](const auto& message) {
            if (message.message == kMsgMasterFolder) {
                MoveFileA(a.c_str(), temp.at("A moved").c_str());
            }
        });
        EXPECT_EQ(result.deleted, std::vector<std::string>{"【エラー削除】" + a});
        EXPECT_TRUE(result.copied.empty());
        EXPECT_EQ(support::readFile(b + "\\gone.txt"), "only in B");
    }
    // The master goes during the first target's deletions: nothing more is done.
    {
        support::TempFolder temp;
        const std::string a = temp.at("A");
        const std::string b = temp.at("B");
        const std::string c = temp.at("C");
        makeTree(a, {file("x.txt", "new", T)});
        makeTree(b, {file("gone.txt", "only in B", T - kHour)});
        makeTree(c, {});
        const PassResult result = runPass({a, b, c}, true, nullptr, [&](const auto& message) {
            if (message.message == kMsgDeleting) {
                MoveFileA(a.c_str(), temp.at("A moved").c_str());
            }
        });
        // The next target's deletions are not begun either.
        EXPECT_EQ(sorted(result.deleted),
                  sorted({"【削除】" + b + "\\gone.txt", "【エラー削除】" + a}));
        EXPECT_TRUE(result.copied.empty());
        EXPECT_TRUE(support::listFolder(c).empty());
    }
    // A target goes: it is not made again by the copies, and the next target is served.
    {
        support::TempFolder temp;
        const std::string a = temp.at("A");
        const std::string b = temp.at("B");
        const std::string c = temp.at("C");
        makeTree(a, {file("x.txt", "new", T), file("d\\y.txt", "y", T - kHour)});
        makeTree(b, {});
        makeTree(c, {});
        const PassResult result = runPass({a, b, c}, true, nullptr, [&](const auto& message) {
            if (message.message == kMsgMasterFolder) {
                MoveFileA(b.c_str(), temp.at("B moved").c_str());
            }
        });
        EXPECT_TRUE(result.deleted.empty());
        EXPECT_EQ(sorted(result.copied),
                  sorted({"【エラーコピー】" + b, "【コピー】" + c + "\\x.txt",
                          "【コピー】" + c + "\\d", "【コピー】" + c + "\\d\\y.txt"}));
        EXPECT_FALSE(support::pathExists(b));
        EXPECT_TRUE(support::listFolder(temp.at("B moved")).empty());
    }
}

TEST(MirrorSafetyTest, EmptyFoldersAreMirroredAndSurviveAChangeOfMaster) {
    support::TempFolder temp;
    const std::string a = temp.at("A");
    const std::string b = temp.at("B");
    const std::vector<Item> master = {
        file("x.txt", "x", T), folder("e1"), folder("d"),
        folder("d\\e2"),       folder("ソ"), folder("ソ\\表"),
        folder("ソ\\表\\e3"),  folder("能"), file("ソ\\a.txt", "a", T - kHour)};
    makeTree(a, master);
    makeTree(b, {});

    const PassResult first = runPass({a, b}, true);
    EXPECT_TRUE(first.deleted.empty());
    std::vector<std::string> expected;
    for (const char* relative :
         {"x.txt", "e1", "d", "d\\e2", "ソ", "ソ\\表", "ソ\\表\\e3", "能", "ソ\\a.txt"}) {
        expected.push_back("【コピー】" + b + "\\" + relative);
    }
    EXPECT_EQ(sorted(first.copied), sorted(expected));
    EXPECT_TRUE(treeOf(b) == treeOf(a));

    // One run later the target holds the newest file and is the master: nothing it got from
    // the old master may vanish from either.
    temp.file("B\\new.txt", "newer", T + kHour);
    const PassResult second = runPass({a, b}, true);
    EXPECT_EQ(second.messages.front().text, b);
    EXPECT_TRUE(second.deleted.empty());
    EXPECT_EQ(second.copied, std::vector<std::string>{"【コピー】" + a + "\\new.txt"});
    std::vector<Item> now = master;
    now.push_back(file("new.txt", "newer", T + kHour));
    EXPECT_TRUE(treeOf(a) == expectedTree(now));
    EXPECT_TRUE(treeOf(b) == expectedTree(now));
}

} // namespace
