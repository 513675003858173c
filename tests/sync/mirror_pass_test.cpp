#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "base/file_system.h"
#include "base/path.h"
#include "base/scoped_handle.h"
#include "support/debug_output.h"
#include "support/files.h"
#include "support/recycle_bin.h"
#include "support/report_window.h"
#include "support/temp_folder.h"
#include "support/unix_access.h"
#include "sync/messages.h"
#include "sync/mirror_fixture.h"
#include "sync/mirror_pass.h"

namespace {

using namespace mirror_fixture;
using support::fileTimeUtc;
using support::kSecond;

constexpr FileTime kMinute = 60 * kSecond;
constexpr FileTime kHour = 60 * kMinute;
constexpr FileTime kBucket = 4 * kSecond;

const FileTime T = fileTimeUtc(2024, 1, 10, 10, 0, 0, 1234567);
// The first instant of a 4-second bucket, a day after T.
const FileTime B = ((T + 24 * kHour) / kBucket + 1) * kBucket;
// Later than any moment a test runs at: folders touched by the pass get the current time.
const FileTime kFuture = fileTimeUtc(2037, 1, 1, 0, 0, 0);

struct Scenario {
    const char* name;
    bool withSubfolders;
    std::vector<std::vector<Item>> before;
    std::size_t master;
    std::string newestFile; // "" when no folder holds a file
    std::size_t newestFolder;
    std::vector<Line> deleted;
    std::vector<Line> copied;
    std::vector<std::vector<Item>> after;
};

std::vector<Scenario> scenarios() {
    return {
        {"a newer master file replaces; entries only in the target go to the bin",
         true,
         {{file("x.txt", "new", T)},
          {file("x.txt", "old", T - kHour), file("y.txt", "y", T - kMinute),
           file("表\\z.txt", "z", T - 2 * kHour)}},
         0,
         "x.txt",
         0,
         {{"【削除】", 1, "y.txt"}, {"【削除】", 1, "表"}},
         {{"【コピー】", 1, "x.txt"}},
         {{file("x.txt", "new", T)}, {file("x.txt", "new", T)}}},

        {"an exact tie: the folder with more entries is the master",
         true,
         {{file("x.txt", "same", T)},
          {file("x.txt", "same", T), file("extra.txt", "e", T - kHour)}},
         1,
         "x.txt",
         0,
         {},
         {{"【コピー】", 0, "extra.txt"}},
         {{file("x.txt", "same", T), file("extra.txt", "e", T - kHour)},
          {file("x.txt", "same", T), file("extra.txt", "e", T - kHour)}}},

        {"an exact tie with equal counts: the first folder is the master",
         true,
         {{file("x.txt", "same", T), file("a.txt", "a", T - kHour)},
          {file("x.txt", "same", T), file("b.txt", "b", T - kHour)}},
         0,
         "x.txt",
         0,
         {{"【削除】", 1, "b.txt"}},
         {{"【コピー】", 1, "a.txt"}},
         {{file("x.txt", "same", T), file("a.txt", "a", T - kHour)},
          {file("x.txt", "same", T), file("a.txt", "a", T - kHour)}}},

        {"a tie is broken among the tied folders only: a fuller day-old backup is no master",
         true,
         // A PC folder, a stick with the same newest file 1 s later (rounded by FAT), and a
         // backup of the day before with more entries.
         {{file("x.txt", "newest", T), file("a.txt", "a", T - 24 * kHour)},
          {file("x.txt", "newest", T + kSecond), file("a.txt", "a", T - 24 * kHour)},
          {file("a.txt", "a", T - 24 * kHour), file("p.txt", "p", T - 25 * kHour),
           file("q.txt", "q", T - 25 * kHour)}},
         0,
         "x.txt",
         1,
         {{"【削除】", 2, "p.txt"}, {"【削除】", 2, "q.txt"}},
         {{"【コピー】", 2, "x.txt"}},
         {{file("x.txt", "newest", T), file("a.txt", "a", T - 24 * kHour)},
          {file("x.txt", "newest", T + kSecond), file("a.txt", "a", T - 24 * kHour)},
          {file("x.txt", "newest", T), file("a.txt", "a", T - 24 * kHour)}}},

        {"a copy's time rounded up by FAT ties with its original: the fuller folder stays master",
         true,
         {{file("x.txt", "same", T), file("old.txt", "added later, old date", T - 24 * kHour)},
          {file("x.txt", "same", T + 3 * kSecond / 2)}},
         0,
         "x.txt",
         1,
         {},
         {{"【コピー】", 1, "old.txt"}},
         {{file("x.txt", "same", T), file("old.txt", "added later, old date", T - 24 * kHour)},
          {file("x.txt", "same", T + 3 * kSecond / 2),
           file("old.txt", "added later, old date", T - 24 * kHour)}}},

        {"two seconds is still a tie; the first of equal counts is the master",
         true,
         {{file("x.txt", "same", T), file("a.txt", "a", T - kHour)},
          {file("x.txt", "same", T + 2 * kSecond), file("b.txt", "b", T - kHour)}},
         0,
         "x.txt",
         1,
         {{"【削除】", 1, "b.txt"}},
         {{"【コピー】", 1, "a.txt"}},
         {{file("x.txt", "same", T), file("a.txt", "a", T - kHour)},
          {file("x.txt", "same", T + 2 * kSecond), file("a.txt", "a", T - kHour)}}},

        {"more than two seconds newer is newer: that folder is the master",
         true,
         {{file("x.txt", "older", B), file("a.txt", "a", B - kHour)},
          {file("x.txt", "newer", B + 2 * kSecond + 1)}},
         1,
         "x.txt",
         1,
         {{"【削除】", 0, "a.txt"}},
         {}, // one 4-second bucket: the copy decision takes them for equal
         {{file("x.txt", "older", B)}, {file("x.txt", "newer", B + 2 * kSecond + 1)}}},

        {"4-second buckets; a target file newer than the master's is kept",
         true,
         {{file("newest.txt", "n", B + kHour), file("same.txt", "master", B + 3 * kSecond),
           file("previous.txt", "master", B + kSecond / 2), file("newer.txt", "master", B)},
          {file("same.txt", "target", B + kSecond / 2),
           file("previous.txt", "target", B - kSecond / 2),
           file("newer.txt", "target", B + 10 * kMinute)}},
         0,
         "newest.txt",
         0,
         {},
         {{"【コピー】", 1, "newest.txt"}, {"【コピー】", 1, "previous.txt"}},
         {{file("newest.txt", "n", B + kHour), file("same.txt", "master", B + 3 * kSecond),
           file("previous.txt", "master", B + kSecond / 2), file("newer.txt", "master", B)},
          {file("newest.txt", "n", B + kHour), file("same.txt", "target", B + kSecond / 2),
           file("previous.txt", "master", B + kSecond / 2),
           file("newer.txt", "target", B + 10 * kMinute)}}},

        {"without subfolders nothing below the first level is seen or touched",
         false,
         {{file("a.txt", "a", T), file("sub\\b.txt", "b", T - kHour)},
          {file("old.txt", "old", T - 2 * kHour), file("sub2\\c.txt", "newest of all", T + kHour),
           file("sub\\b2.txt", "b2", T - kHour)}},
         0,
         "a.txt",
         0,
         {{"【削除】", 1, "old.txt"}},
         {{"【コピー】", 1, "a.txt"}},
         {{file("a.txt", "a", T), folder("sub"), file("sub\\b.txt", "b", T - kHour)},
          {file("a.txt", "a", T), folder("sub2"), file("sub2\\c.txt", "newest of all", T + kHour),
           folder("sub"), file("sub\\b2.txt", "b2", T - kHour)}}},

        {"no file anywhere: the first folder is the master",
         true,
         {{folder("e1")}, {folder("f1"), folder("f1\\g")}},
         0,
         "",
         0,
         {{"【削除】", 1, "f1"}},   // f1\g went with it: no line
         {{"【コピー】", 1, "e1"}}, // an empty folder is mirrored too
         {{folder("e1")}, {folder("e1")}}},

        {"a file in one folder named like a folder in the other: neither is touched",
         true,
         {{file("item", "a file", kFuture), folder("dir2"), file("dir2\\f.txt", "in A", T)},
          {folder("item", T - 3 * kHour), file("item\\inner.txt", "inner", T - 2 * kHour),
           file("dir2", "a file in B", T - 2 * kHour)}},
         0,
         "item",
         0,
         {},
         {{"【エラーコピー】", 1, "item"}, {"【エラーコピー】", 1, "dir2"}},
         {{file("item", "a file", kFuture), folder("dir2"), file("dir2\\f.txt", "in A", T)},
          {folder("item"), file("item\\inner.txt", "inner", T - 2 * kHour),
           file("dir2", "a file in B", T - 2 * kHour)}}},

        {"Japanese names with trail bytes 0x5C at every depth",
         true,
         {{file("ソ\\表\\能.txt", "能", T), file("予定表.txt", "予定", T - kHour),
           file("ソ\\十.txt", "十", T - kHour), file("空.txt", "", T - kHour)},
          {file("表\\ソ.txt", "only here", T - 2 * kHour),
           file("予定表.txt", "old", T - 2 * kHour)}},
         0,
         "ソ\\表\\能.txt",
         0,
         {{"【削除】", 1, "表"}},
         {{"【コピー】", 1, "ソ"},
          {"【コピー】", 1, "ソ\\表"},
          {"【コピー】", 1, "ソ\\表\\能.txt"},
          {"【コピー】", 1, "予定表.txt"},
          {"【コピー】", 1, "ソ\\十.txt"},
          {"【コピー】", 1, "空.txt"}},
         {{folder("ソ"), folder("ソ\\表"), file("ソ\\表\\能.txt", "能", T),
           file("予定表.txt", "予定", T - kHour), file("ソ\\十.txt", "十", T - kHour),
           file("空.txt", "", T - kHour)},
          {folder("ソ"), folder("ソ\\表"), file("ソ\\表\\能.txt", "能", T),
           file("予定表.txt", "予定", T - kHour), file("ソ\\十.txt", "十", T - kHour),
           file("空.txt", "", T - kHour)}}},
    };
}

TEST(MirrorPassTest, Scenarios) {
    for (const Scenario& scenario : scenarios()) {
        SCOPED_TRACE(scenario.name);
        // Roots whose own names end in trail bytes 0x5C, on two drives.
        support::TempFolder first;
        support::TempFolder second(support::kDriveE);
        support::TempFolder third;
        const std::vector<std::string> roots = {first.at("ソース表"), second.at("予定ソ"),
                                                third.at("能")};
        std::vector<std::string> folders(roots.begin(), roots.begin() + scenario.before.size());
        for (std::size_t i = 0; i < folders.size(); ++i) {
            makeTree(folders[i], scenario.before[i]);
        }

        const PassResult result = runPass(folders, scenario.withSubfolders);

        const std::string newest = scenario.newestFile.empty() ? std::string()
                                                               : folders[scenario.newestFolder] +
                                                                     "\\" + scenario.newestFile;
        EXPECT_EQ(result.newest, std::vector<std::string>{"【最新更新ファイル】" + newest});
        ASSERT_FALSE(result.messages.empty());
        EXPECT_EQ(result.messages.front().message, kMsgMasterFolder);
        EXPECT_EQ(support::utf8(result.messages.front().text),
                  support::utf8(folders[scenario.master]));

        EXPECT_EQ(sorted(result.deleted), sorted(outcomeLines(scenario.deleted, folders)));
        // Where the replaced files went is the holding folder's test.
        EXPECT_EQ(sorted(withoutHeldLines(result.copied)),
                  sorted(outcomeLines(scenario.copied, folders)));
        for (const Line& line : scenario.deleted) {
            const std::string path = folders[line.folder] + "\\" + line.relative;
            EXPECT_TRUE(support::RecycleBin::holds(path)) << support::utf8(path);
        }
        for (std::size_t i = 0; i < folders.size(); ++i) {
            SCOPED_TRACE("folder " + std::to_string(i));
            EXPECT_TRUE(treeOf(folders[i]) == expectedTree(withFolders(scenario.after[i])));
        }
    }
}

TEST(MirrorPassTest, MessagesInOrderWithTheirTexts) {
    support::TempFolder temp;
    const std::string a = temp.at("Aソ");
    const std::string b = temp.at("B表");
    const std::string c = temp.at("C能");
    makeTree(a, {file("x.txt", "new", T), file("d\\y.txt", "y", T - kHour)});
    makeTree(b, {file("b.txt", "only in B", T - kHour), file("d\\y.txt", "y", T - kHour)});
    makeTree(c, {file("c.txt", "only in C", T - kHour)});

    support::DebugOutputCapture traces;
    const PassResult result = runPass({a, b, c}, true);
    if (traces.active()) {
        // Each folder before its snapshot, then the newest file; the operations follow.
        const std::string opening = a + "\r\n" + b + "\r\n" + c + "\r\n" + "【最新更新ファイル】" +
                                    a + "\\x.txt\r\n" + b + "\\b.txt - 削除\r\n" + c +
                                    "\\c.txt - 削除\r\n";
        const std::string all = traces.take();
        EXPECT_EQ(support::utf8(all.substr(0, opening.size())), support::utf8(opening));
    }

    struct Expected {
        UINT message;
        std::string text;
        std::string source;
    };
    const std::vector<Expected> expected = {
        {kMsgMasterFolder, a, ""},
        // Every deletion of every target comes before the first copy.
        {kMsgDeleting, b + "\\b.txt", ""},
        {kMsgDeleting, c + "\\c.txt", ""},
        {kMsgCopying, b + "\\x.txt", a + "\\x.txt"},
        {kMsgCopying, c + "\\x.txt", a + "\\x.txt"},
        {kMsgCopying, c + "\\d", a + "\\d"}, // made before the file in it
        {kMsgCopying, c + "\\d\\y.txt", a + "\\d\\y.txt"},
    };
    std::vector<std::string> seen, wanted;
    for (const support::ReportedMessage& message : result.messages) {
        seen.push_back(std::to_string(message.message) + " " + support::utf8(message.text) + " " +
                       support::utf8(message.source));
        if (message.message == kMsgCopying) {
            EXPECT_EQ(message.wParam, message.text.size() + 1);
        } else {
            EXPECT_EQ(message.wParam, 0u);
        }
    }
    for (const Expected& message : expected) {
        wanted.push_back(std::to_string(message.message) + " " + support::utf8(message.text) + " " +
                         support::utf8(message.source));
    }
    // The order of x.txt and d within a folder is the directory's own; compare the copies
    // to C as a set and everything else in order.
    ASSERT_EQ(seen.size(), wanted.size());
    EXPECT_EQ(std::vector<std::string>(seen.begin(), seen.begin() + 4),
              std::vector<std::string>(wanted.begin(), wanted.begin() + 4));
    EXPECT_EQ(sorted(std::vector<std::string>(seen.begin() + 4, seen.end())),
              sorted(std::vector<std::string>(wanted.begin() + 4, wanted.end())));
    EXPECT_EQ(sorted(result.copied),
              sorted({"【コピー】" + b + "\\x.txt", "【コピー】" + c + "\\x.txt",
                      "【コピー】" + c + "\\d", "【コピー】" + c + "\\d\\y.txt"}));
}

TEST(MirrorPassTest, FailuresAreOutcomeLinesAndThePassGoesOn) {
    support::TempFolder temp;
    const std::string a = temp.at("マスタ");
    const std::string b = temp.at("ソ");
    makeTree(a, {file("x.txt", "new x", T), file("y.txt", "new y", T),
                 file("cafe.txt", "e", T - 2 * kHour)});
    makeTree(b, {file("x.txt", "old x", T - kHour), file("lock.txt", "locked", T - kHour),
                 file("other.txt", "o", T - kHour), file("cafe.txt", "e", T - 2 * kHour)});
    ASSERT_TRUE(SetFileAttributesA((b + "\\x.txt").c_str(), FILE_ATTRIBUTE_READONLY));
    FileHandle holder(CreateFileA((b + "\\lock.txt").c_str(), GENERIC_READ, FILE_SHARE_READ,
                                  nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(holder.valid());
    // Names outside the code page (here with a Hangul letter) come back with "?" for the
    // missing character; they must never reach the shell or the copy as patterns (caf?
    // would match cafe.txt).
    const std::string outsideNames = "'" + support::unixPathOf(b) + "/caf\xED\x95\x9C.txt' '" +
                                     support::unixPathOf(a) + "/na\xED\x95\x9Cve.txt'";
    ASSERT_TRUE(support::runUnixCommand("touch -d 2020-01-01 " + outsideNames));
    // Such names cannot be deleted through the code page: gone from the Linux side.
    struct RemovedAtTheEnd {
        std::string names;
        ~RemovedAtTheEnd() { support::runUnixCommand("rm -f " + names); }
    } removed{outsideNames};
    ASSERT_TRUE(support::pumpMessagesUntil(
        [&] { return support::listFolder(a).size() == 4 && support::listFolder(b).size() == 5; },
        5000));

    const PassResult result = runPass({a, b}, true);
    holder.reset();

    EXPECT_EQ(sorted(result.deleted),
              sorted({"【エラー削除】" + b + "\\lock.txt", "【削除】" + b + "\\other.txt",
                      "【エラー削除】" + b + "\\caf?.txt"}));
    EXPECT_EQ(sorted(result.copied),
              sorted({"【エラーコピー】" + b + "\\x.txt", "【コピー】" + b + "\\y.txt",
                      "【エラーコピー】" + a + "\\na?ve.txt"}));
    EXPECT_EQ(support::readFile(b + "\\x.txt"), "old x");
    EXPECT_EQ(support::readFile(b + "\\y.txt"), "new y");
    EXPECT_EQ(support::readFile(b + "\\lock.txt"), "locked");
    EXPECT_EQ(support::readFile(b + "\\cafe.txt"), "e");
    EXPECT_EQ(support::readFile(a + "\\cafe.txt"), "e");
    EXPECT_FALSE(support::pathExists(b + "\\other.txt"));
    SetFileAttributesA((b + "\\x.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
}

// Only names the program makes itself are its leftovers: "~SCV", four hexadecimal digits in
// upper case, ".TMP". Each removal is a line of the log; a user's file of a similar name is
// a file like any other.
TEST(MirrorPassTest, LeftoverCopiesAreRemovedWithALineAndNeverMirrored) {
    support::TempFolder temp;
    const std::string a = temp.at("A");
    const std::string b = temp.at("B");
    // A leftover newer than everything must not make its folder the master.
    makeTree(a, {file("x.txt", "x", T), file("~SCV1A2B.TMP", "partial", T + kHour),
                 file("ソ\\~scv0000.tmp", "a user's file", T - kHour),
                 file("~scv2024.tmp", "also a user's", T - kHour)});
    makeTree(b, {file("x.txt", "x", T - kHour), file("~SCV3C4D.TMP", "partial", kFuture),
                 file("~scv2024.tmp", "also a user's", T - kHour),
                 file("~SCV00a1.TMP", "lower-case digits: a user's", T - 2 * kHour)});

    const PassResult result = runPass({a, b}, true);

    EXPECT_EQ(result.messages.front().text, a);
    EXPECT_EQ(result.newest, std::vector<std::string>{"【最新更新ファイル】" + a + "\\x.txt"});
    EXPECT_EQ(sorted(result.deleted), sorted({"【一時ファイル削除】" + a + "\\~SCV1A2B.TMP",
                                              "【一時ファイル削除】" + b + "\\~SCV3C4D.TMP",
                                              "【削除】" + b + "\\~SCV00a1.TMP"}));
    EXPECT_EQ(sorted(withoutHeldLines(result.copied)),
              sorted({"【コピー】" + b + "\\x.txt", "【コピー】" + b + "\\ソ",
                      "【コピー】" + b + "\\ソ\\~scv0000.tmp"}));
    const std::vector<Item> mirrored = {file("x.txt", "x", T), folder("ソ"),
                                        file("ソ\\~scv0000.tmp", "a user's file", T - kHour),
                                        file("~scv2024.tmp", "also a user's", T - kHour)};
    EXPECT_TRUE(treeOf(a) == expectedTree(mirrored));
    EXPECT_TRUE(treeOf(b) == expectedTree(mirrored));
    EXPECT_TRUE(support::RecycleBin::holds(a + "\\~SCV1A2B.TMP"));
    EXPECT_TRUE(support::RecycleBin::holds(b + "\\~SCV3C4D.TMP"));
}

// A run's window is told of deletions and copies at most every so often; the log keeps
// every line, and the window ends on the last path of each phase.
TEST(MirrorPassTest, ProgressMessagesAreSpacedButTheLogKeepsEveryLine) {
    support::TempFolder temp;
    const std::string a = temp.at("A");
    const std::string b = temp.at("B");
    std::vector<Item> master, target;
    for (int i = 0; i < 300; ++i) {
        master.push_back(
            file("d" + std::to_string(i / 50) + "\\f" + std::to_string(i) + ".txt", "new", T));
        target.push_back(file("gone" + std::to_string(i) + ".txt", "old", T - kHour));
    }
    makeTree(a, master);
    makeTree(b, target);

    PassSetup setup;
    setup.reportIntervalMs = 50;
    const PassResult result = runPass({a, b}, true, setup);

    EXPECT_EQ(result.deleted.size(), 300u);
    EXPECT_EQ(result.copied.size(), 306u); // six folders and their files
    std::size_t deletions = 0, copies = 0;
    for (const support::ReportedMessage& message : result.messages) {
        deletions += message.message == kMsgDeleting ? 1 : 0;
        copies += message.message == kMsgCopying ? 1 : 0;
    }
    EXPECT_GE(deletions, 1u);
    EXPECT_GE(copies, 1u);
    EXPECT_LT(deletions + copies, 300u) << "every operation was announced";
    // The last message of each phase names its last operation.
    std::string lastDeletion, lastCopy;
    for (const support::ReportedMessage& message : result.messages) {
        (message.message == kMsgDeleting ? lastDeletion : lastCopy) = message.text;
    }
    EXPECT_EQ("【削除】" + lastDeletion, result.deleted.back());
    EXPECT_EQ("【コピー】" + lastCopy, result.copied.back());
    EXPECT_EQ(result.messages.back().message, kMsgCopying);
}

TEST(MirrorPassTest, AStopRequestEndsThePassInTheMiddleOfABigCopy) {
    support::TempFolder temp;
    const std::string a = temp.at("A");
    const std::string b = temp.at("B");
    const std::string c = temp.at("C");
    makeTree(a, {});
    makeTree(b, {file("big.bin", "the old file", T - kHour)});
    makeTree(c, {});
    // Eight gigabytes whose blocks are never written: copying it takes far longer than the
    // test waits.
    ASSERT_TRUE(support::makeSparseFile(a + "\\big.bin", 8ull << 30));
    ASSERT_TRUE(support::setWriteTime(a + "\\big.bin", T));

    std::atomic<bool> stop{false};
    std::thread watcher([&] {
        const DWORD start = GetTickCount();
        while (GetTickCount() - start < 60000) {
            for (const std::string& name : support::listFolder(b)) {
                if (isTemporaryFileName(name.c_str())) {
                    stop = true;
                    return;
                }
            }
            Sleep(5);
        }
    });
    const PassResult result = runPass({a, b, c}, true, &stop);
    watcher.join();

    ASSERT_TRUE(stop.load());
    // Its size first: a copy that ran to its end must fail here, not fill the memory.
    ASSERT_EQ(support::fileSize(b + "\\big.bin"), 12u);
    EXPECT_EQ(support::readFile(b + "\\big.bin"), "the old file");
    EXPECT_EQ(support::listFolder(b), std::vector<std::string>{"big.bin"});
    // The copy into C, the next target, was never started.
    EXPECT_EQ(result.copied, std::vector<std::string>{"【エラーコピー】" + b + "\\big.bin"});
    EXPECT_TRUE(support::listFolder(c).empty());
    EXPECT_EQ(result.messages.back().message, kMsgCopying);
    EXPECT_EQ(result.messages.back().text, b + "\\big.bin");
}

} // namespace
