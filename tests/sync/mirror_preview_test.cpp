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
#include "sync/mirror_pass.h"

namespace {

using namespace mirror_fixture;
using support::fileTimeUtc;
using support::kSecond;

constexpr FileTime kHour = 3600 * kSecond;
const FileTime T = fileTimeUtc(2024, 3, 5, 8, 0, 0);

std::vector<Tree> treesOf(const std::vector<std::string>& roots) {
    std::vector<Tree> trees;
    for (const std::string& root : roots) {
        trees.push_back(treeOf(root));
    }
    return trees;
}

// Whether the recycle bin holds anything deleted from below the folder.
bool binHoldsFrom(const std::string& folder) {
    for (const support::TrashedItem& item : support::RecycleBin::items()) {
        if (item.originalPath.compare(0, folder.size() + 1, folder + "\\") == 0) {
            return true;
        }
    }
    return false;
}

std::vector<const support::ReportedMessage*>
questions(const std::vector<support::ReportedMessage>& messages) {
    std::vector<const support::ReportedMessage*> found;
    for (const support::ReportedMessage& message : messages) {
        if (message.message == kMsgConfirmDeletions) {
            found.push_back(&message);
        }
    }
    return found;
}

// Random trees over three folders, one of them on another drive; a leftover temporary copy
// lies in one. The preview changes nothing at all, and the run that follows writes exactly
// the preview's lines, in the same order.
TEST(MirrorPreviewTest, ThePreviewOfRandomTreesIsTheFollowingRunAndChangesNothing) {
    std::size_t planned = 0;
    for (unsigned seed = 1; seed <= 12; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        support::TempFolder temp;
        support::TempFolder other(support::kDriveE);
        const std::vector<std::string> roots = {temp.at("甲"), other.at("乙"), temp.at("丙")};
        const std::vector<std::vector<Item>> trees = randomTrees(seed, roots.size());
        for (std::size_t i = 0; i < roots.size(); ++i) {
            makeTree(roots[i], trees[i]);
        }
        temp.file("丙\\~SCV00A1.TMP", "cut off", T);
        const bool withSubfolders = seed % 4 != 0;
        const std::vector<Tree> before = treesOf(roots);

        const PassResult preview = runPass(roots, withSubfolders, PassSetup{true, 1});
        EXPECT_TRUE(treesOf(roots) == before);
        EXPECT_FALSE(binHoldsFrom(temp.path()));
        EXPECT_FALSE(binHoldsFrom(other.path()));
        EXPECT_TRUE(questions(preview.messages).empty());
        // A preview writes no line of a deed.
        for (const auto* lines : {&preview.deleted, &preview.copied}) {
            for (const std::string& line : *lines) {
                EXPECT_NE(line.rfind("【削除】", 0), 0u) << support::utf8(line);
                EXPECT_NE(line.rfind("【コピー】", 0), 0u) << support::utf8(line);
            }
        }

        // The leftover copy goes as a run would remove it, after the question.
        EXPECT_EQ(std::count(preview.deleted.begin(), preview.deleted.end(),
                             "【一時ファイル削除予定】" + temp.at("丙\\~SCV00A1.TMP")),
                  1);

        const PassResult run = runPass(roots, withSubfolders, PassSetup{false, 1});
        planned += run.deleted.size() + run.copied.size();
        EXPECT_EQ(preview.master, run.master);
        EXPECT_EQ(preview.newest, run.newest);
        EXPECT_EQ(asRunLines(preview.deleted), run.deleted);
        EXPECT_EQ(asRunLines(preview.copied), withoutHeldLines(run.copied));
        EXPECT_FALSE(support::pathExists(temp.at("丙\\~SCV00A1.TMP")));
    }
    EXPECT_GT(planned, 100u); // the trees differ enough to show something
}

// A target folder "T" with `shared` files the master holds too and `extra` entries it
// lacks, the extra ones loose or in one folder; a second target "U" that loses one file.
struct GuardCase {
    const char* name;
    int shared;
    int extra;
    bool extraInFolder;
    bool asks;
};

TEST(MirrorPreviewTest, ARunAsksBeforeRemovingMoreThanHalfOfAFolderAndAtLeastFifty) {
    const GuardCase cases[] = {
        {"51 of 100", 49, 51, false, true},
        {"50 of 100", 50, 50, false, false},
        {"all of 49", 0, 49, false, false},
        {"all of 50", 0, 50, false, true},
        // The folder and the 59 files that go with it.
        {"a folder with 59 files, of 100", 40, 59, true, true},
    };
    for (const GuardCase& c : cases) {
        for (const LRESULT answer : {LRESULT{0}, LRESULT{1}}) {
            SCOPED_TRACE(std::string(c.name) + (answer ? ", yes" : ", no"));
            support::TempFolder temp;
            const std::string master = temp.at("M");
            const std::string target = temp.at("T");
            const std::string second = temp.at("U");
            std::vector<Item> masterItems = {file("new.txt", "new", T)};
            std::vector<Item> targetItems;
            for (int i = 0; i < c.shared; ++i) {
                const std::string name = "s" + std::to_string(i) + ".txt";
                masterItems.push_back(file(name, "s", T - kHour));
                targetItems.push_back(file(name, "s", T - kHour));
            }
            if (c.extraInFolder) {
                targetItems.push_back(folder("old"));
            }
            const int looseExtra = c.extraInFolder ? c.extra - 1 : c.extra;
            for (int i = 0; i < looseExtra; ++i) {
                const std::string name = "x" + std::to_string(i) + ".txt";
                targetItems.push_back(
                    file(c.extraInFolder ? "old\\" + name : name, "x", T - kHour));
            }
            makeTree(master, masterItems);
            makeTree(target, targetItems);
            makeTree(second, {file("u.txt", "u", T - kHour)});
            // A copy cut off by an earlier run: removed only once the run goes on.
            temp.file("T\\~SCV0ABC.TMP", "cut off", T);
            const std::vector<Tree> before = treesOf({master, target, second});

            // The preview marks the definition that the question would stop by default.
            const PassResult preview =
                runPass({master, target, second}, true, PassSetup{true, answer});
            EXPECT_TRUE(questions(preview.messages).empty());
            EXPECT_EQ(
                std::count(preview.deleted.begin(), preview.deleted.end(), "【確認予定】" + target),
                c.asks ? 1 : 0);
            EXPECT_TRUE(treesOf({master, target, second}) == before);

            const PassResult result =
                runPass({master, target, second}, true, PassSetup{false, answer});
            const auto asked = questions(result.messages);
            if (!c.asks) {
                EXPECT_TRUE(asked.empty());
                EXPECT_FALSE(support::pathExists(target + "\\~SCV0ABC.TMP"));
                EXPECT_FALSE(support::pathExists(target + "\\x0.txt") ||
                             support::pathExists(target + "\\old"));
                continue;
            }
            ASSERT_EQ(asked.size(), 1u);
            EXPECT_EQ(asked[0]->text, target);
            EXPECT_EQ(asked[0]->source, master);
            EXPECT_EQ(asked[0]->entries, static_cast<std::size_t>(c.shared + c.extra));
            EXPECT_EQ(asked[0]->deletions, static_cast<std::size_t>(c.extra));
            if (answer == 0) {
                // Nothing deleted or copied anywhere, the smaller target included.
                EXPECT_TRUE(treesOf({master, target, second}) == before);
                EXPECT_EQ(result.deleted, std::vector<std::string>{"【確認で中止】" + target});
                EXPECT_TRUE(result.copied.empty());
                EXPECT_TRUE(result.newest.empty());
            } else {
                EXPECT_TRUE(treeOf(target) == treeOf(master));
                EXPECT_TRUE(treeOf(second) == treeOf(master));
            }
        }
    }
}

// A target folder the walk could not list, which the master lacks, would go with all it
// holds, however much that is: the guard does not count it as one entry, and asks.
TEST(MirrorPreviewTest, AFolderThatCouldNotBeListedIsNeverCountedAsOneEntry) {
    for (const LRESULT answer : {LRESULT{0}, LRESULT{1}}) {
        SCOPED_TRACE(answer ? "yes" : "no");
        support::TempFolder temp;
        const std::string master = temp.at("M");
        const std::string target = temp.at("T");
        std::vector<Item> masterItems = {file("new.txt", "new", T)};
        std::vector<Item> targetItems;
        for (int i = 0; i < 10; ++i) {
            const std::string name = "s" + std::to_string(i) + ".txt";
            masterItems.push_back(file(name, "s", T - kHour));
            targetItems.push_back(file(name, "s", T - kHour));
        }
        for (int i = 0; i < 80; ++i) {
            targetItems.push_back(file("locked\\x" + std::to_string(i) + ".txt", "x", T - kHour));
        }
        makeTree(master, masterItems);
        makeTree(target, targetItems);
        support::UnreadableFolder locked(target + "\\locked");
        ASSERT_TRUE(locked.effective());
        const std::vector<Tree> before = treesOf({master, target});

        const PassResult preview = runPass({master, target}, true, PassSetup{true, answer});
        EXPECT_EQ(
            std::count(preview.deleted.begin(), preview.deleted.end(), "【確認予定】" + target), 1);

        const PassResult result = runPass({master, target}, true, PassSetup{false, answer});
        const auto asked = questions(result.messages);
        ASSERT_EQ(asked.size(), 1u);
        EXPECT_EQ(asked[0]->text, target);
        if (answer == 0) {
            EXPECT_EQ(result.deleted, std::vector<std::string>{"【確認で中止】" + target});
            EXPECT_TRUE(result.copied.empty());
            EXPECT_TRUE(treesOf({master, target}) == before);
        }
    }
}

TEST(MirrorPreviewTest, TheQuestionNamesTheFolderTheCountsAndTheMaster) {
    const DeletionQuestion question = {"E:\\写真", "D:\\表", 120, 100};
    EXPECT_EQ(support::utf8(deletionQuestionText(question)),
              support::utf8("次のフォルダの項目を削除します。\r\n"
                            "E:\\写真\r\n"
                            "（120 項目のうち 100 項目）\r\n\r\n"
                            "合わせる元のフォルダ（マスター）：\r\n"
                            "D:\\表\r\n\r\n"
                            "続けますか？"));
}

} // namespace
