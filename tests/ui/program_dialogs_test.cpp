#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "base/scoped_handle.h"
#include "dialog_user.h"
#include "support/files.h"
#include "support/message_boxes.h"
#include "support/temp_folder.h"
#include "support/unix_access.h"

namespace {

// The real program opens its three dialogs from its menus: a definition composed in the
// mirroring dialog reaches the editor and, at exit, the definition file.
TEST(ProgramDialogsTest, TheMenusOpenTheDialogsOfTheProgram) {
    support::TempFolder temp;
    const std::string folder = temp.folder("アプリ表");
    const std::string exe = folder + "\\Syncoravel.exe";
    ASSERT_TRUE(CopyFileA(support::windowsPathOfUnix(SYNCORAVEL_EXE).c_str(), exe.c_str(), FALSE));
    const std::string a = temp.folder("元ソ");
    const std::string b = temp.folder("先表");
    const std::string selected = "Sync." + a + "\r\nSync." + b + "\r\n";
    ASSERT_TRUE(support::writeFile(folder + "\\SyncDef.txt", selected + "Sync.D:\\他\r\n"));

    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    std::string line = "\"" + exe + "\"";
    ASSERT_TRUE(CreateProcessA(exe.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr,
                               folder.c_str(), &startup, &info));
    CloseHandle(info.hThread);
    KernelHandle process(info.hProcess);
    support::MessageBoxWatcher boxes(info.dwProcessId);

    HWND main = waitForWindowOf(info.dwProcessId, "NORMAL0", nullptr, 30000);
    ASSERT_NE(main, nullptr);
    HWND editor = GetDlgItem(main, 1000);

    // The two lines selected, as the user drags over them.
    SendMessageA(editor, EM_SETSEL, 0, SendMessageA(editor, EM_LINEINDEX, 2, 0));
    PostMessageA(main, WM_COMMAND, MAKEWPARAM(1051, 0), 0);
    HWND mirror = waitForWindowOf(info.dwProcessId, "NORMALDLG", "ミラーリング定義を編集");
    ASSERT_NE(mirror, nullptr);
    EXPECT_FALSE(IsWindowEnabled(main));
    EXPECT_EQ(textOf(GetDlgItem(mirror, 1016)), a);
    EXPECT_EQ(textOf(GetDlgItem(mirror, 1017)), b);
    press(GetDlgItem(mirror, 1019)); // no subfolders
    press(GetDlgItem(mirror, 1023));
    EXPECT_TRUE(waitUntil([&] { return !IsWindow(mirror); }));
    EXPECT_TRUE(waitUntil([&] { return IsWindowEnabled(main) != FALSE; }));
    const std::string composed =
        "\r\nSync.Option.NoSubDirectory\r\nSync." + a + "\r\nSync." + b + "\r\n";
    EXPECT_EQ(textOf(editor), composed + "Sync.D:\\他\r\n");

    PostMessageA(main, WM_COMMAND, MAKEWPARAM(1052, 0), 0);
    HWND program = waitForWindowOf(info.dwProcessId, "NORMALDLG", "外部実行プログラムの定義を追加");
    ASSERT_NE(program, nullptr);
    EXPECT_NE(GetDlgItem(program, 1043), nullptr);
    PostMessageA(program, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_TRUE(waitUntil([&] { return !IsWindow(program); }));

    PostMessageA(main, WM_COMMAND, MAKEWPARAM(1054, 0), 0);
    HWND version = waitForWindowOf(info.dwProcessId, "NORMALDLG", "Syncoravel");
    ASSERT_NE(version, nullptr);
    EXPECT_EQ(textOf(GetDlgItem(version, 1010)), "Version " SYNCORAVEL_VERSION);
    EXPECT_NE(SendDlgItemMessageA(version, 1014, STM_GETICON, 0, 0), 0);
    press(GetDlgItem(version, 1013));
    EXPECT_TRUE(waitUntil([&] { return !IsWindow(version); }));
    EXPECT_TRUE(waitUntil([&] { return IsWindowEnabled(main) != FALSE; }));

    PostMessageA(main, WM_CLOSE, 0, 0);
    ASSERT_EQ(WaitForSingleObject(process.get(), 30000), WAIT_OBJECT_0);
    EXPECT_EQ(support::readFile(folder + "\\SyncDef.txt"), composed + "Sync.D:\\他\r\n");
    EXPECT_TRUE(boxes.seen().empty());
}

} // namespace
