#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "main_window_fixture.h"
#include "user_input.h"
#include "support/files.h"
#include "support/unix_access.h"
#include "ui/main_window.h"
#include "ui/ui_ids.h"

namespace {

TEST_F(MainWindowTest, LayoutFollowsTheClientSize) {
    ASSERT_NE(start("Sync.D:\r\n"), nullptr);
    SendMessageA(window(), WM_SIZE, SIZE_RESTORED, MAKELPARAM(600, 401));
    struct Expected {
        int id, x, y, width, height;
    } const expected[] = {
        {kIdEditor, 0, 0, 600, 200},           {kIdProgress, 0, 201, 600, 21},
        {kIdFolderStatus, 0, 222, 600, 21},    {kIdFileStatus, 0, 244, 600, 21},
        {kIdLogSummary, 240, 266, 360, 135},   {kIdRunButton, 16, 282, 160, 22},
        {kIdOpenLogButton, 16, 314, 160, 22},  {kIdIdentifierButton, 16, 346, 160, 22},
        {kIdNoSubfolderButton, 16, 378, 160, 22},
    };
    for (const Expected& e : expected) {
        const RECT rect = placeOf(window(), control(e.id));
        EXPECT_EQ(rect.left, e.x) << e.id;
        EXPECT_EQ(rect.top, e.y) << e.id;
        EXPECT_EQ(rect.right - rect.left, e.width) << e.id;
        EXPECT_EQ(rect.bottom - rect.top, e.height) << e.id;
    }
}

std::string menuText(HMENU menu, UINT position) {
    char text[256] = {};
    GetMenuStringA(menu, position, text, sizeof text, MF_BYPOSITION);
    return text;
}

TEST_F(MainWindowTest, MenuBarTextsAndCommands) {
    ASSERT_NE(start("Sync.D:\r\n"), nullptr);
    HMENU bar = GetMenu(window());
    ASSERT_EQ(GetMenuItemCount(bar), 3);
    EXPECT_EQ(menuText(bar, 0), "ファイル(&F)");
    EXPECT_EQ(menuText(bar, 1), "ツール(&T)");
    EXPECT_EQ(menuText(bar, 2), "ヘルプ(&H)");

    struct Item {
        int id; // -1: separator
        const char* text;
    };
    const std::vector<std::vector<Item>> expected = {
        {{kCmdOpenDefinitionFile, "定義ファイルを開く(&O)"},
         {kCmdSaveDefinitionFile, "上書き保存(&S)\tCtrl+S"},
         {kCmdOpenLogFile, "ログファイルを開く(&L)"},
         {-1, ""},
         {kCmdRunSync, "同期実行(&E)\tF5"},
         {-1, ""},
         {kCmdExit, "終了(&X)\tAlt+F4"}},
        {{kCmdAddMirrorDefinition, "ミラーリングの定義を追加(&A)"},
         {kCmdAddProgramDefinition, "外部実行プログラムの定義を追加(&P)"},
         {-1, ""},
         {kCmdSyncPreview, "同期内容の確認(&V)"},
         {kCmdSecureArea, "保護領域を設定／解除する(&S)"}},
        {{kCmdVersion, "バージョン情報(&V)"}},
    };
    for (int entry = 0; entry < 3; ++entry) {
        HMENU dropDown = GetSubMenu(bar, entry);
        ASSERT_NE(dropDown, nullptr);
        ASSERT_EQ(GetMenuItemCount(dropDown), static_cast<int>(expected[entry].size()));
        for (std::size_t i = 0; i < expected[entry].size(); ++i) {
            const Item& item = expected[entry][i];
            MENUITEMINFOA info = {};
            info.cbSize = sizeof info;
            info.fMask = MIIM_FTYPE | MIIM_ID;
            ASSERT_TRUE(GetMenuItemInfoA(dropDown, static_cast<UINT>(i), TRUE, &info));
            if (item.id < 0) {
                EXPECT_TRUE(info.fType & MFT_SEPARATOR) << entry << "/" << i;
            } else {
                EXPECT_EQ(static_cast<int>(info.wID), item.id);
                EXPECT_EQ(menuText(dropDown, static_cast<UINT>(i)), item.text);
            }
        }
    }
}

// The accelerator letter after "&" of each item, upper case; 0 when the item has none.
char acceleratorOf(const std::string& text) {
    const std::size_t amp = text.find('&');
    return amp == std::string::npos || amp + 1 >= text.size()
               ? 0
               : static_cast<char>(std::toupper(static_cast<unsigned char>(text[amp + 1])));
}

// Within one menu a letter chooses one item; with two, the keyboard only moves between them.
TEST_F(MainWindowTest, EachMenuLetterChoosesOneItem) {
    ASSERT_NE(start("Sync.D:\r\n"), nullptr);
    HMENU bar = GetMenu(window());
    for (int entry = 0; entry < GetMenuItemCount(bar); ++entry) {
        HMENU dropDown = GetSubMenu(bar, entry);
        std::vector<char> letters;
        for (int i = 0; i < GetMenuItemCount(dropDown); ++i) {
            const std::string text = menuText(dropDown, static_cast<UINT>(i));
            if (const char letter = acceleratorOf(text)) {
                EXPECT_EQ(std::count(letters.begin(), letters.end(), letter), 0)
                    << support::utf8(text);
                letters.push_back(letter);
            }
        }
    }
}

// The buttons say what they do, in words that fit them: the option button inserts a line
// that keeps the subfolders out of the definition ("非同期" would read as "asynchronous").
TEST_F(MainWindowTest, ButtonTextsFitTheirButtons) {
    ASSERT_NE(start("Sync.D:\r\n"), nullptr);
    struct Button {
        int id;
        const char* text;
    } const buttons[] = {
        {kIdRunButton, "同期実行"},
        {kIdOpenLogButton, "ログファイルを開く"},
        {kIdIdentifierButton, "定義識別子を入力"},
        {kIdNoSubfolderButton, "サブフォルダを同期しない行"},
    };
    for (const Button& button : buttons) {
        HWND control = this->control(button.id);
        EXPECT_EQ(text(button.id), button.text);
        RECT client;
        GetClientRect(control, &client);
        HDC dc = GetDC(control);
        HGDIOBJ previous =
            SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0)));
        SIZE extent = {};
        GetTextExtentPoint32A(dc, button.text, lstrlenA(button.text), &extent);
        SelectObject(dc, previous);
        ReleaseDC(control, dc);
        // The frame and the focus rectangle take a few pixels on each side.
        EXPECT_LE(extent.cx, client.right - 8) << support::utf8(button.text);
    }
}

