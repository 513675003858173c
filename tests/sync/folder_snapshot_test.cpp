#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "base/scoped_handle.h"
#include "support/files.h"
#include "support/temp_folder.h"
#include "support/unix_access.h"
#include "sync/folder_snapshot.h"

namespace {

using support::fileTimeUtc;
using support::kSecond;

struct Expected {
    bool folder;
    FileTime time;
};

// Checks a snapshot against the entries expected by relative path: the same set, full
// paths below the root, exact write times, and every folder directly followed by all
// entries below it.
void expectSnapshot(const FolderSnapshot& snapshot,
                    const std::map<std::string, Expected>& expected) {
    ASSERT_EQ(snapshot.entryCount(), expected.size());
    std::set<std::string> seen;
    for (std::size_t i = 0; i < snapshot.entryCount(); ++i) {
        const std::string relative = snapshot.relativePath(i);
        SCOPED_TRACE(support::utf8(relative));
        ASSERT_EQ(expected.count(relative), 1u);
        EXPECT_TRUE(seen.insert(relative).second);
        EXPECT_EQ(snapshot.isFolder(i), expected.at(relative).folder);
        EXPECT_EQ(snapshot.isFile(i), !expected.at(relative).folder);
        EXPECT_EQ(snapshot.writeTime(i), expected.at(relative).time);
        EXPECT_EQ(snapshot.fullPath(i), snapshot.root() + "\\" + relative);
        if (snapshot.isFolder(i)) {
            const std::string prefix = relative + "\\";
            std::size_t below = 0;
            for (const auto& entry : expected) {
                below += entry.first.compare(0, prefix.size(), prefix) == 0 ? 1 : 0;
            }
            for (std::size_t j = i + 1; j <= i + below; ++j) {
                EXPECT_EQ(snapshot.relativePath(j).compare(0, prefix.size(), prefix), 0)
                    << "entry " << j << " does not follow its folder at " << i;
            }
        }
    }
}

class FolderSnapshotTest : public testing::Test {
  protected:
    PrivateHeap heap_{HeapCreate(0, 0, 0)};
    support::TempFolder temp_;
};

TEST_F(FolderSnapshotTest, TreeWithAndWithoutSubfolders) {
    const FileTime t = fileTimeUtc(2024, 5, 1, 10, 0, 0, 1234567);
    temp_.file("root\\a.txt", "a", t);
    temp_.file("root\\sub\\b.txt", "b", t + 1);
    temp_.file("root\\sub\\deep\\c.txt", "c", t + 2);
    temp_.file("root\\sub2\\d.txt", "d", t + 3);
    temp_.file("root\\e.txt", "e", t + 4);
    temp_.folder("root\\empty");
    ASSERT_TRUE(support::setWriteTime(temp_.at("root\\sub\\deep"), t + 5));
    ASSERT_TRUE(support::setWriteTime(temp_.at("root\\sub"), t + 6));
    ASSERT_TRUE(support::setWriteTime(temp_.at("root\\sub2"), t + 7));
    ASSERT_TRUE(support::setWriteTime(temp_.at("root\\empty"), t + 8));

    FolderSnapshot snapshot(heap_.get());
    EXPECT_EQ(snapshot.buildSnapshot(temp_.at("root"), true), 9u);
    expectSnapshot(snapshot, {{"a.txt", {false, t}},
                              {"sub", {true, t + 6}},
                              {"sub\\b.txt", {false, t + 1}},
                              {"sub\\deep", {true, t + 5}},
                              {"sub\\deep\\c.txt", {false, t + 2}},
                              {"sub2", {true, t + 7}},
                              {"sub2\\d.txt", {false, t + 3}},
                              {"e.txt", {false, t + 4}},
                              {"empty", {true, t + 8}}});

    // Without subfolders the folders of the root are no entries at all.
    EXPECT_EQ(snapshot.buildSnapshot(temp_.at("root"), false), 2u);
    expectSnapshot(snapshot, {{"a.txt", {false, t}}, {"e.txt", {false, t + 4}}});
}

TEST_F(FolderSnapshotTest, JapaneseNamesWithTrailBytesAtEveryDepth) {
    const FileTime t = fileTimeUtc(2023, 12, 31, 23, 59, 58);
    temp_.file("ソフト表\\能力.txt", "1", t);
    temp_.file("ソフト表\\予定表\\ソ\\表.txt", "2", t + kSecond);
    temp_.file("ソフト表\\予定表\\能", "3", t + 2 * kSecond);
    for (const char* folder : {"ソフト表\\予定表\\ソ", "ソフト表\\予定表"}) {
        ASSERT_TRUE(support::setWriteTime(temp_.at(folder), t));
    }

    FolderSnapshot snapshot(heap_.get());
    ASSERT_EQ(snapshot.buildSnapshot(temp_.at("ソフト表"), true), 5u);
    expectSnapshot(snapshot, {{"能力.txt", {false, t}},
                              {"予定表", {true, t}},
                              {"予定表\\ソ", {true, t}},
                              {"予定表\\ソ\\表.txt", {false, t + kSecond}},
                              {"予定表\\能", {false, t + 2 * kSecond}}});

    EXPECT_TRUE(snapshot.lookupInFolder("予定表\\ソ\\表.txt"));
    EXPECT_EQ(snapshot.lastLookupTime(), t + kSecond);
}

TEST_F(FolderSnapshotTest, TemporaryCopiesAreNeverEntries) {
    const FileTime t = fileTimeUtc(2024, 2, 2, 2, 2, 2);
    temp_.file("root\\a.txt", "a", t);
    temp_.file("root\\~SCV00AF.TMP", "cut off", t + 9 * kSecond); // would be the newest
    temp_.file("root\\ソ\\~SCV1234.TMP", "cut off below", t);
    // The program writes its names in upper case: these are the user's.
    temp_.file("root\\~scv2024.tmp", "a user's", t);
    temp_.file("root\\ソ\\~SCV12ab.TMP", "a user's too", t);
    temp_.file("root\\ソ\\b.txt", "b", t);
    // Only files of the exact pattern: a folder of that name and a near miss are entries.
    temp_.file("root\\~SCV9999.TMP\\c.txt", "c", t);
    temp_.file("root\\~SCV0001.TMP.bak", "d", t);

    FolderSnapshot snapshot(heap_.get());
    ASSERT_EQ(snapshot.buildSnapshot(temp_.at("root"), true), 8u);
    std::vector<std::string> relatives;
    for (std::size_t i = 0; i < snapshot.entryCount(); ++i) {
        relatives.push_back(snapshot.relativePath(i));
    }
    std::sort(relatives.begin(), relatives.end());
    EXPECT_EQ(relatives, (std::vector<std::string>{"a.txt", "~SCV0001.TMP.bak", "~SCV9999.TMP",
                                                   "~SCV9999.TMP\\c.txt", "~scv2024.tmp", "ソ",
                                                   "ソ\\b.txt", "ソ\\~SCV12ab.TMP"}));
    std::vector<std::string> leftovers = snapshot.temporaryFiles();
    std::sort(leftovers.begin(), leftovers.end());
    EXPECT_EQ(leftovers, (std::vector<std::string>{temp_.at("root\\~SCV00AF.TMP"),
                                                   temp_.at("root\\ソ\\~SCV1234.TMP")}));

    // Without subfolders the walk sees, and reports, only the first level.
    ASSERT_EQ(snapshot.buildSnapshot(temp_.at("root"), false), 3u);
    EXPECT_EQ(snapshot.temporaryFiles(), std::vector<std::string>{temp_.at("root\\~SCV00AF.TMP")});
}

TEST_F(FolderSnapshotTest, EmptyMissingAndMisspelledRoots) {
    FolderSnapshot snapshot(heap_.get());
    EXPECT_EQ(snapshot.buildSnapshot(temp_.folder("empty"), true), 0u);
    EXPECT_EQ(snapshot.buildSnapshot(temp_.at("missing"), true), 0u);
    temp_.file("full\\a.txt");
    EXPECT_EQ(snapshot.buildSnapshot(temp_.at("full") + "\\", true), 0u);
    EXPECT_EQ(snapshot.buildSnapshot(temp_.at("full\\a.txt"), true), 0u);
    EXPECT_EQ(snapshot.buildSnapshot(support::kDriveNotReady, true), 0u);
    EXPECT_EQ(snapshot.buildSnapshot(temp_.at("full"), true), 1u);
}

TEST_F(FolderSnapshotTest, IndexesAtOrBeyondTheCount) {
    temp_.file("root\\a.txt");
    FolderSnapshot snapshot(heap_.get());
    ASSERT_EQ(snapshot.buildSnapshot(temp_.at("root"), true), 1u);
    for (std::size_t index : {std::size_t(1), std::size_t(2), std::size_t(1000000)}) {
        EXPECT_FALSE(snapshot.isFolder(index));
        EXPECT_FALSE(snapshot.isFile(index));
        EXPECT_EQ(snapshot.writeTime(index), 0u);
        EXPECT_EQ(snapshot.fullPath(index), "");
        EXPECT_EQ(snapshot.relativePath(index), "");
    }
    FolderSnapshot empty(heap_.get());
    EXPECT_EQ(empty.entryCount(), 0u);
    EXPECT_EQ(empty.fullPath(0), "");
    EXPECT_EQ(empty.writeTime(0), 0u);
}

TEST_F(FolderSnapshotTest, LookupAsksTheFileSystemNow) {
    const FileTime fileTime = fileTimeUtc(2022, 1, 2, 3, 4, 5, 6);
    const FileTime folderTime = fileTimeUtc(2021, 6, 7, 8, 9, 10, 11);
    temp_.file("root\\sub\\x.txt", "x", fileTime);
    ASSERT_TRUE(support::setWriteTime(temp_.at("root\\sub"), folderTime));

    FolderSnapshot snapshot(heap_.get());
    snapshot.buildSnapshot(temp_.at("root"), true);

    EXPECT_TRUE(snapshot.lookupInFolder("sub"));
    EXPECT_EQ(snapshot.lastLookupTime(), folderTime);
    EXPECT_TRUE(snapshot.lookupInFolder("SUB\\X.TXT")); // the file system's own comparison
    EXPECT_EQ(snapshot.lastLookupTime(), fileTime);

    for (const char* missing : {"sub\\y.txt", "sub\\*.txt", "sub\\x.tx?", "", "nothing\\x.txt"}) {
        EXPECT_TRUE(snapshot.lookupInFolder("sub\\x.txt"));
        EXPECT_FALSE(snapshot.lookupInFolder(missing)) << missing;
        EXPECT_EQ(snapshot.lastLookupTime(), 0u) << missing;
    }

    // An entry that appears after the snapshot is seen, one that goes is missed.
    temp_.file("root\\later.txt", "l", fileTime + kSecond);
    EXPECT_TRUE(snapshot.lookupInFolder("later.txt"));
    EXPECT_EQ(snapshot.lastLookupTime(), fileTime + kSecond);
    ASSERT_TRUE(DeleteFileA(temp_.at("root\\sub\\x.txt").c_str()));
    EXPECT_FALSE(snapshot.lookupInFolder("sub\\x.txt"));
}

TEST_F(FolderSnapshotTest, DriveNameAsRoot) {
    support::DriveRootLock lock;
    ASSERT_TRUE(lock.locked());
    const std::string drive = support::kDriveRoot;

    FolderSnapshot snapshot(heap_.get());
    // A drive root without entries has not even "." and "..": the search cannot start.
    EXPECT_EQ(snapshot.buildSnapshot(drive, true), 0u);

    const FileTime t = fileTimeUtc(2020, 2, 29, 12, 0, 0);
    ASSERT_TRUE(support::writeFile(drive + "\\x.txt", "x"));
    ASSERT_TRUE(support::makeFolders(drive + "\\表"));
    ASSERT_TRUE(support::writeFile(drive + "\\表\\y.txt", "y"));
    ASSERT_TRUE(support::setWriteTime(drive + "\\x.txt", t));
    ASSERT_TRUE(support::setWriteTime(drive + "\\表\\y.txt", t + 1));
    ASSERT_TRUE(support::setWriteTime(drive + "\\表", t + 2));

    ASSERT_EQ(snapshot.buildSnapshot(drive, true), 3u);
    expectSnapshot(snapshot, {{"x.txt", {false, t}},
                              {"表", {true, t + 2}},
                              {"表\\y.txt", {false, t + 1}}});
    EXPECT_TRUE(snapshot.lookupInFolder("表\\y.txt"));
    EXPECT_EQ(snapshot.lastLookupTime(), t + 1);
}

TEST_F(FolderSnapshotTest, AnUnreadableSubfolderKeepsItsEntryButNothingBelow) {
    temp_.file("root\\a.txt");
    temp_.file("root\\locked\\hidden.txt");
    temp_.file("root\\locked\\deeper\\more.txt");
    temp_.file("root\\open\\b.txt");
    const FileTime lockedTime = support::writeTimeOf(temp_.at("root\\locked"));

    support::UnreadableFolder locked(temp_.at("root\\locked"));
    ASSERT_TRUE(locked.effective());

    FolderSnapshot snapshot(heap_.get());
    ASSERT_EQ(snapshot.buildSnapshot(temp_.at("root"), true), 4u);
    expectSnapshot(snapshot, {{"a.txt", {false, support::writeTimeOf(temp_.at("root\\a.txt"))}},
                              {"locked", {true, lockedTime}},
                              {"open", {true, support::writeTimeOf(temp_.at("root\\open"))}},
                              {"open\\b.txt",
                               {false, support::writeTimeOf(temp_.at("root\\open\\b.txt"))}}});
}

// A name that the platform's path rules change on the way through the code-page calls
// names another entry there (or a device): the walk flags it as a name that is never
// mirrored and does not walk into it. Names the calls keep as they are stay plain entries.
TEST_F(FolderSnapshotTest, NamesTheCodePageCallsWouldChangeAreNeverMirrored) {
    const struct {
        const char* name; // as the Linux side writes it (UTF-8)
        bool changed;
    } cases[] = {
        {"data.", true}, {"trail ", true},       {"dots..", true},   {"a:b", true},
        {"x\\y", true},  {"q\"uote", true},      {"less<", true},    {"pipe|", true},
        {"con", true},   {"AUX.txt", true},      {"nul .txt", true}, {"lpt1.tar.gz", true},
        {"COM9", true},  {"data", false},        {".hidden", false}, {"a.b", false},
        {"con2", false}, {"console.txt", false}, {" lead", false},   {"表.txt", false},
        {"dir.", true},
    };
    const std::string root = temp_.folder("root");
    std::string command = "cd {0}";
    for (const auto& c : cases) {
        command += " && printf x > '" + support::utf8(c.name) + "'";
    }
    ASSERT_TRUE(support::unixCommandSucceeds(command + " && rm dir. && mkdir dir. && "
                                                       "printf y > dir./inside.txt",
                                             {root}));

    FolderSnapshot snapshot(heap_.get());
    snapshot.buildSnapshot(root, true);
    std::map<std::string, std::uint16_t> flags;
    for (std::size_t i = 0; i < snapshot.entryCount(); ++i) {
        flags[snapshot.relativePath(i)] = snapshot.flags(i);
    }
    EXPECT_EQ(flags.size(), std::size(cases)) << "nothing below dir. is walked";
    for (const auto& c : cases) {
        SCOPED_TRACE(support::utf8(c.name));
        ASSERT_EQ(flags.count(c.name), 1u);
        EXPECT_EQ((flags[c.name] & FolderSnapshot::kNeverMirrored) != 0, c.changed);
    }
}

// Two folders whose names differ only in case (a Linux file system holds them): the first
// is walked, the second is not. A path below that name may lie in either, so nobody can say
// that it is absent, and nothing may be copied there.
TEST_F(FolderSnapshotTest, BelowANameWithATwinNothingIsKnownToBeAbsent) {
    const std::string root = temp_.folder("root");
    ASSERT_TRUE(support::unixCommandSucceeds(
        "mkdir {0}/dir {0}/DIR && printf a > {0}/dir/a.txt && printf b > {0}/DIR/b.txt", {root}));

    FolderSnapshot snapshot(heap_.get());
    ASSERT_EQ(snapshot.buildSnapshot(root, true), 3u);
    std::size_t twins = 0;
    std::size_t duplicates = 0;
    for (std::size_t i = 0; i < snapshot.entryCount(); ++i) {
        twins += (snapshot.flags(i) & FolderSnapshot::kHasTwin) != 0 ? 1 : 0;
        duplicates += (snapshot.flags(i) & FolderSnapshot::kDuplicate) != 0 ? 1 : 0;
    }
    EXPECT_EQ(twins, 1u);
    EXPECT_EQ(duplicates, 1u);
    for (const char* path : {"dir\\a.txt", "dir\\b.txt", "Dir\\c.txt"}) {
        SCOPED_TRACE(path);
        EXPECT_NE(snapshot.answerFor(path), FolderSnapshot::Answer::absent);
        EXPECT_TRUE(snapshot.blockedAt(path));
    }
}

// The tree grows between the counting walk and the fill walk: the table must not overflow
// and no empty slot may be counted. A second thread keeps adding files while snapshots
// are taken.
TEST_F(FolderSnapshotTest, AGrowingTreeNeverOverflowsTheTable) {
    const std::string root = temp_.folder("growing");
    for (int i = 0; i < 200; ++i) {
        temp_.file("growing\\start" + std::to_string(i) + ".txt");
    }
    volatile bool stop = false;
    struct Grower {
        std::string root;
        volatile bool* stop;
        static DWORD WINAPI run(void* argument) {
            auto* self = static_cast<Grower*>(argument);
            for (int i = 0; !*self->stop && i < 20000; ++i) {
                support::writeFile(self->root + "\\grown" + std::to_string(i) + ".txt", "g");
            }
            return 0;
        }
    } grower{root, &stop};
    KernelHandle thread(CreateThread(nullptr, 0, &Grower::run, &grower, 0, nullptr));
    ASSERT_TRUE(thread.valid());

    for (int round = 0; round < 30; ++round) {
        FolderSnapshot snapshot(heap_.get());
        const std::size_t count = snapshot.buildSnapshot(root, round % 2 == 0);
        ASSERT_EQ(count, snapshot.entryCount());
        ASSERT_GE(count, 200u);
        for (std::size_t i = 0; i < count; ++i) {
            ASSERT_FALSE(snapshot.name(i).empty()) << "slot " << i << " of " << count;
            ASSERT_TRUE(snapshot.isFile(i));
        }
    }
    stop = true;
    WaitForSingleObject(thread.get(), INFINITE);
}

// What the walk saw answers for a path without a look at the disk: present, absent only
// where a listing that ran to its end did not show it, and unknown wherever nobody can say.
TEST_F(FolderSnapshotTest, AnswersFromTheWalkAreAbsentOnlyWhereAListingVouchesForIt) {
    temp_.file("root\\a.txt");
    temp_.file("root\\sub\\b.txt");
    temp_.file("root\\locked\\hidden.txt");
    temp_.file("outside\\o.txt");
    ASSERT_TRUE(support::unixCommandSucceeds("ln -s '" + support::unixPathOf(temp_.at("outside")) +
                                             "' '" + support::unixPathOf(temp_.at("root\\ln")) +
                                             "'"));
    support::UnreadableFolder locked(temp_.at("root\\locked"));
    ASSERT_TRUE(locked.effective());

    FolderSnapshot snapshot(heap_.get());
    ASSERT_EQ(snapshot.buildSnapshot(temp_.at("root"), true), 5u);
    EXPECT_TRUE(snapshot.complete());
    std::map<std::string, std::uint16_t> flags;
    for (std::size_t i = 0; i < snapshot.entryCount(); ++i) {
        flags[snapshot.relativePath(i)] = snapshot.flags(i);
    }
    EXPECT_EQ(flags, (std::map<std::string, std::uint16_t>{{"a.txt", 0},
                                                           {"sub", 0},
                                                           {"sub\\b.txt", 0},
                                                           {"locked", FolderSnapshot::kUnlisted},
                                                           {"ln", FolderSnapshot::kLink}}));

    using Answer = FolderSnapshot::Answer;
    const struct {
        const char* path;
        Answer answer;
        bool blocked;
    } cases[] = {
        {"a.txt", Answer::present, false},
        {"A.TXT", Answer::present, false},
        {"SUB\\B.txt", Answer::present, false},
        {"c.txt", Answer::absent, false},
        {"sub\\c.txt", Answer::absent, false},
        {"sub\\deeper\\c.txt", Answer::absent, false},
        {"a.txt\\below a file", Answer::absent, false},
        {"locked", Answer::present, true},
        {"locked\\hidden.txt", Answer::unknown, true},
        {"LOCKED\\x\\y.txt", Answer::unknown, true},
        {"ln", Answer::present, true},
        {"ln\\o.txt", Answer::unknown, true},
        {"", Answer::unknown, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(snapshot.answerFor(c.path), c.answer);
        EXPECT_EQ(snapshot.blockedAt(c.path), c.blocked);
    }

    // Without subfolders a folder's name still answers for an entry of that name.
    ASSERT_EQ(snapshot.buildSnapshot(temp_.at("root"), false), 1u);
    EXPECT_EQ(snapshot.answerFor("sub"), Answer::present);
    EXPECT_EQ(snapshot.answerFor("c.txt"), Answer::absent);

    // A walk that was stopped or a root that could not be listed vouches for nothing.
    std::atomic<bool> stop{true};
    snapshot.buildSnapshot(temp_.at("root"), true, &stop);
    EXPECT_FALSE(snapshot.complete());
    EXPECT_EQ(snapshot.entryCount(), 0u);
    EXPECT_EQ(snapshot.answerFor("c.txt"), Answer::unknown);
    for (const std::string& root : {temp_.at("missing"), temp_.at("root") + "\\"}) {
        EXPECT_EQ(snapshot.buildSnapshot(root, true), 0u);
        EXPECT_FALSE(snapshot.rootListed());
        EXPECT_EQ(snapshot.answerFor("c.txt"), Answer::unknown);
    }
}

} // namespace
