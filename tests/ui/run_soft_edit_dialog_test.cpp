#include <windows.h>

#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "dialog_user.h"
#include "support/files.h"
#include "ui/dialog_host.h"
#include "ui/run_soft_edit_dialog.h"
#include "ui/ui_ids.h"
#include "ui/ui_resources.h"

namespace {

const char kCaption[] = "外部実行プログラムの定義を追加";
const char kOpenCaption[] = "開く"; // the file-open dialog without a title of its own

// A filter list: description and pattern pairs, each text ended by a zero byte, and one
// more zero byte at the end.
std::string filterList(std::initializer_list<std::string> texts) {
    std::string list;
    for (const std::string& text : texts) {
        list += text;
        list += '\0';
    }
    list += '\0';
    return list;
}

const std::string kAll = "全てのファイル(*.*)";

TEST(ProgramFileStartTest, FilterAndStartNameFollowThePath) {
    support::TempFolder temp;
    const std::string tools = temp.folder("ツール表");
    const std::string dotted = temp.folder("版1.0");
    const std::string missing = temp.at("無い");
    const std::string ext73(73, 'x');
    const std::string ext74(74, 'x');
    struct Case {
        const char* name;
        std::string path;
        std::string filter;
        std::string startName;
    } const cases[] = {
        {"txt", tools + "\\メモ.txt", filterList({"テキストファイル(*.txt)", "*.txt", kAll, "*"}),
         tools + "\\メモ.txt"},
        {"TXT is compared with case", tools + "\\メモ.TXT",
         filterList({"TXTファイル(*.TXT)", "*.TXT", kAll, "*"}), tools + "\\メモ.TXT"},
        {"htm", tools + "\\頁.htm", filterList({"HTMLファイル(*.html)", "*.htm;*.html", kAll, "*"}),
         tools + "\\頁.htm"},
        {"html", tools + "\\頁.html",
         filterList({"HTMLファイル(*.html)", "*.htm;*.html", kAll, "*"}), tools + "\\頁.html"},
        {"exe, a name ending in a 0x5C byte", tools + "\\表.exe",
         filterList({"実行ファイル(*.exe)", "*.exe", kAll, "*"}), tools + "\\表.exe"},
        {"Exe", tools + "\\run.Exe", filterList({"Exeファイル(*.Exe)", "*.Exe", kAll, "*"}),
         tools + "\\run.Exe"},
        {"an unknown extension", tools + "\\data.bak",
         filterList({"bakファイル(*.bak)", "*.bak", kAll, "*"}), tools + "\\data.bak"},
        {"a double-byte extension", tools + "\\a.表",
         filterList({"表ファイル(*.表)", "*.表", kAll, "*"}), tools + "\\a.表"},
        {"the longest extension that fits", tools + "\\a." + ext73,
         filterList({ext73 + "ファイル(*." + ext73 + ")", "*." + ext73, kAll, "*"}),
         tools + "\\a." + ext73},
        {"an extension too long for the filter", tools + "\\a." + ext74, filterList({kAll, "*"}),
         tools + "\\a." + ext74},
        {"a missing folder", missing + "\\run.exe", filterList({kAll, "*"}), missing},
        {"no backslash", "run.exe", filterList({kAll, "*"}), "run.exe"},
        {"a backslash only at the start", "\\run.exe", filterList({kAll, "*"}), "\\run.exe"},
        {"a drive", "D:\\run.exe", filterList({"実行ファイル(*.exe)", "*.exe", kAll, "*"}),
         "D:\\run.exe"},
        {"a dot only in the folder", dotted + "\\run", filterList({kAll, "*"}), dotted + "\\run"},
        {"a folder with its backslash", tools + "\\", filterList({kAll, "*"}), tools + "\\"},
        {"empty", "", filterList({kAll, "*"}), ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ProgramFileStart start = programFileStart(c.path);
        EXPECT_EQ(start.filter, c.filter) << support::utf8(start.filter);
        EXPECT_LE(start.filter.size(), kFilterRoom);
        EXPECT_EQ(start.name, c.startName);
    }
    EXPECT_EQ(programFileStart(tools + "\\a." + ext73).filter.size(), 258u);
}

const ExpectedBox kNoSuchFile = {
    "指定されたプログラムファイルは存在しません。\r\n", ExpectedBox::kExclamation, {IDOK}};

class RunSoftEditTest : public DialogTest {};

// The result and the exchange text the dialog leaves: the program line and 1 for an
// existing file; otherwise 0 and the selection it came with, untouched.
TEST_F(RunSoftEditTest, OkCancelAndClose) {
    const std::string program = temp_.file("道具\\ソフト表.exe");
    const std::string folder = temp_.folder("道具\\フォルダ");
    const std::string selection = "Sync.Run.古い.exe\r\n";
    struct Case {
        const char* name;
        std::string typed;
        std::vector<std::string> invalidTries; // each one answered by the box first
        std::function<void(HWND)> leave;
        int result;
        std::string exchange;
    } const cases[] = {
        {"an existing file",
         program,
         {},
         [](HWND dialog) { press(GetDlgItem(dialog, kIdRunSoftOk)); },
         1,
         "\r\nSync.Run." + program + "\r\n"},
        {"a missing file, a folder and nothing, then the file",
         program,
         {temp_.at("道具\\無い.exe"), folder, ""},
         [](HWND dialog) { press(GetDlgItem(dialog, kIdRunSoftOk)); },
         1,
         "\r\nSync.Run." + program + "\r\n"},
        {"the Enter key",
         program,
         {},
         [](HWND dialog) {
             PostMessageA(GetDlgItem(dialog, kIdRunSoftPath), WM_KEYDOWN, VK_RETURN, 1);
         },
         1,
         "\r\nSync.Run." + program + "\r\n"},
        {"cancel",
         program,
         {},
         [](HWND dialog) { press(GetDlgItem(dialog, kIdRunSoftCancel)); },
         0,
         selection},
        {"close box",
         program,
         {},
         [](HWND dialog) { PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); },
         0,
         selection},
        {"Esc key",
         program,
         {},
         [](HWND dialog) {
             PostMessageA(GetDlgItem(dialog, kIdRunSoftPath), WM_KEYDOWN, VK_ESCAPE, 1);
         },
         0,
         selection},
        {"a missing file, then cancel",
         temp_.at("道具\\無い.exe"),
         {temp_.at("道具\\無い.exe")},
         [](HWND dialog) { press(GetDlgItem(dialog, kIdRunSoftCancel)); },
         0,
         selection},
    };
    ASSERT_NE(start("Sync.D:\r\n"), nullptr);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        exchangeText() = selection;
        const std::size_t boxesBefore = boxes_.seen().size();
        std::vector<bool> openAfterBox;
        const int result = runDialogAsUser("RunSoftEdit", kCaption, [&](HWND dialog) {
            HWND field = GetDlgItem(dialog, kIdRunSoftPath);
            for (const std::string& invalid : c.invalidTries) {
                replaceText(field, invalid);
                boxes_.answer(IDOK);
                const std::size_t count = boxes_.seen().size();
                press(GetDlgItem(dialog, kIdRunSoftOk));
                waitUntil([&] { return boxes_.seen().size() > count; });
                waitUntil([&] { return IsWindowEnabled(dialog) != FALSE; });
                openAfterBox.push_back(IsWindow(dialog) && exchangeText() == selection);
            }
            replaceText(field, c.typed);
            c.leave(dialog);
        });
        EXPECT_EQ(result, c.result);
        EXPECT_EQ(exchangeText(), c.exchange) << support::utf8(exchangeText());
        EXPECT_EQ(openAfterBox, std::vector<bool>(c.invalidTries.size(), true));
        const std::vector<support::SeenBox> seen = boxes_.seen();
        ASSERT_EQ(seen.size(), boxesBefore + c.invalidTries.size());
        for (std::size_t i = boxesBefore; i < seen.size(); ++i) {
            expectBox(seen[i], kNoSuchFile);
        }
    }
}