// Opening the log before any run has written one says so, from the button and the menu.
TEST_F(MainWindowTest, OpeningTheLogBeforeThereIsOneSaysSo) {
    ASSERT_NE(start("Sync.D:\r\n"), nullptr);
    ASSERT_FALSE(support::pathExists(programFile("Pairwarden.log")));
    const std::function<void()> ways[] = {[this] { click(kIdOpenLogButton); },
                                          [this] { menu(kCmdOpenLogFile); }};
    for (const auto& open : ways) {
        const std::size_t before = boxes_.seen().size();
        boxes_.answer(IDOK);
        open();
        ASSERT_TRUE(boxes_.waitForBoxes(before + 1, 10000));
        const support::SeenBox box = boxes_.seen().back();
        EXPECT_EQ(box.caption, "Syncoravel");
        EXPECT_EQ(box.text, "ログファイル（Pairwarden.log）はまだありません。\r\n"
                            "同期でファイルを削除・コピーすると作られます。");
        EXPECT_TRUE(box.informationIcon);
        EXPECT_EQ(box.buttons, std::vector<int>{IDOK});
        EXPECT_EQ(text(kIdLogSummary), "");
    }
    EXPECT_FALSE(support::pathExists(programFile("Pairwarden.log")));
}

std::string storedDefinitionPath(const std::string& settingsFile) {
    char stored[1284] = {};
    GetPrivateProfileStringA("DefSyncFile", "Name", "", stored, sizeof stored,
                             settingsFile.c_str());
    return stored;
}

