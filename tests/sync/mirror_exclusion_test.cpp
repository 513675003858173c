#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "base/scoped_handle.h"
#include "support/files.h"
#include "support/recycle_bin.h"
#include "support/temp_folder.h"
#include "sync/mirror_fixture.h"

namespace {

using namespace mirror_fixture;
using support::fileTimeUtc;
using support::kSecond;

constexpr FileTime kHour = 3600 * kSecond;
const FileTime T = fileTimeUtc(2024, 3, 5, 8, 0, 0);

struct Scenario {
    const char* name;
    std::string options; // the definition's option lines, each ending in CR LF
    std::vector<std::vector<Item>> before;
    std::string newestFile; // in folder 0, the master of every scenario
    std::vector<Line> deleted;
    std::vector<Line> copied;
    std::vector<std::vector<Item>> after;
};

std::vector<Scenario> scenarios() {
    return {
        {"names at any depth: neither copied nor deleted, nor counted for the master",
         "Sync.Option.Exclude:Thumbs.db\r\nSync.Option.Exclude:*.tmp\r\n"
         "Sync.Option.Exclude:~$*\r\n",
         {{file("x.txt", "x", T), file("Thumbs.db", "A's, newest of all", T + kHour),
           file("作業\\下書き.TMP", "A's", T - kHour), file("~$報告書.docx", "A's", T)},
          {file("x.txt", "old x", T - kHour), file("Thumbs.db", "B's", T - 2 * kHour),
           file("表\\~$報告書.docx", "only in B", T - kHour),
           file("表\\能\\thumbs.DB", "only in B", T - kHour)}},
         "x.txt",
         {},
         {{"【コピー】", 1, "x.txt"}, {"【コピー】", 1, "作業"}},
         {{file("x.txt", "x", T), file("Thumbs.db", "A's, newest of all", T + kHour),
           file("作業\\下書き.TMP", "A's", T - kHour), file("~$報告書.docx", "A's", T)},
          {file("x.txt", "x", T), file("Thumbs.db", "B's", T - 2 * kHour),
           file("表\\~$報告書.docx", "only in B", T - kHour),
           file("表\\能\\thumbs.DB", "only in B", T - kHour), folder("作業")}}},

        {"a target folder holding an excluded entry goes one entry at a time",
         "Sync.Option.Exclude:desktop.ini\r\n",
         {{file("a.txt", "a", T)},
          {file("古い\\desktop.ini", "kept", T - kHour), file("古い\\消す.txt", "gone", T - kHour),
           file("古い\\下\\消す.txt", "gone", T - kHour), file("空\\z.txt", "z", T - kHour)}},
         "a.txt",
         {{"【削除】", 1, "古い\\消す.txt"}, {"【削除】", 1, "古い\\下"}, {"【削除】", 1, "空"}},
         {{"【コピー】", 1, "a.txt"}},
         {{file("a.txt", "a", T)},
          {file("a.txt", "a", T), file("古い\\desktop.ini", "kept", T - kHour)}}},

        {"folder-only and path patterns; a path pattern holds below the definition's folder only",
         "Sync.Option.Exclude:cache\\\r\nSync.Option.Exclude:写真\\原本\r\n"
         "Sync.Option.Exclude:ソ\\*.bak\r\n",
         {{file("cache", "a file named cache", T), file("表\\cache\\c.bin", "c", T - kHour),
           file("写真\\原本\\raw.jpg", "raw", T - kHour), file("写真\\a.jpg", "a", T - kHour),
           file("原本\\r.txt", "r", T - kHour), file("ソ\\x.bak", "x", T - kHour),
           file("能\\ソ\\y.bak", "y", T - kHour)},
          {file("写真\\原本\\b.jpg", "only in B", T - 2 * kHour),
           file("ソ\\old.bak", "only in B", T - 2 * kHour),
           file("能\\Cache\\keep.txt", "only in B", T - 2 * kHour)}},
         "cache",
         {},
         {{"【コピー】", 1, "cache"},
          {"【コピー】", 1, "表"},
          {"【コピー】", 1, "写真\\a.jpg"},
          {"【コピー】", 1, "原本"},
          {"【コピー】", 1, "原本\\r.txt"},
          {"【コピー】", 1, "能\\ソ"},
          {"【コピー】", 1, "能\\ソ\\y.bak"}},
         {{file("cache", "a file named cache", T), file("表\\cache\\c.bin", "c", T - kHour),
           file("写真\\原本\\raw.jpg", "raw", T - kHour), file("写真\\a.jpg", "a", T - kHour),
           file("原本\\r.txt", "r", T - kHour), file("ソ\\x.bak", "x", T - kHour),
           file("能\\ソ\\y.bak", "y", T - kHour)},
          {file("写真\\原本\\b.jpg", "only in B", T - 2 * kHour),
           file("ソ\\old.bak", "only in B", T - 2 * kHour),
           file("能\\Cache\\keep.txt", "only in B", T - 2 * kHour),
           file("cache", "a file named cache", T), folder("表"),
           file("写真\\a.jpg", "a", T - kHour), file("原本\\r.txt", "r", T - kHour),
           file("能\\ソ\\y.bak", "y", T - kHour)}}},

        {"without subfolders beside exclusions",
         "Sync.Option.NoSubDirectory\r\nSync.Option.Exclude:*.bak\r\n",
         {{file("a.txt", "a", T), file("a.bak", "a", T), file("sub\\s.txt", "s", T - kHour)},
          {file("b.bak", "kept", T - kHour), file("old.txt", "gone", T - kHour),
           file("sub2\\t.txt", "not seen", T - kHour)}},
         "a.txt",
         {{"【削除】", 1, "old.txt"}},
         {{"【コピー】", 1, "a.txt"}},
         {{file("a.txt", "a", T), file("a.bak", "a", T), file("sub\\s.txt", "s", T - kHour)},
          {file("b.bak", "kept", T - kHour), file("a.txt", "a", T),
           file("sub2\\t.txt", "not seen", T - kHour)}}},
    };
}

std::string definition(const std::string& options, const std::vector<std::string>& folders) {
    std::string text = options;
    for (const std::string& folder : folders) {
        text += "Sync." + folder + "\r\n";
    }
    return text;
}

// Each scenario is previewed first (nothing changes, and the preview names what the run
// then does), then run.
TEST(MirrorExclusionTest, Scenarios) {
    for (const Scenario& scenario : scenarios()) {
        SCOPED_TRACE(scenario.name);
        support::TempFolder first;
        support::TempFolder second(support::kDriveE);
        const std::vector<std::string> folders = {first.at("ソース表"), second.at("予定ソ")};
        for (std::size_t i = 0; i < folders.size(); ++i) {
            makeTree(folders[i], scenario.before[i]);
        }
        // The exclusion lines stand among the folder lines as a user may write them.
        const std::string text =
            "Sync." + folders[0] + "\r\n" + definition(scenario.options, {folders[1]});
        std::vector<Tree> before;
        for (const std::string& folder : folders) {
            before.push_back(treeOf(folder));
        }

        PassSetup previewSetup;
        previewSetup.preview = true;
        const PassResult preview = runDefinition(text, previewSetup);
        for (std::size_t i = 0; i < folders.size(); ++i) {
            EXPECT_TRUE(treeOf(folders[i]) == before[i]) << "the preview changed folder " << i;
        }

        const PassResult result = runDefinition(text);
        EXPECT_EQ(result.newest, std::vector<std::string>{"【最新更新ファイル】" + folders[0] +
                                                          "\\" + scenario.newestFile});
        EXPECT_EQ(result.master, folders[0]);
        EXPECT_EQ(sorted(result.deleted), sorted(outcomeLines(scenario.deleted, folders)));
        // Where the replaced files went is the holding folder's test.
        EXPECT_EQ(sorted(withoutHeldLines(result.copied)),
                  sorted(outcomeLines(scenario.copied, folders)));
        EXPECT_EQ(sorted(asRunLines(preview.deleted)), sorted(result.deleted));
        EXPECT_EQ(sorted(asRunLines(preview.copied)), sorted(withoutHeldLines(result.copied)));
        for (std::size_t i = 0; i < folders.size(); ++i) {
            SCOPED_TRACE("folder " + std::to_string(i));
            EXPECT_TRUE(treeOf(folders[i]) == expectedTree(withFolders(scenario.after[i])));
        }
    }
}

// Office keeps "~$" + the document's name open without sharing while the document is open:
// without the exclusion every run fails to copy it; with it, nothing is said of it.
TEST(MirrorExclusionTest, AnOpenLockFileGivesNoErrorLineOnceExcluded) {
    support::TempFolder temp;
    const std::string a = temp.folder("文書");
    const std::string b = temp.folder("控え");
    temp.file("文書\\報告書.docx", "report", T);
    const std::string lock = temp.file("文書\\~$報告書.docx", "owner", T + kHour);
    FileHandle held(CreateFileA(lock.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(held.valid());

    const PassResult plain = runDefinition(definition("", {a, b}));
    EXPECT_EQ(sorted(plain.copied), sorted({"【コピー】" + b + "\\報告書.docx",
                                            "【エラーコピー】" + b + "\\~$報告書.docx"}));

    const PassResult excluded = runDefinition(definition("Sync.Option.Exclude:~$*\r\n", {a, b}));
    EXPECT_EQ(excluded.newest,
              std::vector<std::string>{"【最新更新ファイル】" + a + "\\報告書.docx"});
    EXPECT_TRUE(excluded.deleted.empty());
    EXPECT_TRUE(excluded.copied.empty());
    EXPECT_EQ(support::listFolder(b), std::vector<std::string>{"報告書.docx"});
}

// The question before mass deletions counts what the pass sees: entries a definition
// leaves alone would hide that every other entry of the target is about to go.
TEST(MirrorExclusionTest, ExcludedEntriesAreNotCountedByTheMassDeletionQuestion) {
    support::TempFolder temp;
    const std::string a = temp.folder("新");
    const std::string b = temp.folder("旧");
    temp.file("新\\new.txt", "new", T);
    for (int i = 0; i < 60; ++i) {
        const std::string name = "\\~" + std::to_string(i) + ".tmp";
        temp.file("新" + name, "shared", T - kHour);
        temp.file("旧" + name, "shared", T - kHour);
    }
    for (int i = 0; i < 50; ++i) {
        temp.file("旧\\f" + std::to_string(i) + ".txt", "old", T - kHour);
    }
    const Tree before = treeOf(b);

    PassSetup refuse;
    refuse.deletionAnswer = 0;
    const PassResult result =
        runDefinition(definition("Sync.Option.Exclude:*.tmp\r\n", {a, b}), refuse);
    EXPECT_EQ(result.deleted, std::vector<std::string>{"【確認で中止】" + b});
    EXPECT_TRUE(result.copied.empty());
    EXPECT_TRUE(treeOf(b) == before);
}

// A pattern the program cannot read is not taken for "nothing" or "everything": the
// definition is not run, and each such line is named in an error line.
TEST(MirrorExclusionTest, AMalformedPatternStopsTheDefinitionWithAnErrorLine) {
    support::TempFolder temp;
    const std::string a = temp.folder("表A");
    const std::string b = temp.folder("B");
    temp.file("表A\\new.txt", "new", T);
    temp.file("B\\old.txt", "old", T - kHour);
    const Tree before = treeOf(b);
    const std::vector<std::string> lines = {"Option.Exclude:", "Option.Exclude:C:\\temp",
                                            "Option.Exclude:a\\\\b", "Option.exclude:*.tmp"};
    std::string options;
    std::vector<std::string> expected;
    for (const std::string& line : lines) {
        options += "Sync." + line + "\r\n";
        expected.push_back("【エラー削除】" + a + " (除外の指定「Sync." + line +
                           "」が正しくないため同期しません)");
    }
    for (const bool preview : {true, false}) {
        SCOPED_TRACE(preview ? "preview" : "run");
        PassSetup setup;
        setup.preview = preview;
        const PassResult result = runDefinition(definition(options, {a, b}), setup);
        EXPECT_EQ(result.deleted, expected);
        EXPECT_TRUE(result.copied.empty());
        EXPECT_TRUE(result.newest.empty());
        EXPECT_TRUE(treeOf(b) == before);
    }
}

} // namespace
