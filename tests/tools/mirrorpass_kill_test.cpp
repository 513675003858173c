#include <gtest/gtest.h>

#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "base/file_system.h"
#include "base/path.h"
#include "support/files.h"
#include "support/recycle_bin.h"
#include "support/report_window.h"
#include "support/temp_folder.h"
#include "support/unix_access.h"
#include "tools/tool_process.h"

namespace {

using namespace tool_process;
using support::fileTimeUtc;
using support::kSecond;

const FileTime T = fileTimeUtc(2024, 8, 1, 9, 30, 0);
constexpr FileTime kMinute = 60 * kSecond;
constexpr FileTime kHour = 60 * kMinute;
constexpr unsigned long long kBigNew = 64ull << 20;
constexpr unsigned long long kBigOld = 40ull << 20;

// How the tool ends when it reaches its exit point, and when the test kills it.
constexpr DWORD kExitedAtPoint = 3;
constexpr DWORD kKilledFromOutside = 1;

// A master whose files are all newer than the target's, some in folders the target lacks,
// three big ones that take a while to copy; a target with old versions of them and entries
// the master lacks, a folder among them.
struct Tree {
    std::string master;
    std::string target;
    std::string definition;
    std::map<std::string, FileFacts> masterBefore;
    std::map<std::string, FileFacts> targetBefore;
};

bool makeTree(const support::TempFolder& temp, const support::TempFolder& other, int bulkFiles,
              Tree& tree) {
    tree.master = temp.folder("マスタ");
    tree.target = other.folder("ソ先");
    temp.file("マスタ\\表.txt", "new 表 text", T);
    other.file("ソ先\\表.txt", "old", T - 2 * kHour);
    for (int i = 0; i < 4; ++i) {
        const std::string name = "s" + std::to_string(i) + ".txt";
        temp.file("マスタ\\" + name, "new " + name + std::string(i * 100, 'n'), T - i * kMinute);
        other.file("ソ先\\" + name, "old " + name, T - 3 * kHour);
    }
    for (int i = 0; i < 3; ++i) {
        const std::string name = "能\\n" + std::to_string(i) + ".txt";
        temp.file("マスタ\\" + name, "new " + name, T - 10 * kMinute);
        other.file("ソ先\\" + name, "old version of " + name, T - 3 * kHour);
        temp.file("マスタ\\新\\m" + std::to_string(i) + ".txt", "only in the master",
                  T - 20 * kMinute);
        other.file("ソ先\\d" + std::to_string(i) + ".txt", "only in the target", T - kHour);
        other.file("ソ先\\消\\x" + std::to_string(i) + ".txt", "only in the target", T - kHour);
    }
    other.file("ソ先\\能\\gone.txt", "only in the target", T - kHour);
    temp.file("マスタ\\same.txt", "same", T - 4 * kHour);
    other.file("ソ先\\same.txt", "same", T - 4 * kHour);
    const char* bigNames[] = {"big0.bin", "能\\big1.bin", "表\\big2.bin"};
    temp.folder("マスタ\\表");
    for (int i = 0; i < 3; ++i) {
        const std::string marks = "NEW" + std::to_string(i);
        if (!makeBigFile(temp.at("マスタ\\") + bigNames[i], kBigNew, T - 5 * kMinute, marks,
                         marks)) {
            return false;
        }
    }
    // The target lacks the third, in a folder it lacks too.
    for (int i = 0; i < 2; ++i) {
        const std::string marks = "OLD" + std::to_string(i);
        if (!makeBigFile(other.at("ソ先\\") + bigNames[i], kBigOld, T - 5 * kHour, marks, marks)) {
            return false;
        }
    }
    if (bulkFiles > 0) {
        // Many equal files that only make the walks long; made on the Linux side at once.
        const std::string master = support::unixPathOf(tree.master);
        const std::string target = support::unixPathOf(tree.target);
        if (master.empty() || target.empty() ||
            !support::runUnixCommand(
                "mkdir -p '" + master + "/bulk' && cd '" + master + "/bulk' && seq 1 " +
                std::to_string(bulkFiles) + " | xargs touch -d 2020-01-01 && cp -a '" + master +
                "/bulk' '" + target + "/' && touch '" + master + "/../made'")) {
            return false;
        }
        // Wine may report the Linux program done before it is.
        const std::string made = temp.at("made");
        if (!support::pumpMessagesUntil([&] { return support::pathExists(made); }, 60000) ||
            !DeleteFileA(made.c_str())) {
            return false;
        }
    }
    tree.definition =
        definitionFile(temp, "Sync." + tree.master + "\r\nSync." + tree.target + "\r\n");
    tree.masterBefore = factsOf(tree.master);
    tree.targetBefore = factsOf(tree.target);
    return bulkFiles == 0 || (tree.masterBefore.size() > static_cast<std::size_t>(bulkFiles) &&
                              tree.targetBefore.size() > static_cast<std::size_t>(bulkFiles));
}

// The many files of the walks go the way they came; deleting them one by one through the
// platform would take longer than the test.
void removeBulk(const Tree& tree) {
    const std::string master = support::unixPathOf(tree.master + "\\bulk");
    const std::string target = support::unixPathOf(tree.target + "\\bulk");
    if (!master.empty() && !target.empty() &&
        support::runUnixCommand("rm -rf '" + master + "' '" + target + "'")) {
        support::pumpMessagesUntil(
            [&] {
                return !support::pathExists(tree.master + "\\bulk") &&
                       !support::pathExists(tree.target + "\\bulk");
            },
            60000);
    }
}

void forgetBulk(std::map<std::string, FileFacts>& facts) {
    for (auto entry = facts.begin(); entry != facts.end();) {
        entry = entry->first.compare(0, 4, "bulk") == 0 ? facts.erase(entry) : std::next(entry);
    }
}

// The entry itself or a folder above it (below the root) went to the recycle bin.
bool inRecycleBin(const std::string& root, const std::string& relative) {
    std::string path = root + "\\" + relative;
    while (path.size() > root.size()) {
        if (support::RecycleBin::holds(path)) {
            return true;
        }
        path = path::folderPart(path);
    }
    return false;
}

// Every version the holding folder of the target keeps, by its path below the target.
std::map<std::string, FileFacts> heldVersions(const std::string& target) {
    std::map<std::string, FileFacts> held;
    for (const std::string& dated : datedFoldersOf(target)) {
        for (const auto& entry : factsOf(dated)) {
            held.insert(entry);
        }
    }
    return held;
}

// The entry as it was before the run lies in the recycle bin, or in the holding folder.
bool keptAside(const Tree& tree, const std::map<std::string, FileFacts>& held,
               const std::string& relative) {
    const auto version = held.find(relative);
    return inRecycleBin(tree.target, relative) ||
           (version != held.end() && version->second == tree.targetBefore.at(relative));
}

// What a run cut off may leave: each entry as it was or as the master has it, temporary
// copies under their own names, entries the master lacks gone to the recycle bin or (where
// there is none) the holding folder, and old versions of replaced files in the holding
// folder. Returns the temporary files it saw.
std::vector<std::string> expectNothingHalfDone(const Tree& tree) {
    std::vector<std::string> temporaries;
    const std::map<std::string, FileFacts> held = heldVersions(tree.target);
    for (const auto& entry : held) {
        SCOPED_TRACE(support::utf8(entry.first));
        const auto old = tree.targetBefore.find(entry.first);
        EXPECT_TRUE(old != tree.targetBefore.end() && old->second == entry.second)
            << "the holding folder keeps what the target never held";
    }
    const std::map<std::string, FileFacts> now = factsOf(tree.target);
    for (const auto& entry : now) {
        SCOPED_TRACE(support::utf8(entry.first));
        const auto old = tree.targetBefore.find(entry.first);
        const auto master = tree.masterBefore.find(entry.first);
        if (old == tree.targetBefore.end() && master == tree.masterBefore.end() &&
            isTemporaryFileName(path::namePart(entry.first).c_str())) {
            temporaries.push_back(tree.target + "\\" + entry.first);
            continue;
        }
        const bool asBefore = old != tree.targetBefore.end() && old->second == entry.second;
        const bool asMaster = master != tree.masterBefore.end() && master->second == entry.second;
        EXPECT_TRUE(asBefore || asMaster)
            << "neither the old nor the new version, size " << entry.second.size;
    }
    for (const auto& entry : tree.targetBefore) {
        if (now.count(entry.first) == 0) {
            SCOPED_TRACE(support::utf8(entry.first));
            EXPECT_TRUE(keptAside(tree, held, entry.first)) << "an entry is lost";
        }
    }
    EXPECT_TRUE(factsOf(tree.master) == tree.masterBefore) << "the master changed";
    return temporaries;
}

// The moments at which a run is cut off. An exit point ends the tool itself at its progress
// message (with a delay: during that operation or a later one); the walks are cut from
// outside as soon as the tool says it has begun, on a tree whose walks take long.
// The target lies on E: (fixed, with a recycle bin) or on U: (removable, without one).
struct KillPoint {
    const char* moment;
    const char* exitAt;
    bool fromOutside;
    int bulkFiles;
    const std::string* drive;
};

const KillPoint kKillPoints[] = {
    {"during the walks", "master", true, 20000, &support::kDriveE},
    {"at the master message", "master", false, 0, &support::kDriveE},
    {"before the first deletion", "delete:1", false, 0, &support::kDriveE},
    {"between deletions", "delete:3", false, 0, &support::kDriveE},
    {"during the deletions", "delete:4+1", false, 0, &support::kDriveE},
    {"during the deletions on a stick", "delete:4+1", false, 0, &support::kDriveU},
    {"before the first copy", "copy:1", false, 0, &support::kDriveE},
    {"during the first copies", "copy:1+40", false, 0, &support::kDriveE},
    {"in the middle of the copies", "copy:7+60", false, 0, &support::kDriveE},
    {"in the middle of the copies on a stick", "copy:7+60", false, 0, &support::kDriveU},
    {"before the last copies", "copy:13", false, 0, &support::kDriveE},
};

TEST(MirrorPassKillTest, AKilledRunLeavesEveryFileWholeAndTheNextRunCompletesTheMirror) {
    ASSERT_TRUE(support::RecycleBin::available());
    for (const KillPoint& point : kKillPoints) {
        SCOPED_TRACE(point.moment);
        support::TempFolder temp;
        support::TempFolder other(*point.drive);
        Tree tree;
        ASSERT_TRUE(makeTree(temp, other, point.bulkFiles, tree));

        const std::string errors = temp.at("killed.txt");
        Started started;
        ASSERT_TRUE(
            startTool(std::string("--exit-at=") + point.exitAt + " \"" + tree.definition + "\"",
                      nullptr, errors, started));
        if (point.fromOutside) {
            support::pumpMessagesUntil(
                [&] {
                    return readWhileWritten(errors).find("walking") != std::string::npos ||
                           WaitForSingleObject(started.process.get(), 0) == WAIT_OBJECT_0;
                },
                60000);
            TerminateProcess(started.process.get(), kKilledFromOutside);
        }
        ASSERT_EQ(WaitForSingleObject(started.process.get(), 120000), WAIT_OBJECT_0);
        DWORD exitCode = 0;
        GetExitCodeProcess(started.process.get(), &exitCode);
        const std::string said = readWhileWritten(errors);
        if (point.fromOutside) {
            ASSERT_EQ(exitCode, kKilledFromOutside) << "the walks ended before the kill: " << said;
            EXPECT_EQ(said.find("exit at"), std::string::npos) << said;
        } else {
            ASSERT_EQ(exitCode, kExitedAtPoint) << "the run ended before its exit point: " << said;
        }

        const std::vector<std::string> temporaries = expectNothingHalfDone(tree);
        if (point.bulkFiles > 0) {
            // Equal on both sides and only there to make the walks long; the live lookups
            // of a whole pass over it would take minutes.
            removeBulk(tree);
            forgetBulk(tree.masterBefore);
            forgetBulk(tree.targetBefore);
        }

        const ToolResult next = runTool(temp, "\"" + tree.definition + "\"");
        ASSERT_TRUE(next.ran);
        EXPECT_EQ(next.exitCode, 0u);
        EXPECT_EQ(next.errors, "");
        EXPECT_EQ(next.output.find("【エラー"), std::string::npos) << support::utf8(next.output);
        EXPECT_TRUE(factsOf(tree.master) == tree.masterBefore) << "the master changed";
        EXPECT_TRUE(factsOf(tree.target) == tree.masterBefore) << "the mirror is not complete";
        const std::map<std::string, FileFacts> held = heldVersions(tree.target);
        for (const auto& entry : tree.targetBefore) {
            if (tree.masterBefore.count(entry.first) == 0 ||
                tree.masterBefore.at(entry.first) != entry.second) {
                EXPECT_TRUE(keptAside(tree, held, entry.first)) << support::utf8(entry.first);
            }
        }
        for (const std::string& temporary : temporaries) {
            EXPECT_TRUE(support::RecycleBin::holds(temporary)) << support::utf8(temporary);
        }
        for (const auto& entry : tree.masterBefore) {
            EXPECT_FALSE(inRecycleBin(tree.master, entry.first)) << support::utf8(entry.first);
        }
    }
}

// A copy that replaces a file first moves the old version into the holding folder, then
// renames the finished copy into its place. A kill between the two steps leaves both on
// disk: the old version held, the new one complete under its temporary name; the next run
// puts the copy in place and keeps the old version. On the stick the first held entry is a
// deletion, so the kill comes at the second.
TEST(MirrorPassKillTest, AKillBetweenKeepingTheOldVersionAndRenamingTheCopyLosesNeither) {
    struct Case {
        const std::string* drive;
        const char* exitAt;
    } const cases[] = {{&support::kDriveE, "held:1"}, {&support::kDriveU, "held:2"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(*c.drive);
        support::TempFolder temp;
        support::TempFolder other(*c.drive);
        const std::string master = temp.folder("マスタ");
        const std::string target = other.folder("ソ先");
        temp.file("マスタ\\表.txt", "new 表", T);
        temp.file("マスタ\\能\\ソ.txt", "new ソ", T - kMinute);
        other.file("ソ先\\表.txt", "old 表", T - kHour);
        other.file("ソ先\\能\\ソ.txt", "old ソ", T - kHour);
        other.file("ソ先\\消す.txt", "only on the target", T - kHour);
        const std::map<std::string, FileFacts> masterBefore = factsOf(master);
        const std::map<std::string, FileFacts> targetBefore = factsOf(target);
        const std::string definition =
            definitionFile(temp, "Sync." + master + "\r\nSync." + target + "\r\n");

        const std::string errors = temp.at("killed.txt");
        Started started;
        ASSERT_TRUE(startTool(std::string("--exit-at=") + c.exitAt + " \"" + definition + "\"",
                              nullptr, errors, started));
        ASSERT_EQ(WaitForSingleObject(started.process.get(), 120000), WAIT_OBJECT_0);
        DWORD exitCode = 0;
        GetExitCodeProcess(started.process.get(), &exitCode);
        const std::string said = readWhileWritten(errors);
        ASSERT_EQ(exitCode, kExitedAtPoint) << said;
        const std::string marker = std::string("exit at ") + c.exitAt + ": ";
        const std::size_t at = said.find(marker);
        ASSERT_NE(at, std::string::npos) << said;
        const std::string replaced =
            said.substr(at + marker.size(), said.find('\n', at) - at - marker.size());
        ASSERT_EQ(replaced.compare(0, target.size() + 1, target + "\\"), 0) << replaced;
        const std::string relative = replaced.substr(target.size() + 1);
        ASSERT_EQ(masterBefore.count(relative), 1u) << support::utf8(replaced);

        // The old version is held, the new one lies complete beside the place it goes to.
        EXPECT_FALSE(support::pathExists(replaced));
        const std::map<std::string, FileFacts> held = heldVersions(target);
        ASSERT_EQ(held.count(relative), 1u);
        EXPECT_TRUE(held.at(relative) == targetBefore.at(relative));
        std::string temporary;
        const std::string folder = path::folderPart(replaced);
        for (const std::string& name : support::listFolder(folder)) {
            if (isTemporaryFileName(name.c_str())) {
                temporary = folder + "\\" + name;
            }
        }
        ASSERT_FALSE(temporary.empty());
        EXPECT_EQ(support::readFile(temporary), masterBefore.at(relative).content);
        EXPECT_EQ(support::writeTimeOf(temporary), masterBefore.at(relative).time);

        const ToolResult next = runTool(temp, "\"" + definition + "\"");
        ASSERT_TRUE(next.ran);
        EXPECT_EQ(next.exitCode, 0u);
        EXPECT_EQ(next.output.find("【エラー"), std::string::npos) << support::utf8(next.output);
        EXPECT_TRUE(factsOf(target) == masterBefore);
        EXPECT_TRUE(factsOf(master) == masterBefore);
        EXPECT_FALSE(support::pathExists(temporary));
        const std::map<std::string, FileFacts> keptAfter = heldVersions(target);
        ASSERT_EQ(keptAfter.count(relative), 1u);
        EXPECT_TRUE(keptAfter.at(relative) == targetBefore.at(relative));
    }
}

} // namespace