// The first start makes the definition file with the starter text instead of a read error;
// what the user then writes is saved there.
TEST_F(MainWindowTest, FirstStartCreatesTheDefinitionFile) {
    ASSERT_NE(start(nullptr), nullptr);
    const std::string starter =
        "ここに同期の定義を書きます。\r\n"
        "書き方は同じフォルダの guide-ja.html（使い方ガイド）と SyncDef-example.txt"
        "（定義の例）にあります。\r\n";
    EXPECT_EQ(support::readFile(programFile("SyncDef.txt")), starter);
    EXPECT_EQ(text(kIdEditor), starter);
    EXPECT_EQ(caption(), "Syncoravel - 【定義ファイル】SyncDef.txt");
    waitFor([] { return false; }, 300);
    EXPECT_TRUE(boxes_.seen().empty());

    setEditorText("Sync.D:\\新しい\r\nSync.E:\\新しい\r\n");
    close();
    EXPECT_EQ(support::readFile(programFile("SyncDef.txt")),
              "Sync.D:\\新しい\r\nSync.E:\\新しい\r\n");
    EXPECT_EQ(storedDefinitionPath(programFile("Pairwarden.ini")), programFile("SyncDef.txt"));
    EXPECT_EQ(GetFileAttributesA(programFile("Pairwarden.ini").c_str()) & FILE_ATTRIBUTE_HIDDEN,
              DWORD(FILE_ATTRIBUTE_HIDDEN));
}

