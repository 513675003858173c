#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <functional>
#include <iterator>
#include <mutex>
#include <string>
#include <vector>

#include "dialog_user.h"
#include "support/files.h"
#include "sync/definition_parser.h"
#include "ui/dialog_host.h"
#include "ui/mirror_edit_dialog.h"
#include "ui/ui_ids.h"
#include "ui/ui_resources.h"

namespace {

const char kCaption[] = "ミラーリング定義を編集";
const int kFieldIds[] = {kIdMirrorFolder1, kIdMirrorFolder2, kIdMirrorFolder3};

// A field the user leaves as the dialog filled it.
const char kKeep[] = "\x01";

ExpectedBox createQuestion(const std::string& path) {
    return {"指定されたフォルダ \"" + path + "\" は存在しません。\r\n\r\n新規に作成しますか？",
            ExpectedBox::kQuestion,
            {IDYES, IDNO}};
}

ExpectedBox creationFailure(const std::string& path) {
    return {"フォルダ \"" + path + "\" の作成に失敗しました。", ExpectedBox::kNone, {IDOK}};
}

const ExpectedBox kInvalid = {"同期フォルダの定義を追加できませんでした。\r\n\r\n"
                              "指定されたフォルダパスが無効です。\r\n"
                              "存在するフォルダを２つ以上指定してください。\r\n",
                              ExpectedBox::kExclamation,
                              {IDOK}};

std::vector<std::string> fieldsOf(HWND dialog) {
    std::vector<std::string> fields;
    for (int id : kFieldIds) {
        fields.push_back(textOf(GetDlgItem(dialog, id)));
    }
    return fields;
}

TEST(DefinitionOfSelectionTest, TheFirstThreeFolderLinesUpToTheirCR) {
    struct Case {
        const char* text;
        std::vector<std::string> folders;
        bool withSubfolders;
    } const cases[] = {
        {"Sync.A\r\nSync.B\r\nSync.C\r\nSync.D\r\n", {"A", "B", "C"}, true},
        {"Sync.D:\\ソ\r\nSync.E:\\表", {"D:\\ソ"}, true},
        {"x SYNC.D:\\a\r\nmemo\r\nsync.E:\\b\r\n", {"D:\\a", "E:\\b"}, true},
        // The option line fills no field; it clears the box, wherever it stands.
        {"Sync.Option.NoSubDirectory\r\nSync.D:\\a\r\n", {"D:\\a"}, false},
        {"Sync.A\r\nSync.B\r\nSync.C\r\nSync.Option.NoSubDirectory\r\n", {"A", "B", "C"}, false},
        // Other options fill no field either, and only the exact option clears the box.
        {"Sync.Option.nosubdirectory\r\nSync.Option.NoSubDirectory \r\nSync.D:\\a\r\n",
         {"D:\\a"},
         true},
        {"Sync.\r\nSync.D:\\a\r\n", {"", "D:\\a"}, true},
        // The second byte of ゴ is "S": no "Sync." starts inside a character.
        {"ゴync.D:\\a\r\n", {}, true},
        {"", {}, true},
    };
    for (const Case& c : cases) {
        const SelectedDefinition selected = definitionOfSelection(c.text);
        EXPECT_EQ(selected.folders, c.folders) << support::utf8(c.text);
        EXPECT_EQ(selected.withSubfolders, c.withSubfolders) << support::utf8(c.text);
    }
}

TEST(ExclusionsOfSelectionTest, ExcludeLinesGoToThePatternsAndTheRestFillsTheFolders) {
    struct Case {
        const char* text;
        std::vector<std::string> patterns;
        std::string rest;
    } const cases[] = {
        {"Sync.Option.Exclude:~$*\r\nSync.D:\\a\r\nSync.Option.Exclude:写真\\原本\r\nSync.E:"
         "\\表\r\n"
         "Sync.Option.Exclude:cache\\\r\n",
         {"~$*", "写真\\原本", "cache\\"},
         "Sync.D:\\a\r\nSync.E:\\表\r\n"},
        {"memo sync.Option.Exclude:*.tmp\nSync.D:\\ソ\n", {"*.tmp"}, "Sync.D:\\ソ\n"},
        {"Sync.Option.Exclude:*.bak", {"*.bak"}, ""}, // a last line without its line end too
        {"Sync.Option.NoSubDirectory\r\nSync.Option.exclude:x\r\n",
         {},
         "Sync.Option.NoSubDirectory\r\nSync.Option.exclude:x\r\n"},
        // The second byte of ゴ is "S": no "Sync." starts inside a character.
        {"ゴync.Option.Exclude:x\r\n", {}, "ゴync.Option.Exclude:x\r\n"},
        {"", {}, ""},
    };
    for (const Case& c : cases) {
        const SelectedExclusions selected = exclusionsOfSelection(c.text);
        EXPECT_EQ(selected.patterns, c.patterns) << support::utf8(c.text);
        EXPECT_EQ(selected.rest, c.rest) << support::utf8(c.text);
    }
}

class MirrorEditTest : public DialogTest {
  protected:
    MirrorEditTest() {
        a_ = temp_.folder("ソース表");
        b_ = temp_.folder("バックアップ\\能力");
        c_ = temp_.folder("予定");
        d_ = temp_.folder("四つ目");
    }
    std::string a_, b_, c_, d_;
};

struct AddCase {
    const char* name;
    std::string before, selected, after; // the editor around its selection
    std::vector<std::string> opened;     // the three fields when the dialog opens
    std::vector<std::string> typed;      // what the user types into each (kKeep: nothing)
    bool clearCheckBox;
    std::vector<std::pair<ExpectedBox, int>> boxes; // each box and the button pressed
    bool staysOpen;                                 // the user then cancels
    std::string inserted;                           // empty: the editor stays as it was
    std::vector<std::string> existAfter;
    std::vector<std::string> missingAfter;
    bool openedUnchecked = false; // the selection turned the subfolders off
};

TEST_F(MirrorEditTest, TheTextHandedBack) {
    const std::string missing = temp_.at("新しい\\深い\\表");
    const std::string declined = temp_.at("断る表");
    const std::string trailing = temp_.at("後ろに区切り");
    const std::string file = temp_.file("ただのファイル.txt");
    const std::string underFile = file + "\\下";
    const std::string k = kKeep;
    const std::vector<std::string> none = {"", "", ""};

    const AddCase cases[] = {
        {"two folders with subfolders",
         "前\r\n",
         "",
         "後",
         none,
         {a_, b_, ""},
         false,
         {},
         false,
         "\r\nSync." + a_ + "\r\nSync." + b_ + "\r\n"},
        {"two folders without subfolders",
         "",
         "",
         "",
         none,
         {a_, "", b_},
         true,
         {},
         false,
         "\r\nSync.Option.NoSubDirectory\r\nSync." + a_ + "\r\nSync." + b_ + "\r\n"},
        {"three folders",
         "",
         "",
         "",
         none,
         {a_, b_, c_},
         false,
         {},
         false,
         "\r\nSync." + a_ + "\r\nSync." + b_ + "\r\nSync." + c_ + "\r\n"},
        {"a missing folder created with its parents on Yes",
         "",
         "",
         "",
         none,
         {a_, missing, ""},
         false,
         {{createQuestion(missing), IDYES}},
         false,
         "\r\nSync." + a_ + "\r\nSync." + missing + "\r\n",
         {missing}},
        {"a missing folder skipped on No",
         "",
         "",
         "",
         none,
         {a_, declined, b_},
         false,
         {{createQuestion(declined), IDNO}},
         false,
         "\r\nSync." + a_ + "\r\nSync." + b_ + "\r\n",
         {},
         {declined}},
        {"a folder that cannot be created is left out",
         "",
         "",
         "",
         none,
         {underFile, a_, b_},
         false,
         {{createQuestion(underFile), IDYES}, {creationFailure(underFile), IDOK}},
         false,
         "\r\nSync." + a_ + "\r\nSync." + b_ + "\r\n",
         {},
         {underFile}},
        {"one folder and a declined one are too few",
         "前\r\n",
         "Sync.D:\\古い\r\n",
         "",
         {"D:\\古い", "", ""},
         {a_, declined, ""},
         false,
         {{createQuestion(declined), IDNO}, {kInvalid, IDOK}},
         true,
         "",
         {},
         {declined}},
        {"trailing backslashes, as a run reads the lines; a drive root",
         "",
         "",
         "",
         none,
         {a_ + "\\", "D:\\", trailing + "\\"},
         false,
         {{createQuestion(trailing + "\\"), IDYES}},
         false,
         "\r\nSync." + a_ + "\\\r\nSync.D:\\\r\nSync." + trailing + "\\\r\n",
         {trailing}},
        {"cancel after opening with a selection",
         "前\r\n",
         "Sync." + a_ + "\r\nSync." + b_ + "\r\n",
         "後\r\n",
         {a_, b_, ""},
         {k, k, k},
         false,
         {},
         true,
         ""},
        {"four lines fill three fields and the fourth is lost",
         "前\r\n",
         "Sync." + a_ + "\r\nSync." + b_ + "\r\nSync." + c_ + "\r\nSync." + d_ + "\r\n",
         "後",
         {a_, b_, c_},
         {k, k, k},
         false,
         {},
         false,
         "\r\nSync." + a_ + "\r\nSync." + b_ + "\r\nSync." + c_ + "\r\n"},
        {"an option line clears the box and fills no field",
         "前\r\n",
         "Sync.Option.NoSubDirectory\r\nSync." + a_ + "\r\nSync." + b_ + "\r\n",
         "後",
         {a_, b_, ""},
         {k, k, k},
         false,
         {},
         false,
         "\r\nSync.Option.NoSubDirectory\r\nSync." + a_ + "\r\nSync." + b_ + "\r\n",
         {},
         {},
         true},
        {"a last line without CR is not taken; sync. in any case anywhere in its line",
         "",
         "メモ sync." + b_ + "\r\nSync." + c_,
         "",
         {b_, "", ""},
         {k, a_, k},
         false,
         {},
         false,
         "\r\nSync." + b_ + "\r\nSync." + a_ + "\r\n"},
    };

    ASSERT_NE(start("Sync.D:\r\n"), nullptr);
    HWND editor = control(kIdEditor);
    for (const AddCase& c : cases) {
        SCOPED_TRACE(c.name);
        selectInEditor(editor, c.before, c.selected, c.after);
        const std::size_t boxesBefore = boxes_.seen().size();
        for (const auto& box : c.boxes) {
            boxes_.answer(box.second);
        }

        std::string caption;
        std::vector<std::string> opened;
        bool checked = false;
        bool openAfterBoxes = false;
        bool exchangeEmptyWhileOpen = false;
        std::vector<std::string> fieldsAfterBoxes;
        runAsUser(kCmdAddMirrorDefinition, kCaption, [&](HWND dialog) {
            caption = textOf(dialog);
            opened = fieldsOf(dialog);
            HWND check = GetDlgItem(dialog, kIdMirrorSubfolders);
            checked = SendMessageA(check, BM_GETCHECK, 0, 0) == BST_CHECKED;
            for (int i = 0; i < 3; ++i) {
                if (c.typed[i] != kKeep) {
                    replaceText(GetDlgItem(dialog, kFieldIds[i]), c.typed[i]);
                }
            }
            if (c.clearCheckBox) {
                press(check);
                waitUntil([&] { return SendMessageA(check, BM_GETCHECK, 0, 0) == BST_UNCHECKED; });
            }
            if (c.staysOpen) {
                if (!c.boxes.empty()) {
                    press(GetDlgItem(dialog, kIdMirrorAdd));
                    waitUntil([&] { return boxes_.seen().size() >= boxesBefore + c.boxes.size(); });
                    // Back from the last box: the dialog is usable again.
                    waitUntil([&] { return IsWindowEnabled(dialog) != FALSE; });
                    Sleep(200);
                }
                openAfterBoxes = IsWindow(dialog) && IsWindowVisible(dialog);
                exchangeEmptyWhileOpen = exchangeText().empty();
                fieldsAfterBoxes = fieldsOf(dialog);
                press(GetDlgItem(dialog, kIdMirrorCancel));
            } else {
                press(GetDlgItem(dialog, kIdMirrorAdd));
            }
        });

        EXPECT_EQ(caption, kCaption);
        EXPECT_EQ(opened, c.opened);
        EXPECT_EQ(checked, !c.openedUnchecked);
        const std::vector<support::SeenBox> seen = boxes_.seen();
        ASSERT_EQ(seen.size(), boxesBefore + c.boxes.size());
        for (std::size_t i = 0; i < c.boxes.size(); ++i) {
            expectBox(seen[boxesBefore + i], c.boxes[i].first);
        }
        if (c.staysOpen) {
            EXPECT_TRUE(openAfterBoxes);
            EXPECT_TRUE(exchangeEmptyWhileOpen);
            std::vector<std::string> typedFields = c.typed;
            for (int i = 0; i < 3; ++i) {
                if (typedFields[i] == kKeep) {
                    typedFields[i] = c.opened[i];
                }
            }
            EXPECT_EQ(fieldsAfterBoxes, typedFields);
        }
        if (!c.inserted.empty()) {
            // What the dialog hands back is one definition that a run mirrors.
            EXPECT_EQ(countSyncDefinitions(c.inserted), 1);
        }
        const std::string expected =
            c.before + (c.inserted.empty() ? c.selected : c.inserted) + c.after;
        EXPECT_EQ(text(kIdEditor), expected) << support::utf8(text(kIdEditor));
        for (const std::string& folder : c.existAfter) {
            EXPECT_TRUE(support::pathExists(folder)) << support::utf8(folder);
        }
        for (const std::string& folder : c.missingAfter) {
            EXPECT_FALSE(support::pathExists(folder)) << support::utf8(folder);
        }
    }
}

// The exclusions field: filled from a selected definition, by the button, or typed; its
// patterns become the definition's exclusion lines, which a run reads back unchanged.
TEST_F(MirrorEditTest, TheExclusionsOfADefinition) {
    const std::string missing = temp_.at("まだ無い");
    const std::string usual = "~$*\r\nThumbs.db\r\ndesktop.ini\r\n*.tmp";
    const ExpectedBox unusable = {
        "「a:b」は同期しないものの指定に使えません。\r\n\r\n"
        "名前に使えない文字（: \" < > | /）、空の名前（\\\\）、「.」「..」は書けません。",
        ExpectedBox::kExclamation,
        {IDOK}};
    struct Case {
        const char* name;
        std::string selected;
        std::string opened; // the exclusions field when the dialog opens
        const char* typed;  // typed into it, Enter as CR (null: nothing)
        int usualPresses;   // presses of the button that fills in the usual ones
        std::string shown;  // the field before the definition is added
        std::vector<std::string> folders;
        bool clearCheckBox;
        bool refused; // the add button shows `unusable` and the dialog stays open
        std::string inserted;
        std::vector<std::string> patterns; // what a run reads from the inserted lines
    } const cases[] = {
        {"a selected definition fills the field; its lines come back",
         "Sync.Option.Exclude:~$*\r\nSync." + a_ + "\r\nSync.Option.Exclude:写真\\原本\r\nSync." +
             b_ + "\r\nSync.Option.Exclude:cache\\\r\n",
         "~$*\r\n写真\\原本\r\ncache\\",
         nullptr,
         0,
         "~$*\r\n写真\\原本\r\ncache\\",
         {kKeep, kKeep, kKeep},
         false,
         false,
         "\r\nSync.Option.Exclude:~$*\r\nSync.Option.Exclude:写真\\原本\r\nSync.Option.Exclude:"
         "cache\\\r\n"
         "Sync." +
             a_ + "\r\nSync." + b_ + "\r\n",
         {"~$*", "写真\\原本", "cache\\"}},
        {"the usual ones, once however often the button is pressed",
         "",
         "",
         nullptr,
         2,
         usual,
         {a_, b_, ""},
         false,
         false,
         "\r\nSync.Option.Exclude:~$*\r\nSync.Option.Exclude:Thumbs.db\r\n"
         "Sync.Option.Exclude:desktop.ini\r\nSync.Option.Exclude:*.tmp\r\nSync." +
             a_ + "\r\nSync." + b_ + "\r\n",
         {"~$*", "Thumbs.db", "desktop.ini", "*.tmp"}},
        {"the usual ones after typed ones, none twice; blanks and empty lines dropped",
         "",
         "",
         " thumbs.db \r\r*.bak",
         1,
         " thumbs.db \r\n\r\n*.bak\r\n~$*\r\ndesktop.ini\r\n*.tmp",
         {a_, b_, ""},
         true,
         false,
         "\r\nSync.Option.NoSubDirectory\r\nSync.Option.Exclude:thumbs.db\r\nSync.Option.Exclude:*."
         "bak\r\n"
         "Sync.Option.Exclude:~$*\r\nSync.Option.Exclude:desktop.ini\r\nSync.Option.Exclude:*."
         "tmp\r\n"
         "Sync." +
             a_ + "\r\nSync." + b_ + "\r\n",
         {"thumbs.db", "*.bak", "~$*", "desktop.ini", "*.tmp"}},
        {"a pattern that cannot be used is named before any folder is created",
         "",
         "",
         "*.bak\ra:b",
         0,
         "*.bak\r\na:b",
         {a_, missing, ""},
         false,
         true,
         "",
         {}},
    };

    ASSERT_NE(start("Sync.D:\r\n"), nullptr);
    HWND editor = control(kIdEditor);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        selectInEditor(editor, "前\r\n", c.selected, "後");
        const std::size_t boxesBefore = boxes_.seen().size();
        if (c.refused) {
            boxes_.answer(IDOK);
        }
        std::string opened, shown;
        bool openAfterBox = false;
        runAsUser(kCmdAddMirrorDefinition, kCaption, [&](HWND dialog) {
            HWND field = GetDlgItem(dialog, kIdMirrorExclusions);
            opened = textOf(field);
            if (c.typed != nullptr) {
                replaceText(field, c.typed);
            }
            for (int i = 0; i < c.usualPresses; ++i) {
                const std::string before = textOf(field);
                press(GetDlgItem(dialog, kIdMirrorUsualExclusions));
                // The press is handled when the field has its new text, or after a moment
                // when there is nothing to add.
                waitUntil([&] { return textOf(field) != before; }, i == 0 ? 20000 : 1000);
            }
            shown = textOf(field);
            for (int i = 0; i < 3; ++i) {
                if (c.folders[i] != kKeep) {
                    replaceText(GetDlgItem(dialog, kFieldIds[i]), c.folders[i]);
                }
            }
            if (c.clearCheckBox) {
                HWND check = GetDlgItem(dialog, kIdMirrorSubfolders);
                press(check);
                waitUntil([&] { return SendMessageA(check, BM_GETCHECK, 0, 0) == BST_UNCHECKED; });
            }
            press(GetDlgItem(dialog, kIdMirrorAdd));
            if (c.refused) {
                waitUntil([&] { return boxes_.seen().size() > boxesBefore; });
                waitUntil([&] { return IsWindowEnabled(dialog) != FALSE; });
                Sleep(200);
                openAfterBox = IsWindow(dialog) && IsWindowVisible(dialog);
                press(GetDlgItem(dialog, kIdMirrorCancel));
            }
        });

        EXPECT_EQ(support::utf8(opened), support::utf8(c.opened));
        EXPECT_EQ(support::utf8(shown), support::utf8(c.shown));
        const std::vector<support::SeenBox> seen = boxes_.seen();
        if (c.refused) {
            ASSERT_EQ(seen.size(), boxesBefore + 1);
            expectBox(seen.back(), unusable);
            EXPECT_TRUE(openAfterBox);
            EXPECT_FALSE(support::pathExists(missing));
            EXPECT_EQ(text(kIdEditor), "前\r\n" + c.selected + "後");
            continue;
        }
        EXPECT_EQ(seen.size(), boxesBefore);
        EXPECT_EQ(support::utf8(text(kIdEditor)), support::utf8("前\r\n" + c.inserted + "後"));
        // Read back as a run loads it: the folders and the same patterns.
        std::string copy = c.inserted;
        PassContext context;
        StringList parsed;
        int count = 0;
        ASSERT_GT(parseSyncBlock(context, &copy[0], nullptr, kParseLoading, count, parsed), 0);
        EXPECT_EQ(count, 2);
        EXPECT_EQ(context.exclusions.patterns(), c.patterns);
        EXPECT_TRUE(context.exclusions.unusable().empty());
        EXPECT_EQ(context.withSubfolders, !c.clearCheckBox);
    }
}