TEST_F(RunSoftEditTest, TheEditorGetsTheLineInPlaceOfTheSelection) {
    const std::string program = temp_.file("ソフト\\起動.bat");
    ASSERT_NE(start("Sync.D:\r\n"), nullptr);
    HWND editor = control(kIdEditor);
    const std::string selection = "Sync.D:\\表\r\nSync.E:\\ソ\r\n";

    selectInEditor(editor, "前\r\n", selection, "後");
    runAsUser(kCmdAddProgramDefinition, kCaption,
              [&](HWND dialog) { press(GetDlgItem(dialog, kIdRunSoftCancel)); });
    EXPECT_EQ(text(kIdEditor), "前\r\n" + selection + "後");

    selectInEditor(editor, "前\r\n", selection, "後");
    runAsUser(kCmdAddProgramDefinition, kCaption, [&](HWND dialog) {
        replaceText(GetDlgItem(dialog, kIdRunSoftPath), program);
        press(GetDlgItem(dialog, kIdRunSoftOk));
    });
    EXPECT_EQ(text(kIdEditor), "前\r\n\r\nSync.Run." + program + "\r\n後");
    EXPECT_EQ(GetFocus(), editor);
}

// The items of a combo box of another thread.
std::vector<std::string> comboItems(HWND combo) {
    std::vector<std::string> items;
    const LRESULT count = SendMessageA(combo, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        char item[512] = {};
        SendMessageA(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(item));
        items.push_back(item);
    }
    return items;
}

