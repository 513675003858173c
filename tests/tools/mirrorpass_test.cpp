#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "base/file_system.h"
#include "base/scoped_handle.h"
#include "support/files.h"
#include "support/recycle_bin.h"
#include "support/report_window.h"
#include "support/temp_folder.h"
#include "sync/mirror_fixture.h"
#include "tools/tool_process.h"

namespace {

using support::fileTimeUtc;
using support::kSecond;
using namespace tool_process;

const FileTime T = fileTimeUtc(2024, 8, 1, 9, 30, 0);
constexpr FileTime kHour = 3600 * kSecond;

TEST(MirrorPassToolTest, PrintsTheLogTextOfARun) {
    support::TempFolder temp;
    support::TempFolder other(support::kDriveE);
    const std::string a = temp.folder("ソースA");
    const std::string b = other.folder("表B");
    const std::string c = temp.folder("C");
    const std::string d = temp.folder("D");
    temp.file("ソースA\\x.txt", "new x", T);
    other.file("表B\\x.txt", "old x", T - kHour);
    other.file("表B\\old.txt", "only in B", T - kHour);
    temp.file("C\\能\\y.txt", "y", T - kHour);
    const std::string definitions =
        "Sync." + a + "\r\nSync." + b + "\r\n\r\n" + "Sync.Option.NoSubDirectory\r\nSync." + c +
        "\r\nSync." + temp.at("missing") + "\r\n\r\n" + "sync." + c + "\r\nSync." + d + "\r\n";
    const std::string file = definitionFile(temp, definitions);

    const ToolResult first = runTool(temp, "\"" + file + "\"");
    ASSERT_TRUE(first.ran);
    EXPECT_EQ(first.exitCode, 0u);
    EXPECT_EQ(first.errors, "");
    // The definition that is not mirrored, then all newest-file lines, then all deletions,
    // then all copies, each pass's copies followed by where its replaced files went, as the
    // log holds them.
    const std::vector<std::string> dated = datedFoldersOf(b);
    ASSERT_EQ(dated.size(), 1u);
    EXPECT_EQ(support::utf8(first.output),
              support::utf8("【未同期】" + temp.at("missing") + "\r\n" + "【最新更新ファイル】" +
                            a + "\\x.txt\r\n" + "【最新更新ファイル】" + c + "\\能\\y.txt\r\n" +
                            "【削除】" + b + "\\old.txt\r\n" + "【コピー】" + b + "\\x.txt\r\n" +
                            "【保管】" + dated[0] + " (1 件)\r\n" + "【コピー】" + d + "\\能\r\n" +
                            "【コピー】" + d + "\\能\\y.txt\r\n"));
    EXPECT_EQ(support::readFile(b + "\\x.txt"), "new x");
    EXPECT_EQ(support::readFile(dated[0] + "\\x.txt"), "old x");
    EXPECT_EQ(support::readFile(d + "\\能\\y.txt"), "y");
    EXPECT_TRUE(support::RecycleBin::holds(b + "\\old.txt"));

    // Everything is equal now; the definition that is still not mirrored is named, so the
    // log is written all the same.
    const ToolResult second = runTool(temp, "\"" + file + "\"");
    ASSERT_TRUE(second.ran);
    EXPECT_EQ(second.exitCode, 0u);
    EXPECT_EQ(support::utf8(second.output),
              support::utf8("【未同期】" + temp.at("missing") + "\r\n" + "【最新更新ファイル】" +
                            a + "\\x.txt\r\n" + "【最新更新ファイル】" + c + "\\能\\y.txt\r\n"));
    EXPECT_EQ(second.errors, "");
}

TEST(MirrorPassToolTest, WrongArgumentsAndUnreadableFiles) {
    support::TempFolder temp;
    const std::string file = definitionFile(temp, "Sync.D:\r\n");
    FileHandle locked(
        CreateFileA(file.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(locked.valid());
    const struct {
        std::string arguments;
        std::string mentions;
    } cases[] = {
        {"", "usage"},
        {"one two", "usage"},
        {"\"" + temp.at("missing.txt") + "\"", temp.at("missing.txt")},
        {"\"" + temp.path() + "\"", temp.path()},
        {"\"" + file + "\"", file}, // open elsewhere without sharing
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(support::utf8(c.arguments));
        const ToolResult result = runTool(temp, c.arguments);
        ASSERT_TRUE(result.ran);
        EXPECT_EQ(result.exitCode, 2u);
        EXPECT_EQ(result.output, "");
        EXPECT_NE(result.errors.find(c.mentions), std::string::npos) << result.errors;
        EXPECT_EQ(result.errors.find('\n'), result.errors.size() - 1); // one line
    }
}

TEST(MirrorPassToolTest, AKilledRunLeavesNoPartialFileAndTheNextRunCompletesIt) {
    support::TempFolder temp;
    support::TempFolder other(support::kDriveE);
    const std::string a = temp.folder("マスタ");
    const std::string b = other.folder("ソ");
    ASSERT_TRUE(makeBigFile(a + "\\big.bin", 1ull << 30, T));
    for (int i = 0; i < 5; ++i) {
        temp.file("マスタ\\a" + std::to_string(i) + ".txt", "only in A", T - kHour);
    }
    temp.file("マスタ\\same.txt", "same", T - 2 * kHour);
    other.file("ソ\\same.txt", "same", T - 2 * kHour);
    other.file("ソ\\big.bin", "the complete old version", T - 3 * kHour);
    const std::map<std::string, FileFacts> master = factsOf(a);
    const std::string file = definitionFile(temp, "Sync." + a + "\r\nSync." + b + "\r\n");

    Started started;
    ASSERT_TRUE(startTool("\"" + file + "\"", nullptr, temp.at("killed.txt"), started));
    // The kill comes as soon as the big copy shows: a temporary file, or (were the copy
    // written straight over the old version) a change of its size. The small files may be
    // copied first, each through a temporary file of its own that lives a moment; the big
    // copy's is the one that grows past them.
    const unsigned long long oldSize = support::fileSize(b + "\\big.bin");
    std::string temporary;
    const bool copying = support::pumpMessagesUntil(
        [&] {
            for (const std::string& name : support::listFolder(b)) {
                if (isTemporaryFileName(name.c_str()) &&
                    support::fileSize(b + "\\" + name) > 65536) {
                    temporary = b + "\\" + name;
                    return true;
                }
            }
            return support::fileSize(b + "\\big.bin") != oldSize ||
                   WaitForSingleObject(started.process.get(), 0) == WAIT_OBJECT_0;
        },
        60000);
    TerminateProcess(started.process.get(), 1);
    WaitForSingleObject(started.process.get(), 30000);
    DWORD exitCode = 0;
    GetExitCodeProcess(started.process.get(), &exitCode);
    ASSERT_TRUE(copying);
    ASSERT_EQ(exitCode, 1u) << "the run ended before the big copy could be cut off";

    // Cut off in the middle: the old version is still whole, the copy lies in a file that
    // no pass takes for an entry.
    EXPECT_TRUE(!temporary.empty() && support::pathExists(temporary));
    EXPECT_EQ(support::fileSize(b + "\\big.bin"), oldSize);
    EXPECT_EQ(support::writeTimeOf(b + "\\big.bin"), T - 3 * kHour);

    const ToolResult next = runTool(temp, "\"" + file + "\"");
    ASSERT_TRUE(next.ran);
    EXPECT_EQ(next.exitCode, 0u);
    EXPECT_EQ(next.output.find("【最新更新ファイル】" + a + "\\big.bin\r\n"), 0u);
    EXPECT_EQ(next.output.find("【削除】"), std::string::npos);
    // The cut-off copy's removal is a line of the log.
    EXPECT_NE(next.output.find("【一時ファイル削除】" + temporary + "\r\n"), std::string::npos)
        << support::utf8(next.output);

    // The master is untouched and lost nothing; the target equals it, big file included.
    EXPECT_TRUE(factsOf(a) == master);
    EXPECT_TRUE(factsOf(b) == master);
    EXPECT_EQ(support::fileSize(b + "\\big.bin"), 1ull << 30);
    if (!temporary.empty()) {
        EXPECT_FALSE(support::pathExists(temporary));
        EXPECT_TRUE(support::RecycleBin::holds(temporary));
    }
    for (const auto& entry : master) {
        EXPECT_FALSE(support::RecycleBin::holds(a + "\\" + entry.first)) << entry.first;
    }
}

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = text.find("\r\n", start);
        if (end == std::string::npos) {
            end = text.size();
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

// Two definitions over random trees: the preview prints the lines of the run that follows
// it, tags aside, and leaves every file, time and leftover temporary copy where it was.
TEST(MirrorPassToolTest, ThePreviewPrintsTheLinesOfTheFollowingRunAndChangesNothing) {
    for (unsigned seed = 101; seed <= 104; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        support::TempFolder temp;
        support::TempFolder other(support::kDriveE);
        const std::vector<std::string> roots = {temp.at("一"), other.at("二"), temp.at("三"),
                                                other.at("四")};
        const auto trees = mirror_fixture::randomTrees(seed, roots.size());
        for (std::size_t i = 0; i < roots.size(); ++i) {
            mirror_fixture::makeTree(roots[i], trees[i]);
        }
        temp.file("三\\~SCV0B0B.TMP", "cut off", T);
        const std::string file = definitionFile(
            temp, "Sync." + roots[0] + "\r\nSync." + roots[1] + "\r\n\r\nSync." + roots[2] +
                      "\r\nSync." + roots[3] + "\r\nSync.Run.notepad.exe\r\n");
        std::vector<std::map<std::string, FileFacts>> before;
        for (const std::string& root : roots) {
            before.push_back(factsOf(root));
        }

        const ToolResult preview = runTool(temp, "--preview \"" + file + "\"");
        ASSERT_TRUE(preview.ran);
        EXPECT_EQ(preview.exitCode, 0u);
        EXPECT_EQ(preview.errors, "");
        for (std::size_t i = 0; i < roots.size(); ++i) {
            EXPECT_TRUE(factsOf(roots[i]) == before[i]) << support::utf8(roots[i]);
        }
        for (const support::TrashedItem& item : support::RecycleBin::items()) {
            EXPECT_NE(item.originalPath.rfind(temp.path(), 0), 0u);
            EXPECT_NE(item.originalPath.rfind(other.path(), 0), 0u);
        }

        const std::vector<std::string> planned = linesOf(preview.output);
        EXPECT_EQ(std::count(planned.begin(), planned.end(),
                             "【一時ファイル削除予定】" + temp.at("三\\~SCV0B0B.TMP")),
                  1);

        const ToolResult run = runTool(temp, "\"" + file + "\"");
        ASSERT_TRUE(run.ran);
        EXPECT_NE(run.output, "");
        EXPECT_EQ(support::utf8(preview.output).find("【削除】"), std::string::npos);
        EXPECT_EQ(mirror_fixture::asRunLines(linesOf(preview.output)),
                  mirror_fixture::withoutHeldLines(linesOf(run.output)));
    }
}

// The tool never asks: a definition whose deletions would empty a folder is skipped with
// one line, unless the option lets it go on.
TEST(MirrorPassToolTest, ARunThatWouldEmptyAFolderIsSkippedUnlessAllowed) {
    support::TempFolder temp;
    const std::string master = temp.folder("新しい");
    const std::string target = temp.folder("古い");
    temp.file("新しい\\new.txt", "new", T);
    for (int i = 0; i < 60; ++i) {
        temp.file("古い\\f" + std::to_string(i) + ".txt", "old", T - kHour);
    }
    const std::string file = definitionFile(temp, "Sync." + master + "\r\nSync." + target + "\r\n");
    const std::map<std::string, FileFacts> targetBefore = factsOf(target);

    // The preview marks the definition that the run would stop, and what Yes would do.
    const ToolResult preview = runTool(temp, "--preview \"" + file + "\"");
    ASSERT_TRUE(preview.ran);
    EXPECT_EQ(preview.exitCode, 0u);
    const std::vector<std::string> planned = linesOf(preview.output);
    ASSERT_EQ(planned.size(), 1u + 1u + 60u + 1u); // newest, the mark, deletions, copy
    EXPECT_EQ(support::utf8(planned[1]), support::utf8("【確認予定】" + target));
    EXPECT_TRUE(factsOf(target) == targetBefore);

    const ToolResult refused = runTool(temp, "\"" + file + "\"");
    ASSERT_TRUE(refused.ran);
    EXPECT_EQ(refused.exitCode, 0u);
    EXPECT_EQ(support::utf8(refused.output), support::utf8("【確認で中止】" + target + "\r\n"));
    EXPECT_TRUE(factsOf(target) == targetBefore);

    const ToolResult allowed = runTool(temp, "--allow-mass-delete \"" + file + "\"");
    ASSERT_TRUE(allowed.ran);
    EXPECT_EQ(allowed.exitCode, 0u);
    EXPECT_EQ(linesOf(allowed.output).size(), 1u + 60u + 1u); // newest, deletions, copy
    EXPECT_TRUE(factsOf(target) == factsOf(master));
}

// Definitions that are not mirrored are named, one line per folder not found, in the run
// and in the preview; a folder named by its drive's label is shown by its real path, and a
// label that two drives carry names them.
TEST(MirrorPassToolTest, SkippedDefinitionsAndLabelledFoldersAreNamed) {
    support::TempFolder temp;
    support::TempFolder stick(support::kDriveU);
    stick.file("仕事\\資料\\a.txt", "from the stick", T);
    const std::string pc = temp.folder("資料");
    temp.file("A\\f.txt", "f", T - kHour);
    const std::string folderA = temp.at("A");
    const std::string folderB = temp.folder("B");
    const std::string single = temp.folder("一つ");
    const std::string labelled = "[usbソ表]" + stick.path().substr(2) + "\\仕事\\資料\\";
    const std::string file = definitionFile(
        temp, "Sync." + labelled + "\r\nSync." + pc + "\r\n\r\n" + "Sync.[ない]\\仕事\r\nSync." +
                  pc + "\r\n\r\n" + "Sync.[Work表]\\x\r\nSync." + folderA + "\r\nSync." + folderB +
                  "\r\n\r\n" + "Sync." + temp.at("無い1") + "\r\nSync." + temp.at("無い2") +
                  "\r\nSync.Run.notepad.exe\r\n\r\n" + "Sync." + single + "\r\n\r\n" +
                  "Sync.Run.notepad.exe\r\n");
    const std::string unsynced =
        "【未同期】[ない]\\仕事\r\n"
        "【エラーラベル】[Work表]\\x (同じラベルのドライブが複数あります: L: M:)\r\n"
        "【未同期】" +
        temp.at("無い1") + "\r\n" + "【未同期】" + temp.at("無い2") + "\r\n" + "【未同期】" +
        single + " (ほかに存在するフォルダがありません)\r\n";

    const ToolResult preview = runTool(temp, "--preview \"" + file + "\"");
    ASSERT_TRUE(preview.ran);
    EXPECT_EQ(preview.exitCode, 0u);
    EXPECT_EQ(preview.output.find(unsynced), 0u) << support::utf8(preview.output);

    const ToolResult run = runTool(temp, "\"" + file + "\"");
    ASSERT_TRUE(run.ran);
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(run.errors, "");
    EXPECT_EQ(support::utf8(run.output),
              support::utf8(unsynced + "【最新更新ファイル】" + stick.at("仕事\\資料\\a.txt") +
                            "\r\n" + "【最新更新ファイル】" + folderA + "\\f.txt\r\n" +
                            "【コピー】" + pc + "\\a.txt\r\n" + "【コピー】" + folderB +
                            "\\f.txt\r\n"));
    EXPECT_EQ(support::readFile(pc + "\\a.txt"), "from the stick");

    // Nothing left to copy; the skipped definitions are still named, and so the log is
    // written, with its newest-file lines as ever.
    const ToolResult again = runTool(temp, "\"" + file + "\"");
    ASSERT_TRUE(again.ran);
    EXPECT_EQ(support::utf8(again.output),
              support::utf8(unsynced + "【最新更新ファイル】" + stick.at("仕事\\資料\\a.txt") +
                            "\r\n" + "【最新更新ファイル】" + folderA + "\\f.txt\r\n"));
}

// Two definitions share a target on a removable drive: both runs' replaced versions and the
// deleted file are kept in the one dated folder of the run, none in place of another. Dated
// folders older than the kept days go; --keep-days=0 keeps them all.
TEST(MirrorPassToolTest, HeldEntriesAndTheDaysTheyAreKept) {
    support::TempFolder temp;
    support::TempFolder stick(support::kDriveU);
    const std::string a = temp.folder("A");
    const std::string b = temp.folder("B");
    temp.file("A\\x.txt", "from A", T - kHour);
    temp.file("B\\x.txt", "from B", T);
    stick.file("T\\x.txt", "old", T - 2 * kHour);
    stick.file("T\\gone.txt", "only on the stick", T - 2 * kHour);
    const std::string target = stick.at("T");
    const std::string old = stick.file("T\\_Syncoravel保管\\20000101-000000\\ancient.txt", "x");
    const std::string file =
        definitionFile(temp, "Sync." + a + "\r\nSync." + target + "\r\n\r\nSync." + b +
                                 "\r\nSync." + target + "\r\n");

    const ToolResult kept = runTool(temp, "--keep-days=0 \"" + file + "\"");
    ASSERT_TRUE(kept.ran);
    EXPECT_EQ(kept.exitCode, 0u);
    EXPECT_EQ(kept.errors, "");
    EXPECT_TRUE(support::pathExists(old));
    const std::vector<std::string> dated = datedFoldersOf(target);
    ASSERT_EQ(dated.size(), 2u);
    const std::string& held = dated[1]; // after the year 2000
    EXPECT_EQ(support::utf8(kept.output),
              support::utf8("【最新更新ファイル】" + a + "\\x.txt\r\n" + "【最新更新ファイル】" +
                            b + "\\x.txt\r\n" + "【削除】" + target + "\\gone.txt\r\n" +
                            "【コピー】" + target + "\\x.txt\r\n" + "【保管】" + held +
                            " (2 件)\r\n" + "【コピー】" + target + "\\x.txt\r\n" + "【保管】" +
                            held + " (1 件)\r\n"));
    EXPECT_EQ(support::listFolder(held),
              (std::vector<std::string>{"gone.txt", "x (2).txt", "x.txt"}));
    EXPECT_EQ(support::readFile(held + "\\x.txt"), "old");
    EXPECT_EQ(support::readFile(held + "\\x (2).txt"), "from A");
    EXPECT_EQ(support::readFile(held + "\\gone.txt"), "only on the stick");
    EXPECT_EQ(support::readFile(target + "\\x.txt"), "from B");

    const ToolResult defaults = runTool(temp, "\"" + file + "\"");
    ASSERT_TRUE(defaults.ran);
    EXPECT_FALSE(support::pathExists(old));
    EXPECT_TRUE(support::pathExists(held + "\\x.txt"));
    EXPECT_NE(defaults.output.find("【削除】" + target + "\\_Syncoravel保管\\20000101-000000\r\n"),
              std::string::npos)
        << support::utf8(defaults.output);

    for (const char* wrong : {"--keep-days=", "--keep-days=x", "--keep-days=-1"}) {
        const ToolResult refused = runTool(temp, std::string(wrong) + " \"" + file + "\"");
        ASSERT_TRUE(refused.ran);
        EXPECT_EQ(refused.exitCode, 2u) << wrong;
    }
}

} // namespace