// The dialog's own result: 1 with its lines handed back, 0 for every way of leaving it
// without them, and then the exchange text is empty even though it came with a selection.
TEST_F(MirrorEditTest, ResultsOfEachWayOut) {
    struct Way {
        const char* name;
        std::function<void(HWND dialog)> act;
        int result;
    } const ways[] = {
        {"add",
         [&](HWND dialog) {
             replaceText(GetDlgItem(dialog, kIdMirrorFolder1), a_);
             replaceText(GetDlgItem(dialog, kIdMirrorFolder2), b_);
             press(GetDlgItem(dialog, kIdMirrorAdd));
         },
         1},
        {"cancel button", [](HWND dialog) { press(GetDlgItem(dialog, kIdMirrorCancel)); }, 0},
        {"close box", [](HWND dialog) { PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); }, 0},
        {"Esc key",
         [](HWND dialog) {
             HWND field = GetDlgItem(dialog, kIdMirrorFolder1);
             PostMessageA(field, WM_KEYDOWN, VK_ESCAPE, 1);
         },
         0},
        {"Enter key adds",
         [&](HWND dialog) {
             HWND field = GetDlgItem(dialog, kIdMirrorFolder3);
             replaceText(GetDlgItem(dialog, kIdMirrorFolder1), c_);
             replaceText(field, d_);
             PostMessageA(field, WM_KEYDOWN, VK_RETURN, 1);
         },
         1},
    };
    ASSERT_NE(start("Sync.D:\r\n"), nullptr);
    for (const Way& way : ways) {
        SCOPED_TRACE(way.name);
        exchangeText() = "Sync." + a_ + "\r\nSync." + b_ + "\r\n";
        bool ownerDisabled = false;
        const int result = runDialogAsUser("MirrorEdit", kCaption, [&](HWND dialog) {
            ownerDisabled = !IsWindowEnabled(window());
            way.act(dialog);
        });
        EXPECT_EQ(result, way.result);
        EXPECT_TRUE(ownerDisabled);
        EXPECT_TRUE(IsWindowEnabled(window()));
        if (way.result == 1) {
            EXPECT_EQ(exchangeText().substr(0, 7), "\r\nSync.");
        } else {
            EXPECT_EQ(exchangeText(), "");
        }
    }
    EXPECT_TRUE(boxes_.seen().empty());
}

