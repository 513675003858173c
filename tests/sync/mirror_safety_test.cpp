#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <atomic>
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

// The path with its real separators written as "/" (trail bytes 0x5C stay as they are).
std::string withSlashes(const std::string& path) {
    std::string result = path;
    for (std::size_t i = 0; i < result.size(); ++i) {
        if (IsDBCSLeadByte(static_cast<BYTE>(result[i])) && i + 1 < result.size()) {
            ++i;
        } else if (result[i] == '\\') {
            result[i] = '/';
        }
    }
    return result;
}

// The same folder seen through Wine's drive Z:, which shows the whole Linux tree, by the
// folder's own Linux path (the drive letters of the test drives are links).
std::string throughDriveZ(const std::string& path) {
    support::TempFolder scratch;
    const std::string answer = scratch.at("real.txt");
    if (!unixCommandSucceeds("readlink -f {0} > {1}", {path, answer})) {
        return std::string();
    }
    std::string unixPath = support::readFile(answer);
    while (!unixPath.empty() && unixPath.back() == '\n') {
        unixPath.pop_back();
    }
    std::replace(unixPath.begin(), unixPath.end(), '/', '\\');
    const int length = MultiByteToWideChar(CP_UTF8, 0, unixPath.c_str(), -1, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, unixPath.c_str(), -1, &wide[0], length);
    char narrow[MAX_PATH * 2] = {};
    WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, narrow, sizeof narrow, nullptr, nullptr);
    return std::string("Z:") + narrow;
}

