#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <string>
#include <vector>

#include "dialog_user.h"
#include "base/string_list.h"
#include "settings/settings_file.h"
#include "support/files.h"
#include "ui/sync_preview_window.h"
#include "ui/ui_ids.h"

namespace {

using support::fileTimeUtc;

const char kCaption[] = "同期内容の確認";

std::vector<std::string> listLines(HWND list) {
    std::vector<std::string> lines;
    const LRESULT count = SendMessageA(list, LVM_GETITEMCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        char text[1024] = {};
        LVITEMA item = {};
        item.iSubItem = 0;
        item.pszText = text;
        item.cchTextMax = sizeof text;
        SendMessageA(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(i),
                     reinterpret_cast<LPARAM>(&item));
        lines.push_back(text);
    }
    return lines;
}

int clientHeight(HWND window) {
    RECT rect;
    GetClientRect(window, &rect);
    return rect.bottom;
}

using SyncPreviewWindowTest = DialogTest;

// A master with a new file and a subfolder, a target with a folder the master lacks: the
// window lists what a run would do, and nothing changes. The list grows with the window;
// Esc closes it.
TEST_F(SyncPreviewWindowTest, ListsWhatARunWouldDoAndChangesNothing) {
    const FileTime old = fileTimeUtc(2024, 1, 1, 9, 0, 0);
    temp_.file("M\\new.txt", "new", fileTimeUtc(2024, 1, 1, 10, 0, 0));
    temp_.file("M\\sub\\a.txt", "a", old);
    temp_.file("T\\gone\\g.txt", "g", old);
    const std::string master = temp_.at("M");
    const std::string target = temp_.at("T");
    const std::string definitions = "Sync." + master + "\r\nSync." + target + "\r\n\r\nSync." +
                                    temp_.at("M") + "\r\nSync." + temp_.at("ない") + "\r\n";
    ASSERT_NE(start(definitions.c_str()), nullptr);

    std::vector<std::string> lines;
    bool mainDisabled = false;
    bool resizable = false;
    int listBefore = 0;
    int listAfter = 0;
    runAsUser(kCmdSyncPreview, kCaption, [&](HWND dialog) {
        mainDisabled = !IsWindowEnabled(window());
        resizable = (GetWindowLongA(dialog, GWL_STYLE) & WS_THICKFRAME) != 0;
        HWND button = GetDlgItem(dialog, kIdPreviewClose);
        if (!waitUntil([&] { return textOf(button) == "閉じる"; })) {
            return;
        }
        HWND list = GetDlgItem(dialog, kIdPreviewList);
        lines = listLines(list);
        listBefore = clientHeight(list);
        RECT rect;
        GetWindowRect(dialog, &rect);
        SetWindowPos(dialog, nullptr, 0, 0, rect.right - rect.left + 100,
                     rect.bottom - rect.top + 150, SWP_NOMOVE | SWP_NOZORDER);
        listAfter = clientHeight(list);
        PostMessageA(list, WM_KEYDOWN, VK_ESCAPE, 1);
    });
    EXPECT_TRUE(mainDisabled);
    EXPECT_TRUE(resizable);
    EXPECT_EQ(listAfter, listBefore + 150);
    EXPECT_TRUE(IsWindowEnabled(window()));

    // The files below the folder go with it: one line, as the run writes it. The second
    // definition would be passed over: its missing folder is named.
    ASSERT_EQ(lines.size(), 10u);
    std::sort(lines.begin() + 2, lines.begin() + 5);
    const std::vector<std::string> expected = {
        "【マスターフォルダ】" + master,
        "【削除予定】" + target + "\\gone",
        "【コピー予定】" + target + "\\new.txt",
        "【コピー予定】" + target + "\\sub",
        "【コピー予定】" + target + "\\sub\\a.txt",
        "削除予定 1 件、コピー予定 3 件、エラー 0 件",
        "",
        "【未同期】" + temp_.at("ない"),
        "",
        "【合計】1 定義：削除予定 1 件、コピー予定 3 件、エラー 0 件、同期しない定義 1 件",
    };
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(support::utf8(lines[i]), support::utf8(expected[i])) << i;
    }
    EXPECT_TRUE(support::pathExists(temp_.at("T\\gone\\g.txt")));
    EXPECT_FALSE(support::pathExists(temp_.at("T\\new.txt")));
    EXPECT_TRUE(boxes_.seen().empty());
}

// With a protected area set, its folders are empty now; a run would release them first.
// The window says that it shows them as they are now.
TEST_F(SyncPreviewWindowTest, SaysThatProtectedFoldersAreShownAsTheyAreNow) {
    temp_.file("M\\new.txt", "new", fileTimeUtc(2024, 1, 1, 10, 0, 0));
    temp_.folder("T");
    const std::string secret = temp_.folder("秘密表");
    StringList protectedFolders;
    protectedFolders.append(secret);
    StringList rejected;
    SettingsFile(location_).WriteSecurePaths(1, &protectedFolders, &rejected);
    ASSERT_TRUE(rejected.empty());
    const std::string definitions = "Sync." + temp_.at("M") + "\r\nSync." + temp_.at("T") + "\r\n";
    ASSERT_NE(start(definitions.c_str()), nullptr);

    std::vector<std::string> lines;
    runAsUser(kCmdSyncPreview, kCaption, [&](HWND dialog) {
        HWND button = GetDlgItem(dialog, kIdPreviewClose);
        if (!waitUntil([&] { return textOf(button) == "閉じる"; })) {
            return;
        }
        lines = listLines(GetDlgItem(dialog, kIdPreviewList));
        PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
    });
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(support::utf8(lines[0]),
              support::utf8("【保護領域】" + secret +
                            " は保護中なので、中身を移した今の状態で調べています"
                            "（同期では解除してから調べます）"));
    EXPECT_EQ(support::utf8(lines[1]), support::utf8("【マスターフォルダ】" + temp_.at("M")));
}

// Closed with its close box at once, while it may still compute: the window goes, the main
// window is usable again and nothing was changed.
TEST_F(SyncPreviewWindowTest, ClosingWhileItComputesEndsIt) {
    for (int i = 0; i < 200; ++i) {
        temp_.file("T\\f" + std::to_string(i) + ".txt", "old", fileTimeUtc(2024, 1, 1, 9, 0, 0));
    }
    temp_.file("M\\new.txt", "new", fileTimeUtc(2024, 1, 1, 10, 0, 0));
    const std::string definitions = "Sync." + temp_.at("M") + "\r\nSync." + temp_.at("T") + "\r\n";
    ASSERT_NE(start(definitions.c_str()), nullptr);
    runAsUser(kCmdSyncPreview, kCaption,
              [&](HWND dialog) { PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); });
    EXPECT_TRUE(IsWindowEnabled(window()));
    EXPECT_EQ(support::listFolder(temp_.at("T")).size(), 200u);
    EXPECT_FALSE(support::pathExists(temp_.at("T\\new.txt")));
}

} // namespace