TEST_F(MirrorEditTest, DroppedItems) {
    const std::string file = temp_.file("落とす.txt");
    struct DropCase {
        const char* name;
        std::vector<std::string> before;
        std::vector<std::string> dropped;
        std::vector<std::string> after;
    } const cases[] = {
        {"a folder goes into the first field", {"", "", ""}, {a_}, {a_, "", ""}},
        {"a file is ignored", {"", "", ""}, {file}, {"", "", ""}},
        {"the first empty field takes it", {"x", "", "y"}, {b_}, {"x", b_, "y"}},
        {"only the first of several items counts", {"", "", ""}, {c_, a_, b_}, {c_, "", ""}},
        {"a file first hides the folders after it", {"", "", ""}, {file, a_}, {"", "", ""}},
        {"all fields full", {a_, b_, c_}, {d_}, {a_, b_, c_}},
        {"a drive root names the drive", {a_, "", ""}, {"D:\\"}, {a_, "D:\\", ""}},
        {"a missing folder is ignored", {"", "", ""}, {temp_.at("無い")}, {"", "", ""}},
    };
    ASSERT_NE(start("Sync.D:\r\n"), nullptr);
    std::vector<std::vector<std::string>> results;
    std::vector<bool> released;
    runAsUser(kCmdAddMirrorDefinition, kCaption, [&](HWND dialog) {
        for (const DropCase& c : cases) {
            for (int i = 0; i < 3; ++i) {
                replaceText(GetDlgItem(dialog, kFieldIds[i]), c.before[i]);
            }
            HDROP drop = makeDrop(c.dropped);
            SendMessageA(dialog, WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0);
            results.push_back(fieldsOf(dialog));
            // The receiver gives the block back to the shell, which frees it.
            released.push_back(GlobalSize(drop) == 0);
        }
        press(GetDlgItem(dialog, kIdMirrorCancel));
    });
    ASSERT_EQ(results.size(), std::size(cases));
    for (std::size_t i = 0; i < results.size(); ++i) {
        SCOPED_TRACE(cases[i].name);
        EXPECT_EQ(results[i], cases[i].after);
        EXPECT_TRUE(released[i]);
    }
}

