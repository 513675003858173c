#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "base/scoped_handle.h"
#include "support/files.h"
#include "support/message_boxes.h"
#include "support/report_window.h"
#include "support/temp_folder.h"
#include "support/unix_access.h"

namespace {

using support::windowTextOf;

struct Program {
    KernelHandle process;
    DWORD id = 0;
};

bool startProgram(const std::string& exe, const std::string& folder, Program& program,
                  const std::string& arguments = "") {
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    std::string line = "\"" + exe + "\"" + (arguments.empty() ? "" : " " + arguments);
    if (!CreateProcessA(exe.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(),
                        &startup, &info)) {
        return false;
    }
    CloseHandle(info.hThread);
    program.process.reset(info.hProcess);
    program.id = info.dwProcessId;
    return true;
}

struct WindowSearch {
    DWORD processId;
    HWND found;
};

BOOL CALLBACK findMainWindow(HWND window, LPARAM argument) {
    auto* search = reinterpret_cast<WindowSearch*>(argument);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    char className[32] = {};
    GetClassNameA(window, className, sizeof className);
    if (process == search->processId && std::string(className) == "NORMAL0") {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

HWND waitForMainWindow(DWORD processId) {
    WindowSearch search{processId, nullptr};
    support::pumpMessagesUntil(
        [&] {
            EnumWindows(&findMainWindow, reinterpret_cast<LPARAM>(&search));
            return search.found != nullptr && IsWindowVisible(search.found);
        },
        30000);
    return search.found;
}

DWORD waitForExit(const Program& program, DWORD timeoutMs) {
    if (WaitForSingleObject(program.process.get(), timeoutMs) != WAIT_OBJECT_0) {
        return STILL_ACTIVE;
    }
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(program.process.get(), &code);
    return code;
}

std::string profileValue(const std::string& file, const char* section, const char* key) {
    char value[1284] = {};
    GetPrivateProfileStringA(section, key, "", value, sizeof value, file.c_str());
    return value;
}

// The real program in a program folder of its own, driven through its windows as a user
// drives it: type definitions, press the run button, answer the box, close the window.
TEST(ProgramTest, ARunFromStartToExit) {
    support::TempFolder temp;
    const std::string folder = temp.folder("アプリ表");
    const std::string exe = folder + "\\Syncoravel.exe";
    ASSERT_TRUE(CopyFileA(support::windowsPathOfUnix(SYNCORAVEL_EXE).c_str(), exe.c_str(), FALSE));
    const std::string definitionFile = folder + "\\SyncDef.txt";
    const std::string settingsFile = folder + "\\Pairwarden.ini";
    ASSERT_TRUE(support::writeFile(definitionFile, "Sync.D:\\前の定義\r\n"));
    const FileTime t = support::fileTimeUtc(2024, 3, 3, 12, 0, 0);
    temp.file("元\\ソ\\資料.txt", "資料", t);
    temp.file("先\\古い.txt", "古い", t - support::kSecond * 60);

    Program first;
    ASSERT_TRUE(startProgram(exe, folder, first));
    support::MessageBoxWatcher boxes(first.id);
    HWND main = waitForMainWindow(first.id);
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(windowTextOf(main), "Syncoravel - 【定義ファイル】SyncDef.txt");

    // A second start, even of a copy in another folder, brings the first window forward and
    // ends without touching a file.
    const std::string copyFolder = temp.folder("別の場所");
    const std::string copy = copyFolder + "\\Syncoravel.exe";
    ASSERT_TRUE(CopyFileA(exe.c_str(), copy.c_str(), FALSE));
    ShowWindow(main, SW_MINIMIZE);
    ASSERT_TRUE(support::pumpMessagesUntil([&] { return IsIconic(main) != FALSE; }, 10000));
    Program second;
    ASSERT_TRUE(startProgram(copy, copyFolder, second));
    EXPECT_EQ(waitForExit(second, 30000), 0u);
    EXPECT_TRUE(support::pumpMessagesUntil([&] { return !IsIconic(main); }, 10000));
    EXPECT_FALSE(support::pathExists(settingsFile));
    EXPECT_FALSE(support::pathExists(copyFolder + "\\Pairwarden.ini"));
    EXPECT_EQ(support::readFile(definitionFile), "Sync.D:\\前の定義\r\n");

    // A copy under another file name is another program and runs beside it.
    const std::string renamed = copyFolder + "\\別名.exe";
    ASSERT_TRUE(CopyFileA(exe.c_str(), renamed.c_str(), FALSE));
    support::writeFile(copyFolder + "\\SyncDef.txt", "Sync.D:\r\n");
    Program other;
    ASSERT_TRUE(startProgram(renamed, copyFolder, other));
    support::MessageBoxWatcher otherBoxes(other.id);
    HWND otherMain = waitForMainWindow(other.id);
    ASSERT_NE(otherMain, nullptr);
    PostMessageA(otherMain, WM_CLOSE, 0, 0);
    EXPECT_EQ(waitForExit(other, 30000), 0u);
    EXPECT_TRUE(IsWindow(main));

    const std::string definitions =
        "Sync." + temp.at("元") + "\r\nSync." + temp.at("先") + "\r\n";
    HWND editor = GetDlgItem(main, 1000);
    SendMessageA(editor, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(definitions.c_str()));
    // F5 in the editor, through the program's own message loop.
    boxes.answer(IDNO);
    PostMessageA(editor, WM_KEYDOWN, VK_F5, 1);
    ASSERT_TRUE(boxes.waitForBoxes(1, 60000));
    EXPECT_EQ(boxes.seen().at(0).text, "同期処理が完了しました。\r\n\r\nログファイルを開きますか？");
    ASSERT_TRUE(support::pumpMessagesUntil(
        [&] { return IsWindowEnabled(GetDlgItem(main, 1001)) != FALSE; }, 10000));

    const std::string log = "【最新更新ファイル】" + temp.at("元\\ソ\\資料.txt") + "\r\n" +
                            "【削除】" + temp.at("先\\古い.txt") + "\r\n" + "【コピー】" +
                            temp.at("先\\ソ") + "\r\n" + "【コピー】" +
                            temp.at("先\\ソ\\資料.txt") + "\r\n";
    EXPECT_EQ(windowTextOf(GetDlgItem(main, 1002)), log);
    EXPECT_EQ(windowTextOf(GetDlgItem(main, 1003)), "【最新ディレクトリ】" + temp.at("元"));
    // The plan: one deletion, the folder and its file.
    EXPECT_EQ(windowTextOf(GetDlgItem(main, 1004)),
              "3 / 3 件  【コピー】" + temp.at("先\\ソ\\資料.txt"));

    PostMessageA(main, WM_CLOSE, 0, 0);
    EXPECT_EQ(waitForExit(first, 30000), 0u);

    EXPECT_EQ(support::readFile(temp.at("先\\ソ\\資料.txt")), "資料");
    EXPECT_EQ(support::writeTimeOf(temp.at("先\\ソ\\資料.txt")), t);
    EXPECT_FALSE(support::pathExists(temp.at("先\\古い.txt")));
    EXPECT_EQ(support::readFile(folder + "\\Pairwarden.log"), log);
    EXPECT_EQ(support::readFile(definitionFile), definitions);
    EXPECT_EQ(profileValue(settingsFile, "DefSyncFile", "Name"), definitionFile);
    EXPECT_FALSE(profileValue(settingsFile, "Pairwarden-WH-Size", "Width").empty());
    EXPECT_FALSE(profileValue(settingsFile, "Pairwarden-WH-Size", "Height").empty());
    EXPECT_TRUE(GetFileAttributesA(settingsFile.c_str()) & FILE_ATTRIBUTE_HIDDEN);
    for (const support::SeenBox& box : boxes.seen()) {
        EXPECT_TRUE(box.expected) << box.text;
    }
}

BOOL CALLBACK findVersionWindow(HWND window, LPARAM argument) {
    auto* search = reinterpret_cast<WindowSearch*>(argument);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    char className[32] = {};
    GetClassNameA(window, className, sizeof className);
    if (process == search->processId && std::string(className) == "NORMALDLG" &&
        IsWindowVisible(window)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

// The program ends when its main window goes, even while the version window is open on it
// and its loop is the one that takes the quit message: a close request from outside (as a
// shutdown or a task manager sends it) must not leave the process running without a window.
TEST(ProgramTest, EndsWhenItsWindowClosesWhileTheVersionWindowIsOpen) {
    support::TempFolder temp;
    const std::string folder = temp.folder("アプリ能");
    const std::string exe = folder + "\\Syncoravel.exe";
    ASSERT_TRUE(CopyFileA(support::windowsPathOfUnix(SYNCORAVEL_EXE).c_str(), exe.c_str(), FALSE));
    ASSERT_TRUE(support::writeFile(folder + "\\SyncDef.txt", "Sync.D:\\表\r\n"));

    Program program;
    ASSERT_TRUE(startProgram(exe, folder, program));
    support::MessageBoxWatcher boxes(program.id);
    HWND main = waitForMainWindow(program.id);
    ASSERT_NE(main, nullptr);
    PostMessageA(main, WM_COMMAND, MAKEWPARAM(1054, 0), 0);
    WindowSearch version{program.id, nullptr};
    ASSERT_TRUE(support::pumpMessagesUntil(
        [&] {
            EnumWindows(&findVersionWindow, reinterpret_cast<LPARAM>(&version));
            return version.found != nullptr;
        },
        30000));
    EXPECT_TRUE(support::pumpMessagesUntil([&] { return !IsWindowEnabled(main); }, 10000));

    PostMessageA(main, WM_CLOSE, 0, 0);
    const DWORD code = waitForExit(program, 30000);
    EXPECT_EQ(code, 0u) << "the program still runs";
    if (code == STILL_ACTIVE) {
        TerminateProcess(program.process.get(), 1);
        WaitForSingleObject(program.process.get(), 10000);
    }
    EXPECT_TRUE(boxes.seen().empty());
}

// A program folder of its own with the program and a definition file.
struct ProgramFolder {
    support::TempFolder temp;
    std::string folder;
    std::string exe;

    explicit ProgramFolder(const std::string& definitions) {
        folder = temp.folder("予定表");
        exe = folder + "\\Syncoravel.exe";
        EXPECT_TRUE(
            CopyFileA(support::windowsPathOfUnix(SYNCORAVEL_EXE).c_str(), exe.c_str(), FALSE));
        EXPECT_TRUE(support::writeFile(folder + "\\SyncDef.txt", definitions));
    }
    std::string definitions(const std::string& a, const std::string& b) const {
        return "Sync." + temp.at(a) + "\r\nSync." + temp.at(b) + "\r\n";
    }
};

DWORD endOf(Program& program) {
    const DWORD code = waitForExit(program, 180000);
    if (code == STILL_ACTIVE) {
        TerminateProcess(program.process.get(), 99);
        WaitForSingleObject(program.process.get(), 10000);
    }
    return code;
}

// "/run" runs every definition without a person: it answers the end of the run itself and
// ends with a code that tells how the run went.
TEST(ProgramTest, AScheduledRunEndsWithItsCode) {
    const FileTime old = support::fileTimeUtc(2024, 1, 1, 9, 0, 0);
    const FileTime newer = support::fileTimeUtc(2024, 1, 1, 10, 0, 0);
    struct Case {
        const char* name;
        const char* arguments;
        std::function<void(ProgramFolder&)> prepare;
        DWORD code;
        std::function<void(ProgramFolder&)> check;
    } const cases[] = {
        {"everything done", "/run",
         [&](ProgramFolder& p) {
             p.temp.file("M\\ソ\\a.txt", "a", newer);
             p.temp.file("T\\old.txt", "old", old);
         },
         0,
         [&](ProgramFolder& p) {
             EXPECT_EQ(support::readFile(p.temp.at("T\\ソ\\a.txt")), "a");
             EXPECT_FALSE(support::pathExists(p.temp.at("T\\old.txt")));
             EXPECT_NE(support::readFile(p.folder + "\\Pairwarden.log").find("【コピー】"),
                       std::string::npos);
         }},
        {"a file left undone", "/run /quiet",
         [&](ProgramFolder& p) {
             p.temp.file("M\\x.txt", "new", newer);
             p.temp.file("T\\x.txt", "old", old);
             SetFileAttributesA(p.temp.at("T\\x.txt").c_str(), FILE_ATTRIBUTE_READONLY);
         },
         1,
         [&](ProgramFolder& p) {
             SetFileAttributesA(p.temp.at("T\\x.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
             EXPECT_EQ(support::readFile(p.temp.at("T\\x.txt")), "old");
         }},
        {"mass deletion answered No", "/run /quiet",
         [&](ProgramFolder& p) {
             p.temp.file("M\\new.txt", "new", newer);
             for (int i = 0; i < 60; ++i) {
                 p.temp.file("T\\f" + std::to_string(i) + ".txt", "old", old);
             }
         },
         2,
         [&](ProgramFolder& p) {
             EXPECT_EQ(support::listFolder(p.temp.at("T")).size(), 60u);
             EXPECT_EQ(support::readFile(p.folder + "\\Pairwarden.log"),
                       "【確認で中止】" + p.temp.at("T") + "\r\n");
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ProgramFolder p("");
        c.prepare(p);
        ASSERT_TRUE(support::writeFile(p.folder + "\\SyncDef.txt", p.definitions("M", "T")));
        Program program;
        ASSERT_TRUE(startProgram(p.exe, p.folder, program, c.arguments));
        support::MessageBoxWatcher boxes(program.id);
        EXPECT_EQ(endOf(program), c.code);
        EXPECT_TRUE(boxes.seen().empty()) << boxes.seen().at(0).text;
        c.check(p);
        // The exit wrote the settings as any exit does.
        EXPECT_EQ(profileValue(p.folder + "\\Pairwarden.ini", "DefSyncFile", "Name"),
                  p.folder + "\\SyncDef.txt");
    }
}

// A scheduled run that the user stops with the run button (now "中止") ends with 3, its
// large copy not left half written.
TEST(ProgramTest, AScheduledRunStoppedByTheUser) {
    ProgramFolder p("");
    p.temp.folder("M");
    p.temp.folder("T");
    ASSERT_TRUE(support::makeSparseFile(p.temp.at("M\\大きい.bin"), 16ull << 30));
    ASSERT_TRUE(support::writeFile(p.folder + "\\SyncDef.txt", p.definitions("M", "T")));
    Program program;
    ASSERT_TRUE(startProgram(p.exe, p.folder, program, "/run"));
    support::MessageBoxWatcher boxes(program.id);
    HWND main = waitForMainWindow(program.id);
    ASSERT_NE(main, nullptr);
    HWND runButton = GetDlgItem(main, 1001);
    ASSERT_TRUE(support::pumpMessagesUntil(
        [&] {
            return windowTextOf(runButton) == "中止" &&
                   windowTextOf(GetDlgItem(main, 1004)).find("【コピー】") != std::string::npos;
        },
        60000));
    PostMessageA(main, WM_COMMAND, MAKEWPARAM(1001, BN_CLICKED),
                 reinterpret_cast<LPARAM>(runButton));
    EXPECT_EQ(endOf(program), 3u);
    EXPECT_TRUE(boxes.seen().empty());
    EXPECT_TRUE(support::listFolder(p.temp.at("T")).empty());
    const std::string log = support::readFile(p.folder + "\\Pairwarden.log");
    EXPECT_NE(log.find("【中止】" + p.temp.at("T\\大きい.bin") + "\r\n"), std::string::npos);
}

// What keeps a scheduled run from starting ends it with 4: another instance, a definition
// file that cannot be read, arguments it does not know (told in a box that lists them).
TEST(ProgramTest, AScheduledRunThatCannotStart) {
    ProgramFolder p("Sync.D:\\表\r\n");
    {
        Program first;
        ASSERT_TRUE(startProgram(p.exe, p.folder, first));
        support::MessageBoxWatcher firstBoxes(first.id);
        HWND main = waitForMainWindow(first.id);
        ASSERT_NE(main, nullptr);
        Program second;
        ASSERT_TRUE(startProgram(p.exe, p.folder, second, "/run"));
        EXPECT_EQ(endOf(second), 4u);
        EXPECT_TRUE(IsWindow(main));
        PostMessageA(main, WM_CLOSE, 0, 0);
        EXPECT_EQ(endOf(first), 0u);
    }
    {
        // Held open without sharing by another program.
        const std::string file = p.folder + "\\SyncDef.txt";
        HANDLE holder =
            CreateFileA(file.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(holder, INVALID_HANDLE_VALUE);
        Program quiet;
        ASSERT_TRUE(startProgram(p.exe, p.folder, quiet, "/run /quiet"));
        support::MessageBoxWatcher boxes(quiet.id);
        EXPECT_EQ(endOf(quiet), 4u);
        CloseHandle(holder);
        EXPECT_TRUE(boxes.seen().empty());
        EXPECT_EQ(support::readFile(file), "Sync.D:\\表\r\n");
    }
    for (const char* arguments : {"/runn", "/quiet"}) {
        Program wrong;
        ASSERT_TRUE(startProgram(p.exe, p.folder, wrong, arguments));
        support::MessageBoxWatcher boxes(wrong.id);
        boxes.answer(IDOK);
        EXPECT_EQ(endOf(wrong), 4u) << arguments;
        ASSERT_EQ(boxes.seen().size(), 1u) << arguments;
        const support::SeenBox box = boxes.seen().at(0);
        EXPECT_EQ(box.caption, "Syncoravel");
        EXPECT_EQ(box.text.rfind(std::string("引数「") + arguments + "」は使えません。", 0), 0u)
            << support::utf8(box.text);
        EXPECT_NE(box.text.find("/run /quiet"), std::string::npos);
    }
}

} // namespace
