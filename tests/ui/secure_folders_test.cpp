#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "../secure/secure_fixture.h"
#include "secure_window_fixture.h"
#include "support/files.h"
#include "support/unix_access.h"
#include "ui/dialog_controls.h"
#include "ui/secure_folders_dialog.h"
#include "ui/secure_prog_window.h"
#include "ui/secure_state.h"
#include "ui/ui_ids.h"
#include "ui/ui_resources.h"

namespace {

using securetest::treeState;
using securetest::TreeState;

const char kLoading[] = "読み込み中…";
const char kPasswordEmpty[] = "パスワードが入力されていません。";
const char kPasswordsDiffer[] = "パスワードが確認用と一致しません。";
const char kKeyFileInside[] = "キーファイルを保護するフォルダの中に置くことはできません。";

// What happened, for the message of a failed wait.
std::string describe(const std::vector<std::string>& events,
                     const std::vector<support::SeenBox>& boxes) {
    std::string text = "events:";
    for (const std::string& event : events) {
        text += " [" + event + "]";
    }
    for (const support::SeenBox& box : boxes) {
        text += "\nbox: " + support::utf8(box.caption) + " / " + support::utf8(box.text);
    }
    return text;
}

// A box given no caption of its own shows the system's word for an error.
const char kSystemCaption[] = "エラー";

TEST_F(SecureWindowTest, NothingEverProtectedOpensEmptyAndClosesQuietly) {
    ASSERT_NE(start(""), nullptr);
    const std::vector<ControlExpectation> controls = {
        {kIdFolderList, "Edit", nullptr, 11, 47, 453, 83},
        {kIdFoldersOk, "Button", "OK", 348, 230, 110, 24},
        {kIdPassword, "Edit", "", 48, 210, 132, 20},
        {kIdKeepKey, "Button", "解除キーを変更しない", 27, 164, 139, 15},
        {kIdKeyByPassword, "Button", "解除キーをパスワードで設定／変更する", 27, 190, 232, 15},
        {kIdKeyByFile, "Button", "解除キーをファイルで設定／変更する", 27, 263, 242, 15},
        {kIdBrowseKeyFile, "Button", "参照", 279, 282, 40, 22},
        {kIdInstructions, "Static", nullptr, 16, 6, 447, 38},
        {kIdPasswordAgain, "Edit", "", 48, 238, 132, 20},
        {kIdKeyFile, "Edit", "", 48, 283, 227, 22},
        {kIdResetList, "Button", "リセット", 348, 275, 110, 24},
        {kIdKeyGroup, "Button", "解除キーの設定", 12, 141, 315, 177},
        {kIdHideFolders, "Button", "保護フォルダを隠す", 30, 345, 186, 20},
        {kIdFormGroup, "Button", "保護形式", 13, 325, 312, 50},
    };
    // The button type of each button.
    struct Kind {
        int id;
        LONG kind;
    } const kinds[] = {
        {kIdFoldersOk, BS_PUSHBUTTON},
        {kIdKeepKey, BS_AUTORADIOBUTTON},
        {kIdKeyByPassword, BS_AUTORADIOBUTTON},
        {kIdKeyByFile, BS_AUTORADIOBUTTON},
        {kIdBrowseKeyFile, BS_PUSHBUTTON},
        {kIdResetList, BS_PUSHBUTTON},
        {kIdKeyGroup, BS_GROUPBOX},
        {kIdHideFolders, BS_AUTOCHECKBOX},
        {kIdFormGroup, BS_GROUPBOX},
    };
    bool stayedBeforeLoad = false;
    std::string statusWhileLoading;
    UserScript script;
    script.then(
        "the dialog opens", [] { return foldersDialog() != nullptr; },
        [&] {
            HWND dialog = foldersDialog();
            RECT outer;
            GetWindowRect(dialog, &outer);
            EXPECT_EQ(outer.right - outer.left, 480);
            EXPECT_EQ(outer.bottom - outer.top, 420);
            EXPECT_NE(GetWindowLongA(dialog, GWL_STYLE) & WS_SYSMENU, 0);
            const LONG extended = GetWindowLongA(dialog, GWL_EXSTYLE);
            EXPECT_NE(extended & WS_EX_ACCEPTFILES, 0);
            EXPECT_NE(extended & WS_EX_CONTROLPARENT, 0);
            // Created in the order of the table, none starting a group of its own.
            EXPECT_EQ(controlMismatches(dialog, controls, dialogFont(FontSlot::SecureFlds)),
                      std::vector<std::string>{});
            for (const ControlExpectation& control : controls) {
                EXPECT_EQ(GetWindowLongA(itemOf(control.id), GWL_STYLE) & WS_GROUP, 0)
                    << control.id;
            }
            for (const Kind& button : kinds) {
                EXPECT_EQ(GetWindowLongA(itemOf(button.id), GWL_STYLE) & BS_TYPEMASK, button.kind)
                    << button.id;
            }
            EXPECT_NE(GetWindowLongA(itemOf(kIdPassword), GWL_STYLE) & ES_PASSWORD, 0);
            EXPECT_NE(GetWindowLongA(itemOf(kIdPasswordAgain), GWL_STYLE) & ES_PASSWORD, 0);
            EXPECT_NE(GetWindowLongA(itemOf(kIdFolderList), GWL_STYLE) & ES_MULTILINE, 0);
            EXPECT_EQ(windowText(itemOf(kIdInstructions)),
                      "隠し保管場所に移して保護するフォルダをフルパスで一行ずつ入力するか、\r\n"
                      "もしくはドラッグ＆ドロップで追加してください。\r\n"
                      "※Syncoravel の格納先と同じパーティションに限ります。\r\n");
            EXPECT_EQ(listText(), kLoading);
            // Before the load nothing is released yet: a close request is ignored.
            SendMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
            stayedBeforeLoad = IsWindow(dialog) && listText() == kLoading;
        });
    script.then(
        "the release window opens", [] { return findDialog(kProgCaption) != nullptr; },
        [&] {
            statusWhileLoading = windowText(GetDlgItem(findDialog(kProgCaption), kIdSecureStatus));
        });
    script.then("the list is loaded", &loadedAndIdle, [&] {
        EXPECT_FALSE(IsWindowEnabled(itemOf(kIdKeepKey)));
        EXPECT_FALSE(checkedBox(itemOf(kIdKeepKey)));
        EXPECT_TRUE(checkedBox(itemOf(kIdKeyByPassword)));
        EXPECT_FALSE(checkedBox(itemOf(kIdKeyByFile)));
        EXPECT_FALSE(checkedBox(itemOf(kIdHideFolders)));
        EXPECT_EQ(listText(), "");
        pressCloseBox(foldersDialog());
    });
    menu(kCmdSecureArea);
    ASSERT_TRUE(play(script)) << script.waitingFor();
    EXPECT_TRUE(stayedBeforeLoad);
    EXPECT_EQ(statusWhileLoading, "保護領域を解除中…");
    EXPECT_EQ(events(), (std::vector<std::string>{"SecureFlds", "SecureProg 1", "SecureProg end",
                                                  "SecureFlds end"}));
    EXPECT_TRUE(boxes_.seen().empty());
    EXPECT_TRUE(settingsFolders().empty());
    EXPECT_EQ(secureSetting("Type"), "(none)");
    EXPECT_TRUE(IsWindowEnabled(window()));
}

// Paths a row of the table works with.
struct Paths {
    std::string protectedFolder; // on the program's drive, with files
    std::string otherDrive;      // a folder on E:
    std::string spareFolder;     // another folder on the program's drive
    std::string keyFile;
    std::string storeFolder;
    // Protects folders through the engine under a key, as another session would.
    std::function<int(const std::string& folder, const std::string& key)> protect;
};

enum class Area { Nothing, Password, ListedOnly };
enum class Key { Keep, Password, KeyFile, NoneChecked };

struct ExpectedBox {
    std::string caption;
    std::string text;
    std::vector<int> buttons;
    bool informationIcon;
    int answer;
};

struct ApplyCase {
    const char* name;
    Area area;
    const char* typedAtPrompt;
    std::function<std::string(const Paths&)> list; // null: the list as loaded
    Key key;
    const char* password;
    const char* again;
    std::function<std::string(const Paths&)> keyFile;
    // Runs right before OK is pressed; what it returns lives until the apply is over.
    std::function<std::shared_ptr<void>(const Paths&)> beforeApply;
    std::function<std::vector<ExpectedBox>(const Paths&)> boxes;
    bool endsAtLoading;
    bool dialogStays;
    bool sectionEmptyAfter;
    bool areaSetAfter;
    bool folderStoredAfter;
};

ExpectedBox plainBox(const std::string& text) {
    return ExpectedBox{kSystemCaption, text, {IDOK}, false, IDOK};
}

// Every code the user sees comes with a sentence that says what it means.
std::string failedText(int code) {
    const char* sentence = "";
    switch (code) {
    case 2:
        sentence = "解除キーが使えません。パスワードが空か「<」「>」や改行を含むか、"
                   "キーファイルが見つからないか、保護するフォルダの中にあります。";
        break;
    case 5:
        sentence = "ドライブ全体、このプログラムのフォルダとそれを含むフォルダ、"
                   "格納先の中は保護できません。";
        break;
    case 6:
        sentence = "保護領域はすでに設定されています。";
        break;
    case 7:
        sentence = "保護領域の記録ファイルを作成できませんでした。";
        break;
    }
    return std::string("保護領域の設定に失敗しました。\r\n") + sentence + "\r\n（エラーコード：" +
           std::to_string(code) + "）";
}

// The set failure with the platform's error in its own line before the code.
std::string failedText(int code, DWORD error) {
    const std::string text = failedText(code);
    const std::size_t codeLine = text.rfind("\r\n（エラーコード：");
    return text.substr(0, codeLine) + "\r\n" + platformText(error) + text.substr(codeLine);
}

ExpectedBox otherDriveBox(const Paths& paths, int answer) {
    return ExpectedBox{"Syncoravel",
                       "以下のフォルダは保護設定できません。\r\n"
                       "（格納先のパーティションが異なります。）\r\n\r\n" +
                           paths.otherDrive +
                           "\r\n\r\n上記のフォルダ以外の保護設定を実行する場合は「ＯＫ」を、\r\n"
                           "フォルダ設定をやり直す場合は「キャンセル」をおしてください。\r\n",
                       {IDOK, IDCANCEL},
                       true,
                       answer};
}

std::string protectedOnly(const Paths& paths) {
    return paths.protectedFolder + "\r\n";
}

const ApplyCase kApplyCases[] = {
    {"WrongPasswordAtLoading", Area::Password, "Pw", nullptr, Key::Keep, "", "", nullptr, nullptr,
     [](const Paths&) {
         return std::vector<ExpectedBox>{plainBox("パスワードが違います。\r\n"
                                                  "保護フォルダへアクセスできません。\r\n\r\n"
                                                  "（エラーコード：3）")};
     },
     true, false, false, true, true},
    {"NoFolderAccepted", Area::Nothing, nullptr,
     [](const Paths& paths) { return "D:\\存在しない表\r\n" + paths.spareFolder + "\\\r\n \r\n"; },
     Key::Password, "pw", "pw", nullptr, nullptr,
     [](const Paths&) { return std::vector<ExpectedBox>{}; }, false, false, true, false, false},
    {"OtherDriveCancelled", Area::Nothing, nullptr,
     [](const Paths& paths) { return paths.otherDrive + "\r\n" + paths.protectedFolder; },
     Key::Password, "pw", "pw", nullptr, nullptr,
     [](const Paths& paths) { return std::vector<ExpectedBox>{otherDriveBox(paths, IDCANCEL)}; },
     false, true, true, false, false},
    {"OtherDriveAccepted", Area::Nothing, nullptr,
     [](const Paths& paths) { return paths.otherDrive + "\r\n" + paths.protectedFolder; },
     Key::Password, "pw", "pw", nullptr, nullptr,
     [](const Paths& paths) { return std::vector<ExpectedBox>{otherDriveBox(paths, IDOK)}; }, false,
     false, false, true, true},
    {"PasswordsDiffer", Area::Nothing, nullptr, &protectedOnly, Key::Password, "pw", "pW", nullptr,
     nullptr, [](const Paths&) { return std::vector<ExpectedBox>{plainBox(kPasswordsDiffer)}; },
     false, true, true, false, false},
    {"PasswordsEmpty", Area::Nothing, nullptr, &protectedOnly, Key::Password, "", "", nullptr,
     nullptr, [](const Paths&) { return std::vector<ExpectedBox>{plainBox(kPasswordEmpty)}; },
     false, true, true, false, false},
    {"KeyFileInsideAProtectedFolder", Area::Nothing, nullptr, &protectedOnly, Key::KeyFile, "", "",
     [](const Paths& paths) { return paths.protectedFolder + "\\ソ\\b.txt"; }, nullptr,
     [](const Paths&) { return std::vector<ExpectedBox>{plainBox(kKeyFileInside)}; }, false, true,
     true, false, false},
    {"KeyFileNamesNothing", Area::Nothing, nullptr, &protectedOnly, Key::KeyFile, "", "",
     [](const Paths& paths) { return paths.keyFile + ".gone"; }, nullptr,
     [](const Paths&) {
         return std::vector<ExpectedBox>{plainBox("パスファイルが存在しません。")};
     },
     false, true, true, false, false},
    {"NoKeyChosen", Area::Nothing, nullptr, &protectedOnly, Key::NoneChecked, "", "", nullptr,
     nullptr,
     [](const Paths&) {
         return std::vector<ExpectedBox>{plainBox("パスワード／パスファイルを設定してください。")};
     },
     false, true, true, false, false},
    {"EngineRefusesAFolderAsKey", Area::Nothing, nullptr, &protectedOnly, Key::KeyFile, "", "",
     [](const Paths& paths) { return paths.spareFolder; }, nullptr,
     [](const Paths&) {
         return std::vector<ExpectedBox>{plainBox(failedText(2))};
     },
     false, true, true, false, false},
    {"EngineFindsTheAreaSet", Area::Nothing, nullptr, &protectedOnly, Key::Password, "pw", "pw",
     nullptr,
     [](const Paths& paths) {
         // Another session set the area meanwhile.
         EXPECT_EQ(paths.protect(paths.spareFolder, "other"), 1);
         return std::shared_ptr<void>();
     },
     [](const Paths&) { return std::vector<ExpectedBox>{plainBox(failedText(6))}; }, false, true,
     true, true, false},
    {"EngineCannotWriteTheIndex", Area::Nothing, nullptr, &protectedOnly, Key::Password, "pw", "pw",
     nullptr,
     [](const Paths& paths) {
         auto blocked = std::make_shared<support::UnreadableFolder>(paths.storeFolder);
         EXPECT_TRUE(blocked->effective());
         return std::shared_ptr<void>(blocked);
     },
     [](const Paths&) {
         return std::vector<ExpectedBox>{plainBox(failedText(7, ERROR_ACCESS_DENIED))};
     },
     false, true,
     true, false, false},
    {"EngineRefusesADriveRoot", Area::Nothing, nullptr,
     [](const Paths&) { return std::string("D:\r\n"); }, Key::Password, "pw", "pw", nullptr,
     nullptr, [](const Paths&) { return std::vector<ExpectedBox>{plainBox(failedText(5))}; }, false,
     true, true, false, false},
    {"ListedButNeverProtected", Area::ListedOnly, nullptr, nullptr, Key::Keep, "", "", nullptr,
     nullptr,
     [](const Paths&) {
         return std::vector<ExpectedBox>{plainBox(failedText(2))};
     },
     false, true, true, false, false},
};

} // namespace