const char kBrowserCaption[] = "フォルダーの参照";

// The folder selected in the folder browser's tree, by its display name.
std::string selectedInBrowser(HWND browser) {
    HWND tree = FindWindowExA(browser, nullptr, "SysTreeView32", nullptr);
    HTREEITEM item =
        reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
    char name[MAX_PATH] = {};
    TVITEMA query = {};
    query.mask = TVIF_TEXT;
    query.hItem = item;
    query.pszText = name;
    query.cchTextMax = sizeof name;
    if (item == nullptr || !SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&query))) {
        return std::string();
    }
    return name;
}

// What each folder browser of the test's thread had selected when its initialisation was
// over. The browser tells the dialog "initialised" while it handles its own WM_INITDIALOG,
// and the dialog selects the start folder right then; so the selection is looked at on the
// browser's thread the moment that message returns, not by a watcher that guesses how long
// a busy machine needs.
class BrowserOpenings {
  public:
    BrowserOpenings()
        : hook_(SetWindowsHookExA(WH_CALLWNDPROCRET, &BrowserOpenings::afterMessage, nullptr,
                                  GetCurrentThreadId())) {
        current_ = this;
    }
    ~BrowserOpenings() {
        UnhookWindowsHookEx(hook_);
        current_ = nullptr;
    }
    BrowserOpenings(const BrowserOpenings&) = delete;
    BrowserOpenings& operator=(const BrowserOpenings&) = delete;

