#include <windows.h>
#include <commdlg.h>

#include <string>
#include <vector>

#include "../secure/secure_fixture.h"
#include "secure_window_fixture.h"
#include "support/files.h"
#include "ui/dialog_controls.h"
#include "ui/secure_folders_dialog.h"
#include "ui/secure_prog_window.h"
#include "ui/secure_state.h"
#include "ui/ui_ids.h"

namespace {

using securetest::treeState;
using securetest::TreeState;

int countOf(const std::vector<std::string>& events, const std::string& event) {
    int count = 0;
    for (const std::string& e : events) {
        count += e == event ? 1 : 0;
    }
    return count;
}

TEST(SecureFolderLinesTest, LinesThatNameFoldersOnceAndNotInsideAnother) {
    support::TempFolder temp;
    const std::string data2 = temp.folder("Data2");
    const std::string data = temp.folder("Data");
    const std::string so = temp.folder("ソ表");
    const std::string sub = temp.folder("Data\\sub");
    const std::string lower = temp.at("data2");
    struct Case {
        const char* what;
        std::string text;
        std::vector<std::string> accepted;
    } const cases[] = {
        {"a name that begins like one above is another folder",
         data2 + "\r\n" + data + "\r\n",
         {data2, data}},
        {"the shorter one first keeps both", data + "\r\n" + data2, {data, data2}},
        {"a folder below one above it is dropped", data + "\r\n" + sub, {data}},
        {"a folder above one listed first is kept", sub + "\r\n" + data, {sub, data}},
        {"every spelling is taken in its one true form",
         temp.path() + "\\\\Data\\.\r\n" + temp.path() + "/ソ表\r\n" + "d" + temp.path().substr(1) +
             "\\x\\..\\Data2",
         {data, so, data2}},
        {"another spelling of a folder above is dropped",
         data + "\r\n" + temp.path() + "\\DATA\\.\\sub",
         {data}},
        {"a repeat in another letter case is dropped", data2 + "\r\n" + lower + "\r\n", {data2}},
        {"the first accepted line is taken even when written above",
         data2 + "x\r\n" + data2,
         {data2}},
        {"empty lines and stray line ends vanish",
         "\r\n\r\n\r\n" + so + "\r\r\n\n" + data,
         {so, data}},
        {"a trailing backslash is no folder", data + "\\\r\n" + so, {so}},
        {"lines are not trimmed", " " + data + "\r\n\t" + so + "\r\n", {}},
        {"a drive counts as a folder, and holds every folder on it", "D:\r\n" + so, {"D:"}},
        {"double-byte names compare exactly", so + "\r\n" + temp.at("ソ"), {so}},
        {"nothing", "", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(acceptedFolderLines(c.text), c.accepted);
    }
}

TEST_F(SecureWindowTest, PasswordAreaIsReleasedForEditingAndSetAgainByTheCloseBox) {
    const std::string key = "鍵ソ key";
    temp_.file("文書表\\a.txt", "alpha");
    const std::string hidden = temp_.file("文書表\\能\\隠し.txt", "hidden");
    ASSERT_TRUE(SetFileAttributesA(hidden.c_str(), FILE_ATTRIBUTE_HIDDEN));
    temp_.file("写真\\旅行\\p.jpg", std::string(3000, '\x5C'));
    temp_.file("そのまま\\c.txt", "not protected");
    const std::string documents = temp_.at("文書表");
    const std::string photos = temp_.at("写真");
    const std::string untouched = temp_.at("そのまま");
    const TreeState documentsBefore = treeState(documents);
    const TreeState photosBefore = treeState(photos);
    ASSERT_EQ(protectThroughEngine({documents, photos}, key), 1);
    listInSettings({documents, photos}, 1);
    ASSERT_NE(start(""), nullptr);

    UserScript script;
    script.then(
        "the password is asked for", [] { return passwordPrompt() != nullptr; },
        [&] {
            HWND prompt = passwordPrompt();
            typeInto(GetDlgItem(prompt, kIdPasswordEdit), key);
            press(GetDlgItem(prompt, kIdPasswordOk));
        });
    script.then("the list is loaded", &loadedAndIdle, [&] {
        EXPECT_EQ(listText(), documents + "\r\n" + photos + "\r\n");
        EXPECT_TRUE(IsWindowEnabled(itemOf(kIdKeepKey)));
        EXPECT_TRUE(checkedBox(itemOf(kIdKeepKey)));
        EXPECT_FALSE(checkedBox(itemOf(kIdKeyByPassword)));
        EXPECT_FALSE(checkedBox(itemOf(kIdKeyByFile)));
        EXPECT_TRUE(checkedBox(itemOf(kIdHideFolders)));
        EXPECT_EQ(CurrentKeyText, key);
        EXPECT_TRUE(treeState(documents).files == documentsBefore.files);
        EXPECT_TRUE(treeState(photos).files == photosBefore.files);
        // The user edits, changes the key... and closes the dialog instead of OK.
        caretToEnd(itemOf(kIdFolderList));
        typeInto(itemOf(kIdFolderList), untouched + "\r");
        press(itemOf(kIdKeyByPassword));
        typeInto(itemOf(kIdPassword), "new");
        typeInto(itemOf(kIdPasswordAgain), "new");
    });
    script.then(
        "the edits are made", [] { return checkedBox(itemOf(kIdKeyByPassword)); },
        [] { pressCloseBox(foldersDialog()); });
    menu(kCmdSecureArea);
    ASSERT_TRUE(play(script)) << script.waitingFor();

    // Set again as it was, with the key that released it.
    EXPECT_EQ(events(),
              (std::vector<std::string>{"SecureFlds", "SecureProg 1", "SecureProg end",
                                        "SecureProg 2", "SecureProg end", "SecureFlds end"}));
    EXPECT_TRUE(boxes_.seen().empty());
    EXPECT_EQ(settingsFolders(), (std::vector<std::string>{documents.substr(2), photos.substr(2)}));
    EXPECT_EQ(secureSetting("Type"), "1");
    EXPECT_EQ(CurrentKeyText, key);
    EXPECT_TRUE(areaSet());
    EXPECT_FALSE(support::pathExists(documents));
    EXPECT_FALSE(support::pathExists(photos));
    EXPECT_EQ(support::readFile(untouched + "\\c.txt"), "not protected");
    EXPECT_EQ(releaseThroughEngine("new"), 3);
    ASSERT_EQ(releaseThroughEngine(key), 1);
    EXPECT_TRUE(treeState(documents).files == documentsBefore.files);
    EXPECT_TRUE(treeState(photos).files == photosBefore.files);
}

TEST_F(SecureWindowTest, EditingTheListAndChoosingAKeyFile) {
    const char kBrowseTitle[] = "キーとするファイルを選択してください。";
    boxes_.ignoreCaption(kBrowseTitle);
    temp_.file("Data2\\x.txt", "x");
    temp_.file("ソ表\\y.txt", "y");
    temp_.file("Data\\z.txt", "z");
    const std::string data2 = temp_.at("Data2");
    const std::string so = temp_.at("ソ表");
    const std::string data = temp_.at("Data");
    const std::string keyFile = temp_.file("鍵\\予定.key", "key");
    ASSERT_NE(start(""), nullptr);

    std::string afterReset;
    std::string keyAfterFileDrop;
    std::string listAfterFileDrop;
    std::string listAfterFolderDrop;
    std::string initialName;
    UserScript script;
    script.then("the list is loaded", &loadedAndIdle, [&] {
        typeInto(itemOf(kIdFolderList), data + "\r\n");
        press(itemOf(kIdResetList));
    });
    script.then(
        "the list is reset", [] { return listText().empty(); },
        [&] {
            afterReset = listText();
            // A file first: it becomes the key file and nothing else changes.
            dropFiles(foldersDialog(), {keyFile, data2, so});
        });
    script.then(
        "the key file is dropped", [] { return !windowText(itemOf(kIdKeyFile)).empty(); },
        [&] {
            keyAfterFileDrop = windowText(itemOf(kIdKeyFile));
            listAfterFileDrop = listText();
            SetWindowTextA(itemOf(kIdKeyFile), "");
            dropFiles(foldersDialog(), {data2, temp_.at("ない"), so});
        });
    script.then(
        "the folders are dropped", [] { return !listText().empty(); },
        [&] {
            listAfterFolderDrop = listText();
            // A repeat in other letters, which goes, and a folder whose name begins like one
            // above, which is another folder and stays.
            caretToEnd(itemOf(kIdFolderList));
            typeInto(itemOf(kIdFolderList), "\r" + temp_.at("data2") + "\r" + data + "\r");
            press(itemOf(kIdBrowseKeyFile));
        });
    script.then(
        "the file dialog opens", [&] { return findSystemDialog(kBrowseTitle) != nullptr; },
        [&] {
            HWND dialog = findSystemDialog(kBrowseTitle);
            HWND name = GetDlgItem(dialog, 0x47C);
            if (name == nullptr) {
                name = GetDlgItem(dialog, 0x480);
            }
            char folder[MAX_PATH] = {};
            SendMessageA(dialog, CDM_GETFOLDERPATH, sizeof folder,
                         reinterpret_cast<LPARAM>(folder));
            initialName = std::string(folder) + "|" + windowText(name);
            SetWindowTextA(name, keyFile.c_str());
            PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                         reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
        });
    script.then(
        "the key file is chosen",
        [&] { return loadedAndIdle() && windowText(itemOf(kIdKeyFile)) == keyFile; },
        [&] {
            // Browsing does not choose the key kind.
            EXPECT_TRUE(checkedBox(itemOf(kIdKeyByPassword)));
            EXPECT_FALSE(checkedBox(itemOf(kIdKeyByFile)));
            press(itemOf(kIdKeyByFile));
            press(itemOf(kIdFoldersOk));
        });
    menu(kCmdSecureArea);
    ASSERT_TRUE(play(script)) << script.waitingFor();

    EXPECT_EQ(afterReset, "");
    EXPECT_EQ(keyAfterFileDrop, keyFile);
    EXPECT_EQ(listAfterFileDrop, "");
    EXPECT_EQ(listAfterFolderDrop, "\r\n" + data2 + "\r\n" + so);
    EXPECT_EQ(initialName, "D:\\|*.*"); // the dialog splits "D:\*.*" into folder and filter
    EXPECT_TRUE(boxes_.seen().empty());
    EXPECT_EQ(settingsFolders(),
              (std::vector<std::string>{data2.substr(2), so.substr(2), data.substr(2)}));
    EXPECT_EQ(secureSetting("Type"), "0");
    EXPECT_EQ(CurrentKeyText, keyFile);
    EXPECT_TRUE(areaSet());
    // Without hiding, a note stays where the files were.
    EXPECT_EQ(support::listFolder(data2), std::vector<std::string>{securetest::kNoteName});
    EXPECT_EQ(support::listFolder(so), std::vector<std::string>{securetest::kNoteName});
    EXPECT_EQ(support::listFolder(data), std::vector<std::string>{securetest::kNoteName});
    EXPECT_EQ(releaseThroughEngine(""), 1);
    EXPECT_EQ(support::readFile(data2 + "\\x.txt"), "x");
    EXPECT_EQ(support::readFile(so + "\\y.txt"), "y");
    EXPECT_EQ(support::readFile(data + "\\z.txt"), "z");
}

TEST_F(SecureWindowTest, LoadingThatCannotMoveEverythingBackClosesTheDialog) {
    temp_.file("保護\\a.txt", "alpha");
    temp_.file("保護\\b.txt", "beta");
    const std::string folder = temp_.at("保護");
    ASSERT_EQ(protectThroughEngine({folder}, "pw"), 1);
    listInSettings({folder}, 1);
    // Meanwhile another file took the place of one of them.
    temp_.file("保護\\b.txt", "newer beta");
    boxes_.answer(IDOK);
    ASSERT_NE(start(""), nullptr);

    UserScript script;
    script.then(
        "the password is asked for", [] { return passwordPrompt() != nullptr; },
        [] {
            HWND prompt = passwordPrompt();
            typeInto(GetDlgItem(prompt, kIdPasswordEdit), "pw");
            press(GetDlgItem(prompt, kIdPasswordOk));
        });
    menu(kCmdSecureArea);
    ASSERT_TRUE(play(script)) << script.waitingFor();

    ASSERT_EQ(boxes_.seen().size(), 1u);
    const support::SeenBox box = boxes_.seen().at(0);
    EXPECT_EQ(box.caption, "エラー");
    // The sentence of the code is the one every window gives it, with how many files wait.
    EXPECT_EQ(
        support::utf8(box.text),
        support::utf8("保護領域の解除に失敗しました。\r\n"
                      "元の場所に同じ名前のファイルがあるため、戻せなかったファイルがあります。"
                      "それらは格納先に残っています。元の場所にある同じ名前のファイルを移動"
                      "してから、もう一度解除してください。\r\n戻せなかったファイル：1 件"
                      "\r\n（エラーコード：10）"));
    EXPECT_EQ(box.buttons, std::vector<int>{IDOK});
    EXPECT_FALSE(box.anyIcon);
    EXPECT_EQ(events().back(), "SecureFlds end");
    EXPECT_EQ(countOf(events(), "SecureProg 1"), 1);
    EXPECT_EQ(countOf(events(), "SecureProg 2") + countOf(events(), "SecureProg 3"), 0);
    // Nothing was overwritten; what could not go back waits in the store.
    EXPECT_EQ(support::readFile(folder + "\\a.txt"), "alpha");
    EXPECT_EQ(support::readFile(folder + "\\b.txt"), "newer beta");
    EXPECT_TRUE(areaSet());
    EXPECT_EQ(settingsFolders(), std::vector<std::string>{folder.substr(2)});
    ASSERT_TRUE(DeleteFileA((folder + "\\b.txt").c_str()));
    EXPECT_EQ(releaseThroughEngine("pw"), 1);
    EXPECT_EQ(support::readFile(folder + "\\b.txt"), "beta");
}

TEST_F(SecureWindowTest, LoadingThatLeftAChangedNoteSaysSoAndGoesOn) {
    temp_.file("保護\\a.txt", "alpha");
    const std::string folder = temp_.at("保護");
    ASSERT_EQ(protectThroughEngine({folder}, "pw", false), 1);
    listInSettings({folder}, 0);
    const std::string note = folder + "\\" + securetest::kNoteName;
    ASSERT_TRUE(support::writeFile(note, "lock. 私のメモ"));
    boxes_.answer(IDOK);
    ASSERT_NE(start(""), nullptr);

    std::string listAfterLoad;
    UserScript script;
    script.then(
        "the password is asked for", [] { return passwordPrompt() != nullptr; },
        [] {
            HWND prompt = passwordPrompt();
            typeInto(GetDlgItem(prompt, kIdPasswordEdit), "pw");
            press(GetDlgItem(prompt, kIdPasswordOk));
        });
    script.then("the list is loaded", &loadedAndIdle, [&] {
        listAfterLoad = listText();
        clearEdit(itemOf(kIdFolderList));
        press(itemOf(kIdFoldersOk));
    });
    menu(kCmdSecureArea);
    ASSERT_TRUE(play(script)) << script.waitingFor();

    ASSERT_EQ(boxes_.seen().size(), 1u);
    const support::SeenBox box = boxes_.seen().at(0);
    EXPECT_EQ(box.caption, "エラー");
    EXPECT_EQ(
        support::utf8(box.text),
        support::utf8("保護領域を解除しましたが、問題がありました。\r\n"
                      "内容が変えられていたか削除できなかったため、残した案内ファイルがあります。"
                      "\r\n" +
                      note + "\r\n（エラーコード：14）"));
    EXPECT_EQ(listAfterLoad, folder + "\r\n");
    EXPECT_EQ(support::readFile(folder + "\\a.txt"), "alpha");
    EXPECT_EQ(support::readFile(note), "lock. 私のメモ");
    EXPECT_FALSE(areaSet());
}

TEST_F(SecureWindowTest, TheDialogWaitsForItsReleaseWindow) {
    temp_.file("保護\\a.txt", "alpha");
    const std::string folder = temp_.at("保護");
    ASSERT_EQ(protectThroughEngine({folder}, "pw"), 1);
    listInSettings({folder}, 1);
    ASSERT_NE(start(""), nullptr);

    bool bothStayed = false;
    UserScript script;
    script.then(
        "the password is asked for", [] { return passwordPrompt() != nullptr; },
        [] {
            // The user tries to close the dialog below, and to press its OK.
            pressCloseBox(foldersDialog());
            PostMessageA(foldersDialog(), WM_CLOSE, 0, 0);
            PostMessageA(foldersDialog(), WM_COMMAND, MAKEWPARAM(kIdFoldersOk, BN_CLICKED),
                         reinterpret_cast<LPARAM>(itemOf(kIdFoldersOk)));
        });
    script.then(
        "a moment later", [] { return true; },
        [&] {
            bothStayed = foldersDialog() != nullptr && passwordPrompt() != nullptr;
            HWND prompt = passwordPrompt();
            typeInto(GetDlgItem(prompt, kIdPasswordEdit), "pw");
            press(GetDlgItem(prompt, kIdPasswordOk));
        });
    script.then("the list is loaded", &loadedAndIdle, [] {
        clearEdit(itemOf(kIdFolderList));
        press(itemOf(kIdFoldersOk));
    });
    menu(kCmdSecureArea);
    ASSERT_TRUE(play(script)) << script.waitingFor();
    EXPECT_TRUE(bothStayed);
    EXPECT_EQ(events(), (std::vector<std::string>{"SecureFlds", "SecureProg 1", "SecureProg end",
                                                  "SecureFlds end"}));
    EXPECT_TRUE(boxes_.seen().empty());
    EXPECT_EQ(support::readFile(folder + "\\a.txt"), "alpha");
    EXPECT_TRUE(settingsFolders().empty());
}

TEST_F(SecureWindowTest, ClosingThePasswordPromptLeavesTheAreaAsItWas) {
    temp_.file("保護\\a.txt", "alpha");
    const std::string folder = temp_.at("保護");
    ASSERT_EQ(protectThroughEngine({folder}, "pw"), 1);
    listInSettings({folder}, 1);
    ASSERT_NE(start(""), nullptr);

    UserScript script;
    script.then(
        "the password is asked for", [] { return passwordPrompt() != nullptr; },
        [] { PostMessageA(passwordPrompt(), WM_CLOSE, 0, 0); });
    menu(kCmdSecureArea);
    ASSERT_TRUE(play(script)) << script.waitingFor();
    EXPECT_EQ(events(), (std::vector<std::string>{"SecureFlds", "SecureProg 1", "SecureProg end",
                                                  "SecureFlds end"}));
    EXPECT_TRUE(boxes_.seen().empty());
    EXPECT_TRUE(areaSet());
    EXPECT_FALSE(support::pathExists(folder));
    EXPECT_EQ(settingsFolders(), std::vector<std::string>{folder.substr(2)});
    EXPECT_EQ(secureSetting("Type"), "1");
}

} // namespace