bool startsWithTag(const std::string& line, const char* tag) {
    return line.compare(0, std::string(tag).size(), tag) == 0;
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

// Names that the platform's path rules would change on the way through the code-page calls
// (a final "." or " ", a character Windows reserves) reach another entry: they are never
// walked, copied or deleted, each gets one error line, and none of them makes its folder the
// master.
TEST(MirrorSafetyTest, NamesTheCodePageCallsWouldChangeAreLeftAloneAndCannotReachOtherFiles) {
    support::TempFolder temp;
    const std::string a = temp.folder("A");
    const std::string b = temp.folder("B");
    temp.file("A\\x.txt", "new", T);
    temp.file("A\\data", "old data", T - 3 * kHour);
    temp.file("B\\data", "newer data", T - kHour);
    temp.file("A\\report", "same", T - 2 * kHour);
    temp.file("B\\report", "same", T - 2 * kHour);
    // "report." in B is the newest file of all; "data." in A would be copied onto B's "data".
    ASSERT_TRUE(unixCommandSucceeds(
        "printf dotted > {0}/data. && printf colon > {0}/'a:b' && "
        "printf dotted > {1}/report. && printf space > {1}/'sp ' && "
        "mkdir {1}/dir. && printf inner > {1}/dir./inner.txt && "
        "touch -d 2020-01-01 {0}/data. {0}/'a:b' {1}/'sp ' {1}/dir./inner.txt && "
        "touch -d 2030-01-01 {1}/report.",
        {a, b}));

    const PassResult result = runPass({a, b}, true);

    EXPECT_EQ(support::utf8(result.master), support::utf8(a));
    EXPECT_EQ(result.newest, std::vector<std::string>{"【最新更新ファイル】" + a + "\\x.txt"});
    EXPECT_EQ(sorted(result.deleted),
              sorted({"【エラー削除】" + b + "\\report.", "【エラー削除】" + b + "\\sp ",
                      "【エラー削除】" + b + "\\dir."}));
    EXPECT_EQ(sorted(result.copied),
              sorted({"【コピー】" + b + "\\x.txt", "【エラーコピー】" + a + "\\data.",
                      "【エラーコピー】" + a + "\\a:b"}));
    EXPECT_EQ(support::readFile(b + "\\data"), "newer data");
    EXPECT_EQ(support::readFile(b + "\\report"), "same");
    EXPECT_EQ(support::readFile(a + "\\x.txt"), "new");
    EXPECT_TRUE(unixCommandSucceeds("test \"$(cat {0}/report.)\" = dotted && "
                                    "test \"$(cat {0}/'sp ')\" = space && "
                                    "test \"$(cat {0}/dir./inner.txt)\" = inner && "
                                    "! test -e {0}/data. && ! test -e {0}/'a:b'",
                                    {b}));
}

// A pair in the master: the first is mirrored, the second named. A pair in a target: a path
// by that name cannot say which of the two it reaches, so the master's file of that name is
// copied over neither, and the name is given.
TEST(MirrorSafetyTest, NamesEqualButForCaseAreNamedEveryRunAndNeverLost) {
    support::TempFolder temp;
    const std::string a = temp.folder("A");
    const std::string b = temp.folder("B");
    temp.file("A\\x.txt", "new", T);
    // Newer than the target's pair, which the file system cannot tell apart by name: it is
    // copied over neither of them, and named.
    temp.file("A\\keep.txt", "k", fileTimeUtc(2021, 1, 1, 0, 0, 0));
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
        // The master's twin left out, and the name the target holds twice.
        ASSERT_EQ(errors.size(), 2u);
        std::sort(errors.begin(), errors.end());
        EXPECT_TRUE(errors[0] == "【エラーコピー】" + a + "\\xt_MARK.h" ||
                    errors[0] == "【エラーコピー】" + a + "\\xt_mark.h")
            << support::utf8(errors[0]);
        EXPECT_EQ(errors[1], "【エラーコピー】" + b + "\\keep.txt");
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

// A name that is a file in the master and a folder in a target, or the other way round:
// nothing at or below it is deleted or copied in that target, and one line names the
// target's entry on every run until the user settles it.
TEST(MirrorSafetyTest, AFileAndAFolderOfOneNameAreNamedEveryRunAndLeftAsTheyAre) {
    support::TempFolder temp;
    const std::string a = temp.at("A");
    const std::string b = temp.at("B");
    makeTree(a,
             {file("x.txt", "new", T), file("Notes\\a.txt", "a", T - kHour),
              file("Notes\\sub\\b.txt", "b", T - kHour), file("data", "master data", T - kHour)});
    makeTree(b, {file("notes", "target notes", T - 2 * kHour),
                 file("data\\keep.txt", "k", T - 2 * kHour),
                 file("data\\sub\\deep.txt", "d", T - 2 * kHour),
                 file("gone.txt", "g", T - 2 * kHour)});
    const Tree kept = treeOf(b);

    for (int run = 1; run <= 2; ++run) {
        SCOPED_TRACE("run " + std::to_string(run));
        const PassResult result = runPass({a, b}, true);
        EXPECT_EQ(support::utf8(result.master), support::utf8(a));
        std::vector<std::string> copied = {"【エラーコピー】" + b + "\\notes",
                                           "【エラーコピー】" + b + "\\data"};
        if (run == 1) {
            copied.push_back("【コピー】" + b + "\\x.txt");
            EXPECT_EQ(result.deleted, std::vector<std::string>{"【削除】" + b + "\\gone.txt"});
        } else {
            EXPECT_TRUE(result.deleted.empty());
        }
        EXPECT_EQ(sorted(result.copied), sorted(copied));
        Tree now = treeOf(b);
        now.erase("x.txt");
        Tree before = kept;
        before.erase("gone.txt");
        EXPECT_TRUE(now == before);
    }
}

TEST(MirrorSafetyTest, FoldersThatOverlapAreNeverSynced) {
    support::TempFolder temp;
    const std::string a = temp.at("ソ");
    makeTree(a, {file("x.txt", "x", T), file("sub\\y.txt", "y", T - kHour)});
    makeTree(temp.at("ソース"), {file("z.txt", "z", T - kHour)});
    // Spellings of the same folder that text cannot match: "/" for "\\", "." and "..", a
    // short 8.3 name, the same folder through another drive, and a linked folder.
    makeTree(temp.at("LongFolderName"), {file("l.txt", "l", T - kHour)});
    const std::string longName = temp.at("LongFolderName");
    char shortName[MAX_PATH] = {};
    ASSERT_GT(GetShortPathNameA(longName.c_str(), shortName, sizeof shortName), 0u);
    ASSERT_NE(support::utf8(shortName), support::utf8(longName));
    const std::string linked = temp.at("link");
    ASSERT_TRUE(unixCommandSucceeds("ln -s {0} {1}", {a, linked}));
    const std::string z = throughDriveZ(a);
    ASSERT_TRUE(support::pathExists(z + "\\sub\\y.txt")) << support::utf8(z);
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
        {{a, withSlashes(a) + "/sub"}, withSlashes(a) + "/sub", a},
        {{a + "\\.\\sub", a}, a + "\\.\\sub", a},
        {{a, temp.at("ソース\\..\\ソ\\sub")}, temp.at("ソース\\..\\ソ\\sub"), a},
        {{shortName, longName}, shortName, longName},
        {{z + "\\sub", a}, z + "\\sub", a},
        {{linked, a + "\\sub"}, a + "\\sub", linked},
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
    // The master goes in the middle of the only target's copies: every copy from then on
    // is a failure, and the definition ends with the master's own line.
    {
        support::TempFolder temp;
        const std::string a = temp.at("A");
        const std::string b = temp.at("B");
        std::vector<Item> files = {file("x.txt", "new", T)};
        for (int i = 0; i < 12; ++i) {
            files.push_back(file("f" + std::to_string(i) + ".txt", "f", T - kHour));
        }
        makeTree(a, files);
        makeTree(b, {});
        int copies = 0;
        const PassResult result = runPass({a, b}, true, nullptr, [&](const auto& message) {
            if (message.message == kMsgCopying && ++copies == 5) {
                MoveFileA(a.c_str(), temp.at("A moved").c_str());
            }
        });
        EXPECT_TRUE(result.deleted.empty());
        ASSERT_FALSE(result.copied.empty());
        EXPECT_EQ(result.copied.back(), "【エラーコピー】" + a);
        std::size_t done = 0, failed = 0;
        for (std::size_t i = 0; i + 1 < result.copied.size(); ++i) {
            const std::string& line = result.copied[i];
            if (startsWithTag(line, "【コピー】")) {
                ++done;
                EXPECT_TRUE(support::pathExists(line.substr(std::string("【コピー】").size())));
            } else {
                EXPECT_TRUE(startsWithTag(line, "【エラーコピー】")) << support::utf8(line);
                ++failed;
            }
        }
        EXPECT_EQ(done, 4u);
        EXPECT_EQ(failed, 9u);
        EXPECT_EQ(support::listFolder(b).size(), 4u);
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