    bool hooked() const { return hook_ != nullptr; }

    // The selection of the browser opened as the nth (counted from 1), once it has
    // opened; "(not initialised)" when it did not within 20 s.
    std::string selectionAtOpening(std::size_t n) {
        if (!waitUntil([&] { return count_.load() >= n; })) {
            return "(not initialised)";
        }
        std::lock_guard<std::mutex> lock(mutex_);
        return selections_[n - 1];
    }

  private:
    static LRESULT CALLBACK afterMessage(int code, WPARAM wParam, LPARAM lParam) {
        const CWPRETSTRUCT* sent = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
        if (code == HC_ACTION && current_ != nullptr && sent->message == WM_INITDIALOG &&
            textOf(sent->hwnd) == kBrowserCaption) {
            std::lock_guard<std::mutex> lock(current_->mutex_);
            current_->selections_.push_back(selectedInBrowser(sent->hwnd));
            ++current_->count_;
        }
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }

    static BrowserOpenings* current_;
    HHOOK hook_;
    std::mutex mutex_;
    std::vector<std::string> selections_;
    std::atomic<std::size_t> count_{0};
};

BrowserOpenings* BrowserOpenings::current_ = nullptr;

TEST_F(MirrorEditTest, BrowsingStartsAtTheFieldsFolder) {
    boxes_.ignoreCaption(kBrowserCaption);
    ASSERT_NE(start("Sync.D:\r\n"), nullptr);
    BrowserOpenings openings;
    ASSERT_TRUE(openings.hooked());
    struct Seen {
        std::string title;
        std::string selected;
        std::string field;
    } chosen, cancelled, fromMissing;
    const std::string missing = temp_.at("無いフォルダ");

    runAsUser(kCmdAddMirrorDefinition, kCaption, [&](HWND dialog) {
        // The field names its folder with a trailing backslash; the browser gives it back
        // in its own form, so the field shows whether the choice arrived.
        HWND first = GetDlgItem(dialog, kIdMirrorFolder1);
        replaceText(first, a_ + "\\");
        press(GetDlgItem(dialog, kIdMirrorBrowse1));
        if (HWND browser = waitForOwnWindow("#32770", kBrowserCaption)) {
            chosen.selected = openings.selectionAtOpening(1);
            for (HWND child = GetWindow(browser, GW_CHILD); child != nullptr;
                 child = GetWindow(child, GW_HWNDNEXT)) {
                if (textOf(child) == "同期するフォルダを選んでください") {
                    chosen.title = textOf(child);
                }
            }
            press(GetDlgItem(browser, IDOK));
            waitUntil([&] { return !IsWindow(browser); });
        }
        waitUntil([&] { return textOf(first) == a_; });
        chosen.field = textOf(first);

        HWND second = GetDlgItem(dialog, kIdMirrorFolder2);
        replaceText(second, b_);
        press(GetDlgItem(dialog, kIdMirrorBrowse2));
        if (HWND browser = waitForOwnWindow("#32770", kBrowserCaption)) {
            cancelled.selected = openings.selectionAtOpening(2);
            press(GetDlgItem(browser, IDCANCEL));
            waitUntil([&] { return !IsWindow(browser); });
        }
        cancelled.field = textOf(second);

        HWND third = GetDlgItem(dialog, kIdMirrorFolder3);
        replaceText(third, missing);
        press(GetDlgItem(dialog, kIdMirrorBrowse3));
        if (HWND browser = waitForOwnWindow("#32770", kBrowserCaption)) {
            fromMissing.selected = openings.selectionAtOpening(3);
            press(GetDlgItem(browser, IDCANCEL));
            waitUntil([&] { return !IsWindow(browser); });
        }
        fromMissing.field = textOf(third);
        press(GetDlgItem(dialog, kIdMirrorCancel));
    });

    EXPECT_EQ(chosen.title, "同期するフォルダを選んでください");
    EXPECT_EQ(chosen.selected, "ソース表");
    EXPECT_EQ(chosen.field, a_);
    EXPECT_EQ(cancelled.selected, "能力");
    EXPECT_EQ(cancelled.field, b_);
    // Opened on a folder that does not exist, the browser starts where it always starts.
    EXPECT_NE(fromMissing.selected, "(not initialised)");
    EXPECT_NE(fromMissing.selected, "無いフォルダ");
    EXPECT_EQ(fromMissing.field, missing);
    EXPECT_TRUE(boxes_.seen().empty());
}

