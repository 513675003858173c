#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "main_window_fixture.h"
#include "support/files.h"
#include "support/threads.h"
#include "ui/ui_ids.h"

namespace {

using support::fileTimeUtc;

const char kRunPrefix[] = "同期中 ";

bool contains(const std::vector<std::string>& texts, const std::string& text) {
    for (const std::string& t : texts) {
        if (t == text) {
            return true;
        }
    }
    return false;
}

bool endsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// Whether a status text of the list ends with the text: the status line puts how far the
// pass has come ("n / m 件") before the entry in hand.
bool containsEnding(const std::vector<std::string>& texts, const std::string& end) {
    for (const std::string& t : texts) {
        if (endsWith(t, end)) {
            return true;
        }
    }
    return false;
}

// The run's percentage in a caption "同期中 n% - Syncoravel"; -1 for any other caption.
int captionPercent(const std::string& caption) {
    int percent = -1;
    char rest[64] = {};
    if (caption.rfind(kRunPrefix, 0) == 0 &&
        std::sscanf(caption.c_str() + std::strlen(kRunPrefix), "%d%% - %63s", &percent, rest) ==
            2 &&
        std::string(rest) == "Syncoravel") {
        return percent;
    }
    return -1;
}

// "n / m 件" at the start of a status text: n (0 when there is none).
int stepOf(const std::string& status) {
    int step = 0;
    int steps = 0;
    return std::sscanf(status.c_str(), "%d / %d", &step, &steps) == 2 ? step : 0;
}

bool strictlyBetween(const std::vector<int>& positions, int low, int high) {
    for (int p : positions) {
        if (p > low && p < high) {
            return true;
        }
    }
    return false;
}

bool nonDecreasing(const std::vector<int>& positions) {
    for (std::size_t i = 1; i < positions.size(); ++i) {
        if (positions[i] < positions[i - 1]) {
            return false;
        }
    }
    return true;
}

// What the window looks like at one moment of a run.
struct Sample {
    bool runButton, logButton, identifierButton, optionButton;
    std::string runButtonText;
    bool editorReadOnly;
    UINT openItem, logItem, runItem, toolsEntry, helpEntry;
    std::string caption;
};

class RunControllerTest : public MainWindowTest {
  protected:
    Sample sample() const {
        Sample s;
        s.runButton = IsWindowEnabled(control(kIdRunButton)) != FALSE;
        s.logButton = IsWindowEnabled(control(kIdOpenLogButton)) != FALSE;
        s.identifierButton = IsWindowEnabled(control(kIdIdentifierButton)) != FALSE;
        s.optionButton = IsWindowEnabled(control(kIdNoSubfolderButton)) != FALSE;
        s.runButtonText = text(kIdRunButton);
        s.editorReadOnly = (GetWindowLongA(control(kIdEditor), GWL_STYLE) & ES_READONLY) != 0;
        HMENU bar = GetMenu(window());
        s.openItem = GetMenuState(bar, kCmdOpenDefinitionFile, MF_BYCOMMAND) & MF_GRAYED;
        s.logItem = GetMenuState(bar, kCmdOpenLogFile, MF_BYCOMMAND) & MF_GRAYED;
        s.runItem = GetMenuState(bar, kCmdRunSync, MF_BYCOMMAND) & MF_GRAYED;
        s.toolsEntry = GetMenuState(bar, 1, MF_BYPOSITION) & MF_GRAYED;
        s.helpEntry = GetMenuState(bar, 2, MF_BYPOSITION) & MF_GRAYED;
        s.caption = caption();
        return s;
    }

    static void expectIdle(const Sample& s) {
        EXPECT_TRUE(s.runButton && s.logButton && s.identifierButton && s.optionButton);
        EXPECT_EQ(s.runButtonText, "同期実行");
        EXPECT_FALSE(s.editorReadOnly);
        EXPECT_EQ(s.openItem | s.logItem | s.runItem | s.toolsEntry | s.helpEntry, 0u);
        EXPECT_EQ(captionPercent(s.caption), -1);
    }