// A row of the dialog's failure table, each in a program folder of its own.
class SecureFoldersApplyTest : public SecureWindowTest,
                               public testing::WithParamInterface<ApplyCase> {};

namespace {

TEST_P(SecureFoldersApplyTest, ShowsItsMessageAndLeavesTheRightState) {
    const ApplyCase& c = GetParam();
    support::TempFolder elsewhere(support::kDriveE);
    Paths paths;
    temp_.file("保護表\\a.txt", "alpha");
    temp_.file("保護表\\ソ\\b.txt", "beta");
    paths.protectedFolder = temp_.at("保護表");
    paths.otherDrive = elsewhere.folder("別ドライブ");
    paths.spareFolder = temp_.folder("予備");
    paths.keyFile = temp_.file("鍵.key", "key");
    paths.storeFolder = storeFolder();
    paths.protect = [this](const std::string& folder, const std::string& key) {
        return protectThroughEngine({folder}, key);
    };
    const TreeState before = treeState(paths.protectedFolder);
    if (c.area == Area::Password) {
        ASSERT_EQ(protectThroughEngine({paths.protectedFolder}, "pw"), 1);
    }
    if (c.area != Area::Nothing) {
        listInSettings({paths.protectedFolder}, 1);
    }
    const std::vector<std::string> settingsBefore = settingsFolders();
    const std::vector<ExpectedBox> expected = c.boxes(paths);
    for (const ExpectedBox& box : expected) {
        boxes_.answer(box.answer);
    }
    ASSERT_NE(start(""), nullptr);

    std::shared_ptr<void> held;
    bool stayedOpen = false;
    bool sectionEmpty = false;
    bool loaded = false;
    UserScript script;
    if (c.area == Area::Password) {
        script.then(
            "the password is asked for", [] { return passwordPrompt() != nullptr; },
            [&] {
                HWND prompt = passwordPrompt();
                typeInto(GetDlgItem(prompt, kIdPasswordEdit),
                         c.typedAtPrompt != nullptr ? c.typedAtPrompt : "pw");
                press(GetDlgItem(prompt, kIdPasswordOk));
            });
    }
    if (!c.endsAtLoading) {
        script.then("the list is loaded", &loadedAndIdle, [&] {
            loaded = true;
            if (c.area == Area::ListedOnly) {
                // Nothing to release, yet the list is kept with the key unchanged.
                EXPECT_FALSE(IsWindowEnabled(itemOf(kIdKeepKey)));
                EXPECT_TRUE(checkedBox(itemOf(kIdKeepKey)));
                EXPECT_EQ(listText(), paths.protectedFolder + "\r\n");
            }
            if (c.list) {
                clearEdit(itemOf(kIdFolderList));
                typeInto(itemOf(kIdFolderList), c.list(paths));
            }
            switch (c.key) {
            case Key::Keep:
                break;
            case Key::Password:
                press(itemOf(kIdKeyByPassword));
                typeInto(itemOf(kIdPassword), c.password);
                typeInto(itemOf(kIdPasswordAgain), c.again);
                break;
            case Key::KeyFile:
                press(itemOf(kIdKeyByFile));
                typeInto(itemOf(kIdKeyFile), c.keyFile(paths));
                break;
            case Key::NoneChecked:
                for (int id : {kIdKeepKey, kIdKeyByPassword, kIdKeyByFile}) {
                    SendMessageA(itemOf(id), BM_SETCHECK, BST_UNCHECKED, 0);
                }
                break;
            }
        });
        script.then(
            "the key is chosen", [] { return true; },
            [&] {
                if (c.beforeApply) {
                    held = c.beforeApply(paths);
                }
                press(itemOf(kIdFoldersOk));
            });
        if (c.dialogStays) {
            script.then(
                "the messages are answered",
                [&] { return boxes_.seen().size() >= expected.size() && loadedAndIdle(); },
                [&] {
                    held.reset();
                    stayedOpen = true;
                    sectionEmpty = settingsFolders().empty() && secureSetting("Type") == "(none)";
                    // The list emptied, OK closes the dialog.
                    clearEdit(itemOf(kIdFolderList));
                    press(itemOf(kIdFoldersOk));
                });
        }
    }
    menu(kCmdSecureArea);
    ASSERT_TRUE(play(script)) << script.waitingFor() << "\n" << describe(events(), boxes_.seen());
    held.reset();
    EXPECT_EQ(loaded, !c.endsAtLoading);
    EXPECT_EQ(stayedOpen, c.dialogStays);

    const std::vector<support::SeenBox> seen = boxes_.seen();
    ASSERT_EQ(seen.size(), expected.size());
    for (std::size_t i = 0; i < seen.size(); ++i) {
        EXPECT_EQ(seen[i].caption, expected[i].caption) << i;
        EXPECT_EQ(seen[i].text, expected[i].text) << i;
        EXPECT_EQ(seen[i].buttons, expected[i].buttons) << i;
        EXPECT_EQ(seen[i].informationIcon, expected[i].informationIcon) << i;
        EXPECT_EQ(seen[i].anyIcon, expected[i].informationIcon) << i;
    }

    if (c.endsAtLoading) {
        EXPECT_EQ(settingsFolders(), settingsBefore);
    } else if (c.dialogStays) {
        EXPECT_TRUE(sectionEmpty);
    } else if (c.sectionEmptyAfter) {
        EXPECT_TRUE(settingsFolders().empty());
        EXPECT_EQ(secureSetting("Type"), "(none)");
    } else {
        EXPECT_EQ(settingsFolders(), std::vector<std::string>{paths.protectedFolder.substr(2)});
    }
    EXPECT_EQ(areaSet(), c.areaSetAfter);
    // Stored means moved into the store; a note file may stay in its place.
    EXPECT_EQ(support::pathExists(paths.protectedFolder + "\\a.txt"), !c.folderStoredAfter);
    if (!c.folderStoredAfter) {
        EXPECT_TRUE(treeState(paths.protectedFolder).files == before.files);
    }
    EXPECT_TRUE(support::pathExists(paths.otherDrive));
}

// Failure messages name the row.
void PrintTo(const ApplyCase& row, std::ostream* out) { *out << row.name; }

std::string caseName(const testing::TestParamInfo<ApplyCase>& info) {
    return info.param.name;
}

INSTANTIATE_TEST_SUITE_P(Table, SecureFoldersApplyTest, testing::ValuesIn(kApplyCases), &caseName);

} // namespace