TEST_F(MirrorEditTest, ControlsAndTheirStart) {
    ASSERT_NE(start("Sync.D:\r\n"), nullptr);
    const std::vector<ControlExpectation> expected = {
        {kIdMirrorGroup, "Button", "同期するフォルダ", 14, 17, 445, 152},
        {kIdMirrorFolder1, "Edit", "", 27, 39, 368, 22},
        {kIdMirrorFolder2, "Edit", "", 27, 74, 368, 22},
        {kIdMirrorFolder3, "Edit", "", 27, 107, 369, 22},
        {kIdMirrorSubfolders, "Button", "サブフォルダも同期する", 26, 140, 153, 18},
        {kIdMirrorByLabel, "Button", "取り外せるドライブはラベルで指定する", 200, 140, 250, 18},
        {kIdMirrorBrowse1, "Button", "参照", 397, 40, 48, 20},
        {kIdMirrorBrowse2, "Button", "参照", 397, 75, 48, 20},
        {kIdMirrorBrowse3, "Button", "参照", 397, 107, 48, 20},
        {kIdMirrorExclusionGroup, "Button", "同期しないもの（1行に1つ）", 14, 177, 445, 113},
        {kIdMirrorExclusions, "Edit", "", 27, 197, 290, 82},
        {kIdMirrorUsualExclusions, "Button", "よくあるものを入れる", 325, 197, 120, 24},
        {kIdMirrorExclusionHint, "Static",
         "「*」「?」が使えます。\r\n末尾が「\\」ならフォルダだけ。", 325, 229, 125, 48},
        {kIdMirrorAdd, "Button", "定義を追加する", 90, 308, 104, 25},
        {kIdMirrorCancel, "Button", "キャンセル", 258, 309, 103, 23},
    };
    std::vector<std::string> mismatches;
    SIZE size = {};
    bool acceptsFiles = false;
    bool checkBox = false;
    bool focusInFirstField = false;
    bool labelBox = false;
    bool labelChecked = false;
    bool labelEnabled = true;
    runAsUser(kCmdAddMirrorDefinition, kCaption, [&](HWND dialog) {
        mismatches = controlMismatches(dialog, expected, dialogFont(FontSlot::MirrorEdit));
        HWND byLabel = GetDlgItem(dialog, kIdMirrorByLabel);
        labelBox = (GetWindowLongA(byLabel, GWL_STYLE) & BS_TYPEMASK) == BS_AUTOCHECKBOX;
        labelChecked = SendMessageA(byLabel, BM_GETCHECK, 0, 0) == BST_CHECKED;
        labelEnabled = IsWindowEnabled(byLabel) != FALSE;
        RECT frame;
        GetWindowRect(dialog, &frame);
        size = {frame.right - frame.left, frame.bottom - frame.top};
        acceptsFiles = (GetWindowLongA(dialog, GWL_EXSTYLE) & WS_EX_ACCEPTFILES) != 0;
        checkBox = (GetWindowLongA(GetDlgItem(dialog, kIdMirrorSubfolders), GWL_STYLE) &
                    BS_TYPEMASK) == BS_AUTOCHECKBOX;
        GUITHREADINFO gui = {sizeof gui};
        GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &gui);
        focusInFirstField = gui.hwndFocus == GetDlgItem(dialog, kIdMirrorFolder1);
        press(GetDlgItem(dialog, kIdMirrorCancel));
    });
    EXPECT_TRUE(mismatches.empty()) << testing::PrintToString(mismatches);
    EXPECT_EQ(size.cx, 480);
    EXPECT_EQ(size.cy, 400);
    EXPECT_TRUE(acceptsFiles);
    EXPECT_TRUE(checkBox);
    EXPECT_TRUE(focusInFirstField);
    // On by default, and of no use while no field names a folder on a removable drive.
    EXPECT_TRUE(labelBox);
    EXPECT_TRUE(labelChecked);
    EXPECT_FALSE(labelEnabled);
    EXPECT_EQ(text(kIdEditor), "Sync.D:\r\n");
}