    // During a run only the run button, now "中止", takes a click.
    static void expectRunning(const Sample& s) {
        EXPECT_TRUE(s.runButton);
        EXPECT_EQ(s.runButtonText, "中止");
        EXPECT_FALSE(s.logButton || s.identifierButton || s.optionButton);
        EXPECT_TRUE(s.editorReadOnly);
        EXPECT_NE(s.openItem & s.logItem & s.runItem & s.toolsEntry, 0u);
        EXPECT_EQ(s.helpEntry, 0u); // Help stays usable
        const int percent = captionPercent(s.caption);
        EXPECT_GE(percent, 0) << support::utf8(s.caption);
        EXPECT_LE(percent, 100);
    }

    // Waits until a run has ended and its controls are back.
    bool waitForIdle() const {
        return waitFor([&] {
            return IsWindowEnabled(control(kIdRunButton)) != FALSE &&
                   text(kIdRunButton) == "同期実行";
        });
    }
};

TEST_F(RunControllerTest, AWholeRunWithSkippedDefinition) {
    const FileTime old = fileTimeUtc(2024, 1, 1, 9, 0, 0);
    const FileTime newer = fileTimeUtc(2024, 1, 1, 10, 0, 0);
    temp_.file("A1\\x.txt", "new x", newer);
    temp_.file("A2\\x.txt", "old", old);
    temp_.file("A2\\y表.txt", "only here", old);
    temp_.file("B1\\b.txt", "b", old);
    temp_.file("C1\\ソ\\c.txt", "c", newer);
    temp_.folder("C2");
    temp_.folder("C3");
    const std::string command = temp_.at("存在しない.exe");
    const std::string definitions =
        "Sync." + temp_.at("A1") + "\r\nSync." + temp_.at("A2") + "\r\n\r\n" +
        "Sync." + temp_.at("B1") + "\r\nSync." + temp_.at("ない") + "\r\nSync.Run." + command +
        "\r\n\r\n" + "Sync." + temp_.at("C1") + "\r\nSync." + temp_.at("C2") + "\r\nSync." +
        temp_.at("C3") + "\r\n";
    ASSERT_NE(start(definitions.c_str()), nullptr);
    const std::string idleCaption = caption();
    ControlRecorder progress(control(kIdProgress));
    ControlRecorder folderStatus(control(kIdFolderStatus));
    ControlRecorder fileStatus(control(kIdFileStatus));
    std::vector<Sample> during;
    fileStatus.setProbe([&](const std::string&) { during.push_back(sample()); });

    boxes_.answer(IDNO);
    click(kIdRunButton);
    ASSERT_TRUE(boxes_.waitForBoxes(1, 60000));
    ASSERT_TRUE(waitForIdle());

    // B was passed over: the end says so, and its missing folder is named.
    const support::SeenBox box = boxes_.seen().at(0);
    EXPECT_EQ(box.caption, "Syncoravel");
    EXPECT_EQ(box.text, "同期処理が完了しました。\r\n"
                        "同期されなかった定義が 1 件あります（ログの【未同期】の行）。"
                        "\r\n\r\nログファイルを開きますか？");
    EXPECT_FALSE(box.questionIcon);
    EXPECT_TRUE(box.anyIcon);
    EXPECT_EQ(box.buttons, (std::vector<int>{IDYES, IDNO}));
    EXPECT_EQ(box.defaultButton, IDNO);

    // A is mirrored (50), B is skipped without moving the bar, C ends it (100); in between
    // the bar may follow the passes, never backwards.
    const std::vector<int> positions = progress.positions();
    ASSERT_FALSE(positions.empty());
    EXPECT_EQ(positions.front(), 0);
    EXPECT_NE(std::find(positions.begin(), positions.end(), 50), positions.end());
    EXPECT_EQ(positions.back(), 100);
    EXPECT_TRUE(nonDecreasing(positions));
    EXPECT_TRUE(contains(folderStatus.texts(), "【最新のディレクトリ】…調査中…"));
    EXPECT_TRUE(contains(folderStatus.texts(), "【外部コマンド】" + command));
    EXPECT_TRUE(contains(folderStatus.texts(), "【未同期】" + temp_.at("ない")));
    EXPECT_TRUE(contains(folderStatus.texts(), "【最新ディレクトリ】" + temp_.at("A1")));
    EXPECT_TRUE(contains(folderStatus.texts(), "【最新ディレクトリ】" + temp_.at("C1")));
    EXPECT_TRUE(containsEnding(fileStatus.texts(), "【削除】" + temp_.at("A2\\y表.txt")));
    EXPECT_TRUE(containsEnding(fileStatus.texts(), "【コピー】" + temp_.at("A2\\x.txt")));
    EXPECT_TRUE(containsEnding(fileStatus.texts(), "【コピー】" + temp_.at("C3\\ソ\\c.txt")));
    // A's plan: one deletion and one copy.
    EXPECT_TRUE(contains(fileStatus.texts(), "1 / 2 件  【削除】" + temp_.at("A2\\y表.txt")));
    EXPECT_TRUE(contains(fileStatus.texts(), "2 / 2 件  【コピー】" + temp_.at("A2\\x.txt")));

    ASSERT_FALSE(during.empty());
    for (const Sample& s : during) {
        expectRunning(s);
    }
    expectIdle(sample());
    EXPECT_EQ(caption(), idleCaption);

    // The old version of A2's x.txt is kept in A2's holding folder.
    const std::vector<std::string> dated = support::listFolder(temp_.at("A2\\_Syncoravel保管"));
    ASSERT_EQ(dated.size(), 1u);
    const std::string held = temp_.at("A2\\_Syncoravel保管\\" + dated[0]);
    EXPECT_EQ(support::readFile(held + "\\x.txt"), "old");
    const std::string log =
        "【未同期】" + temp_.at("ない") + "\r\n" + "【最新更新ファイル】" + temp_.at("A1\\x.txt") +
        "\r\n" + "【最新更新ファイル】" + temp_.at("C1\\ソ\\c.txt") + "\r\n" + "【削除】" +
        temp_.at("A2\\y表.txt") + "\r\n" + "【コピー】" + temp_.at("A2\\x.txt") + "\r\n" +
        "【保管】" + held + " (1 件)\r\n" + "【コピー】" + temp_.at("C2\\ソ") + "\r\n" +
        "【コピー】" + temp_.at("C2\\ソ\\c.txt") + "\r\n" + "【コピー】" + temp_.at("C3\\ソ") +
        "\r\n" + "【コピー】" + temp_.at("C3\\ソ\\c.txt") + "\r\n";
    EXPECT_EQ(support::readFile(programFile("Pairwarden.log")), log);
    EXPECT_EQ(text(kIdLogSummary), log);
    EXPECT_EQ(support::readFile(temp_.at("A2\\x.txt")), "new x");
    EXPECT_EQ(support::readFile(temp_.at("C3\\ソ\\c.txt")), "c");

    // Without B, a second run finds everything equal: the log keeps its content and time.
    setEditorText("Sync." + temp_.at("A1") + "\r\nSync." + temp_.at("A2") + "\r\n\r\n" + "Sync." +
                  temp_.at("C1") + "\r\nSync." + temp_.at("C2") + "\r\nSync." + temp_.at("C3") +
                  "\r\n");
    const FileTime logTime = support::writeTimeOf(programFile("Pairwarden.log"));
    boxes_.answer(IDOK);
    click(kIdRunButton);
    ASSERT_TRUE(boxes_.waitForBoxes(2, 60000));
    ASSERT_TRUE(waitForIdle());
    const support::SeenBox info = boxes_.seen().at(1);
    EXPECT_EQ(info.caption, "Syncoravel");
    EXPECT_EQ(info.text, "同期処理が完了しました。\r\n（更新されたファイルは存在しません）");
    EXPECT_TRUE(info.informationIcon);
    EXPECT_EQ(info.buttons, std::vector<int>{IDOK});
    EXPECT_EQ(text(kIdLogSummary), "更新なし");
    EXPECT_EQ(text(kIdFolderStatus), "【調査結果】更新されたファイルは存在しない");
    EXPECT_EQ(support::readFile(programFile("Pairwarden.log")), log);
    EXPECT_EQ(support::writeTimeOf(programFile("Pairwarden.log")), logTime);
    expectIdle(sample());
}

TEST_F(RunControllerTest, ARunThatLeftSomethingUndoneSaysSo) {
    const FileTime old = fileTimeUtc(2024, 1, 1, 9, 0, 0);
    temp_.file("M\\x.txt", "new", fileTimeUtc(2024, 1, 1, 10, 0, 0));
    temp_.file("M\\y.txt", "new y", old);
    temp_.file("T\\x.txt", "old", old);
    ASSERT_TRUE(SetFileAttributesA(temp_.at("T\\x.txt").c_str(), FILE_ATTRIBUTE_READONLY));
    const std::string definitions = "Sync." + temp_.at("M") + "\r\nSync." + temp_.at("T") + "\r\n";
    ASSERT_NE(start(definitions.c_str()), nullptr);

    boxes_.answer(IDNO);
    click(kIdRunButton);
    ASSERT_TRUE(boxes_.waitForBoxes(1, 60000));
    SetFileAttributesA(temp_.at("T\\x.txt").c_str(), FILE_ATTRIBUTE_NORMAL);

    const support::SeenBox box = boxes_.seen().at(0);
    EXPECT_EQ(box.text,
              "同期処理は終わりましたが、処理できなかった項目が 1 件あります"
              "（ログの【エラー削除】【エラーコピー】の行）。\r\n\r\nログファイルを開きますか？");
    EXPECT_FALSE(box.questionIcon);
    EXPECT_EQ(box.defaultButton, IDNO);
    EXPECT_EQ(support::readFile(temp_.at("T\\x.txt")), "old");
    EXPECT_EQ(support::readFile(temp_.at("T\\y.txt")), "new y");
}

// A run whose only news is a definition it passed over still writes the log and says so:
// the folder it did not find is named, in the status line as the run goes, in the log and
// in the summary box.
TEST_F(RunControllerTest, ARunThatOnlyPassedADefinitionOverSaysSo) {
    temp_.folder("M");
    const std::string missing = temp_.at("挿していない表");
    const std::string definitions = "Sync." + temp_.at("M") + "\r\nSync." + missing + "\r\n";
    ASSERT_NE(start(definitions.c_str()), nullptr);
    ControlRecorder folderStatus(control(kIdFolderStatus));

    boxes_.answer(IDNO);
    click(kIdRunButton);
    ASSERT_TRUE(boxes_.waitForBoxes(1, 60000));
    ASSERT_TRUE(waitFor([&] { return IsWindowEnabled(control(kIdRunButton)) != FALSE; }));
    const support::SeenBox box = boxes_.seen().at(0);
    EXPECT_EQ(box.text, "同期処理が完了しました。\r\n"
                        "同期されなかった定義が 1 件あります（ログの【未同期】の行）。"
                        "\r\n\r\nログファイルを開きますか？");
    EXPECT_EQ(box.buttons, (std::vector<int>{IDYES, IDNO}));
    EXPECT_FALSE(box.questionIcon);
    const std::string log = "【未同期】" + missing + "\r\n";
    EXPECT_EQ(support::readFile(programFile("Pairwarden.log")), log);
    EXPECT_EQ(text(kIdLogSummary), log);
    EXPECT_TRUE(contains(folderStatus.texts(), "【未同期】" + missing));
    expectIdle(sample());
}

TEST_F(RunControllerTest, ATextWithoutDefinitionsChangesNothing) {
    ASSERT_NE(start("memo\r\nsyn c\r\n"), nullptr);
    const std::string idleCaption = caption();
    const std::string summary = text(kIdLogSummary);
    ControlRecorder progress(control(kIdProgress));
    click(kIdRunButton);
    ASSERT_TRUE(waitFor([&] { return !progress.positions().empty(); }));
    waitFor([] { return false; }, 300); // anything that would follow has had its chance
    EXPECT_TRUE(boxes_.seen().empty());
    EXPECT_EQ(caption(), idleCaption);
    EXPECT_EQ(text(kIdLogSummary), summary);
    expectIdle(sample());
    EXPECT_FALSE(support::pathExists(programFile("Pairwarden.log")));
}

TEST_F(RunControllerTest, ClosingDuringARunAsksAndEndsPromptly) {
    temp_.folder("M");
    temp_.folder("T");
    // A source big enough that its copy is still running when the user closes the window.
    ASSERT_TRUE(support::makeSparseFile(temp_.at("M\\大きい.bin"), 16ull << 30));
    temp_.file("T\\old.txt", "old", fileTimeUtc(2020, 1, 1, 0, 0, 0));
    const std::string definitions = "Sync." + temp_.at("M") + "\r\nSync." + temp_.at("T") + "\r\n";
    ASSERT_NE(start(definitions.c_str()), nullptr);
    ControlRecorder fileStatus(control(kIdFileStatus));
    // Every thread that appears after this is the run's.
    const std::set<DWORD> beforeRun = support::threadsOfThisProcess();
    click(kIdRunButton);
    const std::string copying = "【コピー】" + temp_.at("T\\大きい.bin");
    ASSERT_TRUE(waitFor([&] { return containsEnding(fileStatus.texts(), copying); }));

    // No: the run goes on.
    boxes_.answer(IDNO);
    PostMessageA(window(), WM_CLOSE, 0, 0);
    ASSERT_TRUE(boxes_.waitForBoxes(1, 10000));
    const support::SeenBox box = boxes_.seen().at(0);
    EXPECT_EQ(box.text, "同期処理中です。\r\n\r\n強制終了しますか？");
    EXPECT_EQ(box.caption, "Syncoravel");
    EXPECT_TRUE(box.questionIcon);
    EXPECT_EQ(box.defaultButton, IDNO);
    waitFor([] { return false; }, 200);
    ASSERT_TRUE(IsWindow(window()));
    EXPECT_EQ(text(kIdRunButton), "中止");
    EXPECT_TRUE(GetWindowLongA(control(kIdEditor), GWL_STYLE) & ES_READONLY);

    // Yes, while the run's threads are held in a long call (as a flush or a slow drive
    // holds them): the window stays and says that the run is stopping, and the program ends
    // once they have gone on to their end, within a few seconds, although the copy is far
    // from done.
    std::set<DWORD> run;
    for (DWORD id : support::threadsOfThisProcess()) {
        if (beforeRun.count(id) == 0) {
            run.insert(id);
        }
    }
    support::HeldThreads held(run, 3000);
    ASSERT_GE(held.count(), 1u);
    boxes_.answer(IDYES);
    HWND main = window();
    PostMessageA(main, WM_CLOSE, 0, 0);
    const DWORD asked = GetTickCount();
    EXPECT_TRUE(waitFor(
        [&] {
            return boxes_.seen().size() == 2 && IsWindow(main) &&
                   text(kIdLogSummary) == "同期を中止しています…";
        },
        2000))
        << "the window did not show that the run is stopping";
    EXPECT_FALSE(held.released());
    ASSERT_TRUE(waitFor([&] { return !IsWindow(main); }, 30000));
    EXPECT_TRUE(held.released());
    EXPECT_TRUE(held.allEnded());
    EXPECT_LT(GetTickCount() - asked, 11000u);
    EXPECT_FALSE(support::pathExists(temp_.at("T\\大きい.bin")));
    for (const std::string& name : support::listFolder(temp_.at("T"))) {
        EXPECT_EQ(name.find(".TMP"), std::string::npos) << name;
    }
}

// A definition whose master holds one new file and whose target 60 files the master
// lacks: the run asks over the main window before it deletes. No keeps every file and logs
// one line; Yes goes on.
TEST_F(RunControllerTest, TheUserIsAskedBeforeARunEmptiesAFolder) {
    const FileTime old = fileTimeUtc(2024, 1, 1, 9, 0, 0);
    temp_.file("M\\new.txt", "new", fileTimeUtc(2024, 1, 1, 10, 0, 0));
    for (int i = 0; i < 60; ++i) {
        temp_.file("T\\f" + std::to_string(i) + ".txt", "old", old);
    }
    const std::string master = temp_.at("M");
    const std::string target = temp_.at("T");
    const std::string definitions = "Sync." + master + "\r\nSync." + target + "\r\n";
    ASSERT_NE(start(definitions.c_str()), nullptr);
    const std::string question = "次のフォルダの項目を削除します。\r\n" + target +
                                 "\r\n（60 項目のうち 60 項目）\r\n\r\n"
                                 "合わせる元のフォルダ（マスター）：\r\n" +
                                 master + "\r\n\r\n続けますか？";

    boxes_.answer(IDNO); // the question
    boxes_.answer(IDNO); // the end of the run
    click(kIdRunButton);
    ASSERT_TRUE(boxes_.waitForBoxes(2, 60000));
    ASSERT_TRUE(waitForIdle());
    const support::SeenBox asked = boxes_.seen().at(0);
    EXPECT_EQ(asked.caption, "Syncoravel");
    EXPECT_EQ(asked.text, question);
    EXPECT_EQ(asked.buttons, (std::vector<int>{IDYES, IDNO}));
    EXPECT_EQ(asked.defaultButton, IDNO);
    EXPECT_TRUE(asked.expected);
    EXPECT_EQ(support::readFile(programFile("Pairwarden.log")), "【確認で中止】" + target + "\r\n");
    EXPECT_EQ(support::listFolder(target).size(), 60u);
    EXPECT_FALSE(support::pathExists(temp_.at("T\\new.txt")));
    expectIdle(sample());

    boxes_.answer(IDYES);
    boxes_.answer(IDNO);
    click(kIdRunButton);
    ASSERT_TRUE(boxes_.waitForBoxes(4, 60000));
    ASSERT_TRUE(waitForIdle());
    EXPECT_EQ(boxes_.seen().at(2).text, question);
    EXPECT_EQ(support::listFolder(target), std::vector<std::string>{"new.txt"});
}

// Every file of the target is either its master's whole copy or not there at all, and no
// temporary copy is left beside them.
void expectWholeOrAbsent(const support::TempFolder& temp, const std::string& master,
                         const std::string& target, std::size_t& copied) {
    copied = 0;
    for (const std::string& name : support::listFolder(temp.at(target))) {
        EXPECT_EQ(name.find(".TMP"), std::string::npos) << support::utf8(name);
        EXPECT_EQ(support::readFile(temp.at(target + "\\" + name)),
                  support::readFile(temp.at(master + "\\" + name)))
            << support::utf8(name);
        ++copied;
    }
}

// A definition of many files, stopped by the user with the run button while its copies go
// on: the run ends at the next file, logs what it did and where it stopped, and says so.
// Pressing again while it stops does nothing.
TEST_F(RunControllerTest, AUserStopsARunInTheMiddleOfADefinition) {
    const FileTime old = fileTimeUtc(2024, 1, 1, 9, 0, 0);
    constexpr int kFiles = 600;
    for (int i = 0; i < kFiles; ++i) {
        temp_.file("M\\ソ\\f" + std::to_string(i) + ".txt",
                   std::string(8192, static_cast<char>('a' + i % 26)) + std::to_string(i), old);
    }
    temp_.file("T\\古い.txt", "old", old);
    const std::string definitions = "Sync." + temp_.at("M") + "\r\nSync." + temp_.at("T") + "\r\n";
    ASSERT_NE(start(definitions.c_str()), nullptr);
    const std::string idleCaption = caption();
    ControlRecorder progress(control(kIdProgress));
    ControlRecorder fileStatus(control(kIdFileStatus));
    ControlRecorder summary(control(kIdLogSummary));
    std::vector<Sample> stopping;
    summary.setProbe([&](const std::string& t) {
        if (t == "同期を中止しています…") {
            stopping.push_back(sample());
        }
    });

    pressKey(VK_F5);
    ASSERT_TRUE(waitFor([&] {
        return !fileStatus.texts().empty() && stepOf(fileStatus.texts().back()) >= 50 &&
               strictlyBetween(progress.positions(), 0, 100);
    })) << "the run did not come far enough, or its bar did not move";
    expectRunning(sample());
    EXPECT_TRUE(boxes_.seen().empty());

    boxes_.answer(IDNO);
    click(kIdRunButton);
    click(kIdRunButton); // while it stops
    ASSERT_TRUE(boxes_.waitForBoxes(1, 60000));
    ASSERT_TRUE(waitForIdle());
    pressKey(VK_ESCAPE); // after the run: nothing to stop
    waitFor([] { return false; }, 300);

    ASSERT_EQ(stopping.size(), 1u);
    EXPECT_EQ(stopping[0].runButtonText, "中止中…");
    EXPECT_FALSE(stopping[0].runButton);

    const std::string log = support::readFile(programFile("Pairwarden.log"));
    const std::size_t lastLine = log.rfind("\r\n", log.size() - 3);
    ASSERT_NE(lastLine, std::string::npos);
    const std::string stopLine = log.substr(lastLine + 2);
    const std::string stopTag = "【中止】";
    ASSERT_EQ(stopLine.rfind(stopTag, 0), 0u) << support::utf8(log);
    const std::string where = stopLine.substr(stopTag.size(), stopLine.size() - stopTag.size() - 2);
    EXPECT_EQ(where.rfind(temp_.at("T\\ソ\\f"), 0), 0u) << support::utf8(where);
    EXPECT_NE(log.find("【削除】" + temp_.at("T\\古い.txt") + "\r\n"), std::string::npos);
    EXPECT_EQ(text(kIdLogSummary), log);

    const support::SeenBox box = boxes_.seen().at(0);
    EXPECT_EQ(box.caption, "Syncoravel");
    EXPECT_EQ(box.text, "同期処理を中止しました。\r\n中止した位置：" + where +
                            "\r\nここから後の項目と、後の定義は同期されていません。"
                            "\r\n\r\nログファイルを開きますか？");
    EXPECT_TRUE(box.informationIcon);
    EXPECT_EQ(box.buttons, (std::vector<int>{IDYES, IDNO}));
    EXPECT_EQ(box.defaultButton, IDNO);
    EXPECT_EQ(boxes_.seen().size(), 1u);

    std::size_t copied = 0;
    expectWholeOrAbsent(temp_, "M\\ソ", "T\\ソ", copied);
    // Step 50 was shown before the stop: after the deletion and the folder, at least 47
    // copies were written; up to 16 of them may still wait for their flush, and a stop
    // abandons those (seen: 36 whole files).
    EXPECT_GE(copied, 31u);
    EXPECT_LT(copied, static_cast<std::size_t>(kFiles));
    EXPECT_FALSE(support::pathExists(temp_.at("T\\古い.txt")));
    EXPECT_TRUE(nonDecreasing(progress.positions()));
    expectIdle(sample());
    EXPECT_EQ(caption(), idleCaption);
}

// One large file: the bar, the caption and the status line follow the copy itself. The
// second click of a double-click on the run button does not stop the run it started; Esc
// does, and the file is not left half written under its name.
TEST_F(RunControllerTest, TheBarFollowsALargeCopyAndEscStopsIt) {
    temp_.folder("M");
    temp_.folder("T");
    ASSERT_TRUE(support::makeSparseFile(temp_.at("M\\大きい表.bin"), 4ull << 30));
    const std::string definitions = "Sync." + temp_.at("M") + "\r\nSync." + temp_.at("T") + "\r\n";
    ASSERT_NE(start(definitions.c_str()), nullptr);
    ControlRecorder progress(control(kIdProgress));
    ControlRecorder fileStatus(control(kIdFileStatus));
    const std::string target = temp_.at("T\\大きい表.bin");

    click(kIdRunButton);
    click(kIdRunButton);
    int filePercent = 0;
    ASSERT_TRUE(waitFor([&] {
        const std::string status = text(kIdFileStatus);
        const std::string head = "1 / 1 件  このファイル ";
        if (status.rfind(head, 0) != 0) {
            return false;
        }
        filePercent = std::atoi(status.c_str() + head.size());
        return filePercent >= 2 && filePercent < 90 &&
               strictlyBetween(progress.positions(), 0, 90) && captionPercent(caption()) > 0;
    })) << support::utf8(text(kIdFileStatus));
    EXPECT_EQ(text(kIdFileStatus),
              "1 / 1 件  このファイル " + std::to_string(filePercent) + "%  【コピー】" + target);
    const int shown = captionPercent(caption());
    EXPECT_GT(shown, 0);
    EXPECT_LT(shown, 100);
    expectRunning(sample());

    boxes_.answer(IDNO);
    pressKey(VK_ESCAPE);
    ASSERT_TRUE(boxes_.waitForBoxes(1, 30000));
    ASSERT_TRUE(waitForIdle());
    EXPECT_EQ(boxes_.seen().at(0).text.rfind(
                  "同期処理を中止しました。\r\n中止した位置：" + target + "\r\n", 0),
              0u)
        << support::utf8(boxes_.seen().at(0).text);
    EXPECT_EQ(support::readFile(programFile("Pairwarden.log")),
              "【最新更新ファイル】" + temp_.at("M\\大きい表.bin") + "\r\n【エラーコピー】" +
                  target + "\r\n【中止】" + target + "\r\n");
    EXPECT_TRUE(support::listFolder(temp_.at("T")).empty());
}

} // namespace