// A definition file that is there but cannot be read is an error the user must see: the
// box names it and says what to do, and nothing replaces it.
TEST_F(MainWindowTest, ADefinitionFileThatCannotBeReadAtStartIsTold) {
    const std::string file = programFile("SyncDef.txt");
    ASSERT_TRUE(support::writeFile(file, "Sync.D:\\大事な表\r\n"));
    HANDLE holder = CreateFileA(file.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    boxes_.answer(IDOK);
    ASSERT_NE(start(nullptr), nullptr);
    ASSERT_TRUE(boxes_.waitForBoxes(1, 10000));
    CloseHandle(holder);
    const support::SeenBox box = boxes_.seen().at(0);
    EXPECT_EQ(box.caption, "Syncoravel - エラー");
    EXPECT_EQ(box.text,
              "定義ファイルの読み込みに失敗しました。\r\n" + file +
                  "\r\n（エラーコード：32）\r\n\r\nこのファイルを開いているプログラムがあれば閉じ、"
                  "読み取りが許されているかを確かめてから、「ファイル」→「定義ファイルを開く」で"
                  "開き直してください。\r\n開き直さずに編集欄へ書いた定義は、終了するときにこの"
                  "ファイルを置き換えます。");
    EXPECT_FALSE(box.anyIcon);
    EXPECT_EQ(box.buttons, std::vector<int>{IDOK});
    EXPECT_EQ(caption(), "Syncoravel - 【定義ファイル読み込みエラー】");
    EXPECT_TRUE(text(kIdEditor).empty());
    close();
    EXPECT_EQ(support::readFile(file), "Sync.D:\\大事な表\r\n");
}

TEST_F(MainWindowTest, LoadsShowsAndSavesTheDefinitionFile) {
    const std::string definitions = "Sync.D:\\表\r\nSync.E:\\ソ\r\n";
    ASSERT_NE(start(definitions.c_str()), nullptr);
    EXPECT_EQ(caption(), "Syncoravel - 【定義ファイル】SyncDef.txt");
    EXPECT_EQ(text(kIdEditor), definitions);
    EXPECT_TRUE(boxes_.seen().empty());

    // An editor emptied completely leaves the file as it was.
    setEditorText("");
    close();
    EXPECT_EQ(support::readFile(programFile("SyncDef.txt")), definitions);
}

TEST_F(MainWindowTest, AHiddenDefinitionFileKeepsItsAttributes) {
    ASSERT_NE(start("Sync.D:\r\n"), nullptr);
    ASSERT_TRUE(SetFileAttributesA(programFile("SyncDef.txt").c_str(), FILE_ATTRIBUTE_HIDDEN));
    setEditorText("Sync.E:\r\n");
    close();
    EXPECT_EQ(support::readFile(programFile("SyncDef.txt")), "Sync.E:\r\n");
    EXPECT_TRUE(GetFileAttributesA(programFile("SyncDef.txt").c_str()) & FILE_ATTRIBUTE_HIDDEN);
    SetFileAttributesA(programFile("SyncDef.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
}

// A definition file that cannot be written when the window is closed is told in a box; No
// keeps the window and its text, Yes ends without the file. Either way the old file stays
// whole and nothing is left beside it.
TEST_F(MainWindowTest, ADefinitionFileThatCannotBeWrittenAtExitIsTold) {
    const std::string old = "Sync.D:\\古い表\r\n";
    const std::string edited = "Sync.D:\\新しいソ\r\nSync.E:\\能\r\n";
    const std::string tail =
        "\r\n\r\n編集した定義は保存されていません。\r\n保存せずに終了しますか？";

    // Read-only: the writer leaves it alone. The user stays, copies the text, makes the
    // file writable and closes again.
    ASSERT_NE(start(old.c_str()), nullptr);
    const std::string file = programFile("SyncDef.txt");
    ASSERT_TRUE(SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_READONLY));
    setEditorText(edited);
    boxes_.answer(IDNO);
    menu(kCmdExit);
    ASSERT_TRUE(boxes_.waitForBoxes(1, 20000));
    ASSERT_TRUE(waitFor([&] { return IsWindowEnabled(window()) != FALSE; }));
    support::SeenBox box = boxes_.seen().at(0);
    EXPECT_EQ(box.caption, "Syncoravel - エラー");
    EXPECT_EQ(box.text, "定義ファイルの書き込みに失敗しました。\r\n" + file +
                            "\r\n（エラーコード：5）" + tail);
    EXPECT_TRUE(box.anyIcon);
    EXPECT_FALSE(box.questionIcon || box.informationIcon || box.errorIcon);
    EXPECT_EQ(box.buttons, (std::vector<int>{IDYES, IDNO}));
    EXPECT_EQ(box.defaultButton, IDNO);
    EXPECT_TRUE(IsWindow(window()));
    EXPECT_EQ(text(kIdEditor), edited);
    EXPECT_EQ(support::readFile(file), old);

    ASSERT_TRUE(SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL));
    const HWND main = window();
    SendMessageA(main, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(main));
    EXPECT_EQ(support::readFile(file), edited);
    EXPECT_EQ(boxes_.seen().size(), 1u);
    close();
}

TEST_F(MainWindowTest, EndingWithoutTheDefinitionFileLeavesTheOldOneWhole) {
    const std::string old = "Sync.D:\\古い表\r\n";
    ASSERT_NE(start(old.c_str()), nullptr);
    const std::string file = programFile("SyncDef.txt");
    const std::vector<std::string> namesBefore = support::listFolder(location_.folder);
    setEditorText(std::string(200000, 'x'));
    const HWND main = window();
    {
        // No new file can be made in the program folder.
        support::UnreadableFolder locked(location_.folder);
        ASSERT_TRUE(locked.effective());
        boxes_.answer(IDYES);
        SendMessageA(main, WM_CLOSE, 0, 0);
        EXPECT_FALSE(IsWindow(main));
    }
    ASSERT_EQ(boxes_.seen().size(), 1u);
    const std::string text = boxes_.seen().at(0).text;
    EXPECT_EQ(
        text.rfind("定義ファイルの書き込みに失敗しました。\r\n" + file + "\r\n（エラーコード：", 0),
        0u)
        << support::utf8(text);
    EXPECT_EQ(support::readFile(file), old);
    const std::vector<std::string> namesAfter = support::listFolder(location_.folder);
    for (const std::string& name : namesAfter) {
        EXPECT_TRUE(name == "Pairwarden.ini" ||
                    std::find(namesBefore.begin(), namesBefore.end(), name) != namesBefore.end())
            << support::utf8(name);
    }
    close();
}

TEST_F(MainWindowTest, IdentifierButtonLooksAtTheLineAbove) {
    struct Case {
        const char* text;
        int caret; // byte offset, all text before it ASCII
        const char* expected;
    } const cases[] = {
        {"Sync.D:\\A\r\n", 11, "Sync.D:\\A\r\nSync."},
        {"Sync.D:\\A\r\n\r\n", 13, "Sync.D:\\A\r\n\r\nSync.\r\nSync."},
        {"sync.D:\\A\r\n", 11, "sync.D:\\A\r\nSync.\r\nSync."},
        {"", 0, "Sync.\r\nSync."},
        {"x", 0, "Sync.\r\nSync.x"},
    };
    ASSERT_NE(start("Sync.D:\r\n"), nullptr);
    for (const Case& c : cases) {
        setEditorText(c.text);
        SendMessageA(control(kIdEditor), EM_SETSEL, c.caret, c.caret);
        click(kIdIdentifierButton);
        EXPECT_TRUE(waitFor([&] { return text(kIdEditor) != c.text; }, 5000)) << c.text;
        EXPECT_EQ(text(kIdEditor), c.expected) << c.text;
        EXPECT_EQ(GetFocus(), control(kIdEditor));
    }

    setEditorText("Sync.D:\\A\r\n");
    SendMessageA(control(kIdEditor), EM_SETSEL, 0, 0);
    click(kIdNoSubfolderButton);
    ASSERT_TRUE(waitFor([&] { return text(kIdEditor) != "Sync.D:\\A\r\n"; }, 5000));
    EXPECT_EQ(text(kIdEditor), "Sync.Option.NoSubDirectory\r\nSync.D:\\A\r\n");
    // Undoable as one edit.
    SendMessageA(control(kIdEditor), EM_UNDO, 0, 0);
    EXPECT_EQ(text(kIdEditor), "Sync.D:\\A\r\n");

    // Only the click acts: another notification from the button does nothing.
    const std::string before = text(kIdEditor);
    SendMessageA(window(), WM_COMMAND, MAKEWPARAM(kIdNoSubfolderButton, BN_SETFOCUS),
                 reinterpret_cast<LPARAM>(control(kIdNoSubfolderButton)));
    EXPECT_EQ(text(kIdEditor), before);
}

// Fills in the file-open dialog as a user would: types the name and presses OK.
class FileDialogAnswer {
  public:
    explicit FileDialogAnswer(std::string path) : path_(std::move(path)) {
        thread_ = CreateThread(nullptr, 0, &run, this, 0, nullptr);
    }
    ~FileDialogAnswer() {
        stop_ = true;
        WaitForSingleObject(thread_, INFINITE);
        CloseHandle(thread_);
    }
    bool answered() const { return answered_; }

  private:
    static DWORD WINAPI run(void* argument) {
        auto* self = static_cast<FileDialogAnswer*>(argument);
        while (!self->stop_ && !self->answered_) {
            HWND dialog = FindWindowA("#32770", "定義ファイルを選択してください。");
            if (dialog != nullptr && IsWindowVisible(dialog)) {
                Sleep(200);
                // The name box of the file dialog (a combo box in the newer form).
                HWND name = GetDlgItem(dialog, 0x47C);
                if (name == nullptr) {
                    name = GetDlgItem(dialog, 0x480);
                }
                SetWindowTextA(name, self->path_.c_str());
                PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                             reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
                self->answered_ = true;
            }
            Sleep(50);
        }
        return 0;
    }

    std::string path_;
    HANDLE thread_ = nullptr;
    volatile bool stop_ = false;
    volatile bool answered_ = false;
};

void typeAtEnd(HWND editor, const std::string& text) {
    caretToEnd(editor);
    typeInto(editor, text);
}

// Opening another definition file while the editor holds unsaved edits asks first: Cancel
// keeps everything, No gives the edits up, Yes writes them to the current file.
TEST_F(MainWindowTest, OpeningAnotherFileAsksAboutUnsavedEdits) {
    boxes_.ignoreCaption("定義ファイルを選択してください。");
    const std::string first = programFile("SyncDef.txt");
    const std::string other = temp_.file("別の定義.txt", "Sync.E:\\別\r\n");
    ASSERT_NE(start("Sync.D:\\元\r\n"), nullptr);
    EXPECT_EQ(caption(), "Syncoravel - 【定義ファイル】SyncDef.txt");
    typeAtEnd(control(kIdEditor), "Sync.D:\\編集した\r");
    const std::string edited = "Sync.D:\\元\r\nSync.D:\\編集した\r\n";
    ASSERT_EQ(text(kIdEditor), edited);
    EXPECT_EQ(caption(), "*Syncoravel - 【定義ファイル】SyncDef.txt");
    auto question = [](const std::string& path) {
        return "編集した定義はまだ保存されていません。\r\n" + path +
               "\r\n\r\n別の定義ファイルを開く前に保存しますか？";
    };

    // Cancel: no file dialog, nothing changes.
    boxes_.answer(IDCANCEL);
    menu(kCmdOpenDefinitionFile);
    ASSERT_TRUE(boxes_.waitForBoxes(1, 20000));
    waitFor([] { return false; }, 300);
    support::SeenBox box = boxes_.seen().at(0);
    EXPECT_EQ(box.caption, "Syncoravel");
    EXPECT_EQ(box.text, question(first));
    EXPECT_EQ(box.buttons, (std::vector<int>{IDCANCEL, IDYES, IDNO}));
    EXPECT_EQ(box.defaultButton, IDYES);
    EXPECT_EQ(text(kIdEditor), edited);
    EXPECT_EQ(caption(), "*Syncoravel - 【定義ファイル】SyncDef.txt");
    EXPECT_EQ(support::readFile(first), "Sync.D:\\元\r\n");

    // No: the edits are given up for the other file.
    {
        boxes_.answer(IDNO);
        FileDialogAnswer answer(other);
        menu(kCmdOpenDefinitionFile);
        ASSERT_TRUE(waitFor([&] { return text(kIdEditor) == "Sync.E:\\別\r\n"; }, 20000));
        EXPECT_TRUE(answer.answered());
    }
    EXPECT_EQ(boxes_.seen().at(1).text, question(first));
    EXPECT_EQ(caption(), "Syncoravel - 【定義ファイル】別の定義.txt");
    EXPECT_EQ(support::readFile(first), "Sync.D:\\元\r\n");

    // Yes: the edits of the other file are written to it before the first comes back.
    typeAtEnd(control(kIdEditor), "Sync.E:\\足した\r");
    EXPECT_EQ(caption(), "*Syncoravel - 【定義ファイル】別の定義.txt");
    {
        boxes_.answer(IDYES);
        FileDialogAnswer answer(first);
        menu(kCmdOpenDefinitionFile);
        ASSERT_TRUE(waitFor([&] { return text(kIdEditor) == "Sync.D:\\元\r\n"; }, 20000));
    }
    EXPECT_EQ(boxes_.seen().at(2).text, question(other));
    EXPECT_EQ(support::readFile(other), "Sync.E:\\別\r\nSync.E:\\足した\r\n");
    EXPECT_EQ(caption(), "Syncoravel - 【定義ファイル】SyncDef.txt");
    EXPECT_EQ(boxes_.seen().size(), 3u);
    close();
    EXPECT_EQ(storedDefinitionPath(programFile("Pairwarden.ini")), first);
}

// Ctrl+S and "上書き保存" write the definition file at once, whole; the caption's "*" says
// whether the editor holds changes the file does not. A file that cannot be written is told
// with its path, and the edits stay.
TEST_F(MainWindowTest, SavingWithTheKeyAndTheMenu) {
    const std::string file = programFile("SyncDef.txt");
    ASSERT_NE(start("Sync.D:\\元\r\n"), nullptr);
    typeAtEnd(control(kIdEditor), "Sync.E:\\表\r");
    EXPECT_EQ(caption(), "*Syncoravel - 【定義ファイル】SyncDef.txt");
    pressKey('S', true);
    EXPECT_EQ(support::readFile(file), "Sync.D:\\元\r\nSync.E:\\表\r\n");
    EXPECT_EQ(caption(), "Syncoravel - 【定義ファイル】SyncDef.txt");
    // S alone is a letter for the editor.
    pressKey('S');
    ASSERT_TRUE(waitFor([&] { return text(kIdEditor) == "Sync.D:\\元\r\nSync.E:\\表\r\ns"; }));
    EXPECT_EQ(support::readFile(file), "Sync.D:\\元\r\nSync.E:\\表\r\n");
    EXPECT_EQ(caption(), "*Syncoravel - 【定義ファイル】SyncDef.txt");

    typeAtEnd(control(kIdEditor), "\rSync.E:\\ソ\r");
    ASSERT_TRUE(SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_READONLY));
    boxes_.answer(IDOK);
    menu(kCmdSaveDefinitionFile);
    ASSERT_TRUE(boxes_.waitForBoxes(1, 20000));
    const support::SeenBox box = boxes_.seen().at(0);
    EXPECT_EQ(box.caption, "Syncoravel - エラー");
    EXPECT_EQ(box.text,
              "定義ファイルの書き込みに失敗しました。\r\n" + file +
                  "\r\n（エラーコード：5）\r\n\r\nファイルが読み取り専用になっていないか、"
                  "ほかのプログラムが開いていないかを確かめてから、もう一度保存して"
                  "ください。\r\n編集した定義は編集欄に残っています。");
    EXPECT_EQ(support::readFile(file), "Sync.D:\\元\r\nSync.E:\\表\r\n");
    EXPECT_EQ(caption(), "*Syncoravel - 【定義ファイル】SyncDef.txt");

    ASSERT_TRUE(SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL));
    menu(kCmdSaveDefinitionFile);
    ASSERT_TRUE(waitFor([&] { return caption() == "Syncoravel - 【定義ファイル】SyncDef.txt"; }));
    EXPECT_EQ(support::readFile(file), "Sync.D:\\元\r\nSync.E:\\表\r\ns\r\nSync.E:\\ソ\r\n");
    EXPECT_EQ(boxes_.seen().size(), 1u);
}