// A folder on a removable drive with a label (U:, "USBソ表") is named by that label while the
// check box is on, so that the line finds the stick under another letter; a selected line
// in that form fills its field with it. Folders on fixed drives keep their paths, labelled
// or not, and the box is only enabled while some field names a folder on such a drive.
TEST_F(MirrorEditTest, FoldersOnAStickAreNamedByItsLabel) {
    support::TempFolder stick(support::kDriveU);
    support::TempFolder fixed(support::kDriveL);
    const std::string onStick = stick.folder("仕事\\資料ソ");
    const std::string onFixed = fixed.folder("表");
    const std::string below = onStick.substr(2); // "\t…\仕事\資料ソ"
    const std::string labelled = "[USBソ表]" + below;
    const std::string missing = stick.at("新しい表");
    const std::string k = kKeep;
    const ExpectedBox notFound = {
        "フォルダ \"[ない]\\x\" のラベルのドライブが見つからないか、"
        "同じラベルのドライブが複数あるため、このフォルダは定義に入れません。",
        ExpectedBox::kExclamation,
        {IDOK}};
    const ExpectedBox twoDrives = {
        "フォルダ \"[work表]\" のラベルのドライブが見つからないか、"
        "同じラベルのドライブが複数あるため、このフォルダは定義に入れません。",
        ExpectedBox::kExclamation,
        {IDOK}};
    struct LabelCase {
        const char* name;
        std::string selected;
        std::vector<std::string> opened;
        std::vector<std::string> typed;
        bool clearLabelBox;
        bool boxEnabled; // once the fields are filled in
        std::vector<std::pair<ExpectedBox, int>> boxes;
        std::string inserted;
    } const cases[] = {
        {"a folder on the stick is named by the label",
         "",
         {"", "", ""},
         {onStick, a_, ""},
         false,
         true,
         {},
         "\r\nSync." + labelled + "\r\nSync." + a_ + "\r\n"},
        {"with the box cleared it keeps its path",
         "",
         {"", "", ""},
         {onStick + "\\", a_, ""},
         true,
         true,
         {},
         "\r\nSync." + onStick + "\\\r\nSync." + a_ + "\r\n"},
        {"the stick's root",
         "",
         {"", "", ""},
         {"U:\\", a_, ""},
         false,
         true,
         {},
         "\r\nSync.[USBソ表]\r\nSync." + a_ + "\r\n"},
        {"a labelled fixed drive keeps its path",
         "",
         {"", "", ""},
         {onFixed, a_, ""},
         false,
         false,
         {},
         "\r\nSync." + onFixed + "\r\nSync." + a_ + "\r\n"},
        {"a selected line in label form fills its field and stays so",
         "Sync.[usbソ表]" + below + "\r\nSync." + b_ + "\r\n",
         {"[usbソ表]" + below, b_, ""},
         {k, k, k},
         false,
         true,
         {},
         "\r\nSync." + labelled + "\r\nSync." + b_ + "\r\n"},
        {"cleared, a line in label form becomes the folder's path",
         "Sync.[usbソ表]" + below + "\r\nSync." + b_ + "\r\n",
         {"[usbソ表]" + below, b_, ""},
         {k, k, k},
         true,
         true,
         {},
         "\r\nSync." + onStick + "\r\nSync." + b_ + "\r\n"},
        {"a missing folder below a label is made on that drive",
         "",
         {"", "", ""},
         {"[USBソ表]" + missing.substr(2), a_, ""},
         false,
         true,
         {{createQuestion("[USBソ表]" + missing.substr(2)), IDYES}},
         "\r\nSync.[USBソ表]" + missing.substr(2) + "\r\nSync." + a_ + "\r\n"},
        {"a label no drive carries is left out",
         "",
         {"", "", ""},
         {"[ない]\\x", a_, b_},
         false,
         true,
         {{notFound, IDOK}},
         "\r\nSync." + a_ + "\r\nSync." + b_ + "\r\n"},
        {"a label two drives carry is left out",
         "",
         {"", "", ""},
         {"[work表]", a_, b_},
         false,
         true,
         {{twoDrives, IDOK}},
         "\r\nSync." + a_ + "\r\nSync." + b_ + "\r\n"},
    };

    ASSERT_NE(start("Sync.D:\r\n"), nullptr);
    HWND editor = control(kIdEditor);
    for (const LabelCase& c : cases) {
        SCOPED_TRACE(c.name);
        selectInEditor(editor, "", c.selected, "");
        const std::size_t boxesBefore = boxes_.seen().size();
        for (const auto& box : c.boxes) {
            boxes_.answer(box.second);
        }
        std::vector<std::string> opened;
        bool enabled = false;
        runAsUser(kCmdAddMirrorDefinition, kCaption, [&](HWND dialog) {
            opened = fieldsOf(dialog);
            for (int i = 0; i < 3; ++i) {
                if (c.typed[i] != kKeep) {
                    replaceText(GetDlgItem(dialog, kFieldIds[i]), c.typed[i]);
                }
            }
            HWND byLabel = GetDlgItem(dialog, kIdMirrorByLabel);
            waitUntil([&] { return (IsWindowEnabled(byLabel) != FALSE) == c.boxEnabled; }, 5000);
            enabled = IsWindowEnabled(byLabel) != FALSE;
            if (c.clearLabelBox) {
                press(byLabel);
                waitUntil(
                    [&] { return SendMessageA(byLabel, BM_GETCHECK, 0, 0) == BST_UNCHECKED; });
            }
            press(GetDlgItem(dialog, kIdMirrorAdd));
        });
        EXPECT_EQ(opened, c.opened);
        EXPECT_EQ(enabled, c.boxEnabled);
        const std::vector<support::SeenBox> seen = boxes_.seen();
        ASSERT_EQ(seen.size(), boxesBefore + c.boxes.size());
        for (std::size_t i = 0; i < c.boxes.size(); ++i) {
            expectBox(seen[boxesBefore + i], c.boxes[i].first);
        }
        EXPECT_EQ(support::utf8(text(kIdEditor)), support::utf8(c.inserted));
        EXPECT_EQ(countSyncDefinitions(c.inserted), 1);
    }
    EXPECT_TRUE(support::pathExists(missing));
}

} // namespace