TEST_F(RunSoftEditTest, BrowsingWithTheFilterOfThePath) {
    boxes_.ignoreCaption(kOpenCaption);
    const std::string tools = temp_.folder("ツール表");
    const std::string program = temp_.file("ツール表\\run.exe");
    const std::string other = temp_.file("ツール表\\別のもの.txt");
    const std::string missing = temp_.at("無い\\run.exe");
    ASSERT_NE(start("Sync.D:\r\n"), nullptr);

    struct Seen {
        std::vector<std::string> types;
        std::string name;
        std::string folder;
        bool readOnlyBoxHidden = false;
        std::string field;
    };
    auto browse = [&](HWND dialog, const std::string& typed, const std::string& chosen) {
        Seen seen;
        HWND field = GetDlgItem(dialog, kIdRunSoftPath);
        replaceText(field, typed);
        press(GetDlgItem(dialog, kIdRunSoftBrowse));
        if (HWND open = waitForOwnWindow("#32770", kOpenCaption)) {
            Sleep(300);
            seen.types = comboItems(GetDlgItem(open, 0x470));
            HWND name = GetDlgItem(open, 0x47C);
            seen.name = textOf(name);
            seen.folder = textOf(GetDlgItem(open, 0x471));
            seen.readOnlyBoxHidden = !IsWindowVisible(GetDlgItem(open, 0x410));
            if (chosen.empty()) {
                press(GetDlgItem(open, IDCANCEL));
            } else {
                SetWindowTextA(name, chosen.c_str());
                PostMessageA(open, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                             reinterpret_cast<LPARAM>(GetDlgItem(open, IDOK)));
            }
            waitUntil([&] { return !IsWindow(open); });
        }
        seen.field = textOf(field);
        return seen;
    };

    Seen executable, fromMissing;
    runAsUser(kCmdAddProgramDefinition, kCaption, [&](HWND dialog) {
        executable = browse(dialog, program, other);
        fromMissing = browse(dialog, missing, "");
        press(GetDlgItem(dialog, kIdRunSoftCancel));
    });

    EXPECT_EQ(executable.types, (std::vector<std::string>{"実行ファイル(*.exe)", kAll}));
    EXPECT_EQ(executable.name, "run.exe");
    EXPECT_EQ(executable.folder, "ツール表");
    EXPECT_TRUE(executable.readOnlyBoxHidden);
    EXPECT_EQ(executable.field, other);

    EXPECT_EQ(fromMissing.types, std::vector<std::string>{kAll});
    EXPECT_EQ(fromMissing.field, missing);
    // Only the folder part is the start value: the dialog shows the temporary folder with
    // the missing folder's name as the file name.
    EXPECT_EQ(fromMissing.name, "無い");
    EXPECT_EQ(fromMissing.folder, temp_.path().substr(3));
    EXPECT_TRUE(boxes_.seen().empty());
}

TEST_F(RunSoftEditTest, Controls) {
    ASSERT_NE(start("Sync.D:\r\n"), nullptr);
    const std::vector<ControlExpectation> expected = {
        {kIdRunSoftLabel, "Static", "外部実行プログラムのパス", 11, 8, 142, 19},
        {kIdRunSoftPath, "Edit", "", 12, 30, 286, 21},
        {kIdRunSoftOk, "Button", "OK", 168, 61, 80, 22},
        {kIdRunSoftCancel, "Button", "キャンセル", 256, 61, 80, 22},
        {kIdRunSoftBrowse, "Button", "参照", 304, 30, 40, 22},
    };
    std::vector<std::string> mismatches;
    SIZE size = {};
    bool acceptsFiles = true;
    runAsUser(kCmdAddProgramDefinition, kCaption, [&](HWND dialog) {
        mismatches = controlMismatches(dialog, expected, dialogFont(FontSlot::RunSoftEdit));
        RECT frame;
        GetWindowRect(dialog, &frame);
        size = {frame.right - frame.left, frame.bottom - frame.top};
        acceptsFiles = (GetWindowLongA(dialog, GWL_EXSTYLE) & WS_EX_ACCEPTFILES) != 0;
        press(GetDlgItem(dialog, kIdRunSoftCancel));
    });
    EXPECT_TRUE(mismatches.empty()) << testing::PrintToString(mismatches);
    EXPECT_EQ(size.cx, 360);
    EXPECT_EQ(size.cy, 120);
    EXPECT_FALSE(acceptsFiles);
}

} // namespace