// A log-off or shut-down writes the definitions and the settings as an exit does, before
// the session ends; a definition file that cannot be written lets the user keep the
// session (and the edits) going.
TEST_F(MainWindowTest, ASessionEndWritesDefinitionsAndSettings) {
    const std::string file = programFile("SyncDef.txt");
    const std::string settings = programFile("Pairwarden.ini");
    ASSERT_NE(start("Sync.D:\\元\r\n"), nullptr);
    typeAtEnd(control(kIdEditor), "Sync.E:\\能\r");
    ASSERT_FALSE(support::pathExists(settings));

    EXPECT_EQ(SendMessageA(window(), WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF), TRUE);
    EXPECT_EQ(support::readFile(file), "Sync.D:\\元\r\nSync.E:\\能\r\n");
    EXPECT_EQ(storedDefinitionPath(settings), file);
    char width[32] = {};
    GetPrivateProfileStringA("Pairwarden-WH-Size", "Width", "", width, sizeof width,
                             settings.c_str());
    EXPECT_GT(std::atoi(width), 0);
    EXPECT_EQ(caption(), "Syncoravel - 【定義ファイル】SyncDef.txt");
    SendMessageA(window(), WM_ENDSESSION, FALSE, ENDSESSION_LOGOFF); // another program refused

    typeAtEnd(control(kIdEditor), "Sync.E:\\後\r");
    ASSERT_TRUE(SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_READONLY));
    boxes_.answer(IDNO);
    EXPECT_EQ(SendMessageA(window(), WM_QUERYENDSESSION, 0, 0), FALSE);
    ASSERT_EQ(boxes_.seen().size(), 1u);
    EXPECT_EQ(
        boxes_.seen().at(0).text.rfind("定義ファイルの書き込みに失敗しました。\r\n" + file, 0), 0u);
    EXPECT_EQ(caption(), "*Syncoravel - 【定義ファイル】SyncDef.txt");
    ASSERT_TRUE(SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL));

    EXPECT_EQ(SendMessageA(window(), WM_QUERYENDSESSION, 0, 0), TRUE);
    SendMessageA(window(), WM_ENDSESSION, TRUE, 0);
    EXPECT_EQ(support::readFile(file), "Sync.D:\\元\r\nSync.E:\\能\r\nSync.E:\\後\r\n");
}

TEST_F(MainWindowTest, AChosenFileThatCannotBeReadChangesNothing) {
    boxes_.ignoreCaption("定義ファイルを選択してください。");
    boxes_.answer(IDOK);
    const std::string busy = temp_.file("使用中.txt", "Sync.E:\\使用中\r\n");
    ASSERT_NE(start("Sync.D:\\元\r\n"), nullptr);
    setEditorText("Sync.D:\\編集中\r\n");
    const std::string captionBefore = caption();
    {
        // Another program holds the file open without sharing it.
        HANDLE holder = CreateFileA(busy.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0,
                                    nullptr);
        ASSERT_NE(holder, INVALID_HANDLE_VALUE);
        FileDialogAnswer answer(busy);
        menu(kCmdOpenDefinitionFile);
        ASSERT_TRUE(boxes_.waitForBoxes(1, 20000));
        CloseHandle(holder);
    }
    const support::SeenBox box = boxes_.seen().at(0);
    EXPECT_EQ(box.caption, "Syncoravel - エラー");
    EXPECT_EQ(box.text.rfind("定義ファイルの読み込みに失敗しました。\r\n" + busy +
                                 "\r\n（エラーコード：32）\r\n\r\n",
                             0),
              0u)
        << support::utf8(box.text);
    EXPECT_EQ(box.text.find("置き換えます"), std::string::npos);
    EXPECT_EQ(text(kIdEditor), "Sync.D:\\編集中\r\n");
    EXPECT_EQ(caption(), captionBefore);
    close();
    EXPECT_EQ(support::readFile(busy), "Sync.E:\\使用中\r\n");
    EXPECT_EQ(support::readFile(programFile("SyncDef.txt")), "Sync.D:\\編集中\r\n");
}

TEST_F(MainWindowTest, BadDefinitionFilesLoadUpToTheirFirstZeroByte) {
    // Ten megabytes of long lines, then a zero byte, then more; invalid Shift-JIS at the
    // very end of the readable part.
    std::string big;
    const std::string line = "Sync.D:\\" + std::string(3000, 'a') + "\r\n";
    while (big.size() < 10 * 1024 * 1024) {
        big += line;
    }
    const std::string head = "Sync.D:\\\x81\x20\xFF\r\n" + big;
    ASSERT_TRUE(support::writeFile(programFile("SyncDef.txt"),
                                   head + std::string(1, '\0') + "after the zero byte"));
    ASSERT_NE(start(nullptr), nullptr);
    EXPECT_TRUE(boxes_.seen().empty());
    const int length = GetWindowTextLengthA(control(kIdEditor));
    EXPECT_GT(length, 10 * 1024 * 1024 - 10);
    EXPECT_LE(length, static_cast<int>(head.size()) + 8);
    EXPECT_EQ(text(kIdEditor).find("after the zero byte"), std::string::npos);
}

} // namespace
