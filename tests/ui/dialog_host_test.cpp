#include <windows.h>

#include <string>

#include "main_window_fixture.h"
#include "ui/dialog_controls.h"
#include "ui/dialog_host.h"
#include "ui/ui_ids.h"

namespace {

constexpr UINT kStep = WM_APP + 1;

TEST_F(MainWindowTest, UnknownOrUnbuiltDialogsShowNothing) {
    ASSERT_NE(start("Sync.D:\r\n"), nullptr);
    EXPECT_EQ(RunDialog(window(), "NoSuchDialog"), 0);
    EXPECT_EQ(RunDialog(window(), "mirroredit"), 0); // names are compared with case
    EXPECT_EQ(RunDialog(window(), nullptr), 0);
    EXPECT_EQ(RunDialog(window(), "MirrorEdit"), 0); // no window built in for it
    EXPECT_TRUE(IsWindowEnabled(window()));
}

TEST_F(MainWindowTest, NestedDialogsEndOnlyTheirOwnLoop) {
    ASSERT_NE(start("Sync.D:\r\n"), nullptr);
    bool ownerDisabledInside = false;
    bool outerDisabledWhileInner = false;
    int innerResult = -1;
    bool outerAliveAfterInner = false;
    std::string outerCaption;
    HWND main = window();

    setTestDialog("SecureProg", [&](HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_INITDIALOG) {
            PostMessageA(dialog, kStep, 0, 0);
            return LRESULT(0);
        }
        if (message == kStep) {
            outerDisabledWhileInner = !IsWindowEnabled(GetWindow(dialog, GW_OWNER));
            CloseDialog(dialog, 7);
            return LRESULT(0);
        }
        return DefWindowProcA(dialog, message, wParam, lParam);
    });
    setTestDialog("SecureFlds", [&](HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_INITDIALOG) {
            PostMessageA(dialog, kStep, 0, 0);
            return LRESULT(0);
        }
        if (message == kStep) {
            ownerDisabledInside = !IsWindowEnabled(main);
            outerCaption = windowText(dialog);
            innerResult = RunDialog(dialog, "SecureProg");
            outerAliveAfterInner = IsWindow(dialog) && IsWindowEnabled(dialog);
            CloseDialog(dialog, 3);
            return LRESULT(0);
        }
        return DefWindowProcA(dialog, message, wParam, lParam);
    });

    EXPECT_EQ(RunDialog(main, "SecureFlds"), 3);
    EXPECT_TRUE(ownerDisabledInside);
    EXPECT_TRUE(outerDisabledWhileInner);
    EXPECT_EQ(innerResult, 7);
    EXPECT_TRUE(outerAliveAfterInner);
    EXPECT_EQ(outerCaption, "保護するフォルダ");
    EXPECT_TRUE(IsWindowEnabled(main));
}

// A run's set-again window opens and closes on the main window while the version window is
// open on it too: the main window stays disabled until the version window ends. Should the
// main window go nevertheless (a close request from outside), the quit it posts ends the
// version window's loop and still reaches the program's own loop.
TEST_F(MainWindowTest, TheMainWindowStaysDisabledUnderAnyOpenDialogAndItsQuitGetsOut) {
    ASSERT_NE(start("Sync.D:\r\n"), nullptr);
    HWND main = window();
    int innerResult = -1;
    bool disabledAfterInner = false;
    setTestDialog("SecureProg", [&](HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_INITDIALOG) {
            PostMessageA(dialog, kStep, 0, 0);
            return LRESULT(0);
        }
        if (message == kStep) {
            CloseDialog(dialog, 1);
            return LRESULT(0);
        }
        return DefWindowProcA(dialog, message, wParam, lParam);
    });
    setTestDialog("VersionInfo", [&](HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_INITDIALOG) {
            PostMessageA(dialog, kStep, 0, 0);
            return LRESULT(0);
        }
        if (message == kStep) {
            innerResult = RunDialog(main, "SecureProg");
            disabledAfterInner = !IsWindowEnabled(main);
            SendMessageA(main, WM_CLOSE, 0, 0);
            return LRESULT(0);
        }
        return DefWindowProcA(dialog, message, wParam, lParam);
    });

    EXPECT_EQ(RunDialog(main, "VersionInfo"), 0);
    EXPECT_EQ(innerResult, 1);
    EXPECT_TRUE(disabledAfterInner);
    EXPECT_FALSE(IsWindow(main));
    MSG quit;
    EXPECT_TRUE(PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE))
        << "the quit message was swallowed by the dialog's loop";
    close();
}

// The outer dialog ends itself while one on the same owner runs inside its loop (its close
// box is not disabled by it): the inner one goes on to its own end, the owner stays
// disabled until then, and each RunDialog returns its own dialog's result.
TEST_F(MainWindowTest, AnOuterDialogEndingFirstWaitsForTheInnerOne) {
    ASSERT_NE(start("Sync.D:\r\n"), nullptr);
    HWND main = window();
    HWND outer = nullptr;
    int innerResult = -1;
    bool innerAliveAfterOuterClosed = false;
    bool mainDisabledAfterOuterClosed = false;
    setTestDialog("SecureProg", [&](HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_INITDIALOG) {
            PostMessageA(dialog, kStep, 0, 0);
            return LRESULT(0);
        }
        if (message == kStep && wParam == 0) {
            CloseDialog(outer, 5);
            PostMessageA(dialog, kStep, 1, 0);
            return LRESULT(0);
        }
        if (message == kStep) {
            innerAliveAfterOuterClosed = IsWindow(dialog) != FALSE;
            mainDisabledAfterOuterClosed = !IsWindowEnabled(main);
            CloseDialog(dialog, 7);
            return LRESULT(0);
        }
        return DefWindowProcA(dialog, message, wParam, lParam);
    });
    setTestDialog("VersionInfo", [&](HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_INITDIALOG) {
            outer = dialog;
            PostMessageA(dialog, kStep, 0, 0);
            return LRESULT(0);
        }
        if (message == kStep) {
            innerResult = RunDialog(main, "SecureProg");
            return LRESULT(0);
        }
        return DefWindowProcA(dialog, message, wParam, lParam);
    });

    EXPECT_EQ(RunDialog(main, "VersionInfo"), 5);
    EXPECT_EQ(innerResult, 7);
    EXPECT_TRUE(innerAliveAfterOuterClosed);
    EXPECT_TRUE(mainDisabledAfterOuterClosed);
    EXPECT_TRUE(IsWindowEnabled(main));
    MSG quit;
    EXPECT_FALSE(PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
}

// While a dialog is open, the main window still handles what a worker sends it.
TEST_F(MainWindowTest, WorkerMessagesAreHandledWhileADialogRuns) {
    ASSERT_NE(start("Sync.D:\r\n"), nullptr);
    HWND main = window();
    struct Sender {
        HWND main;
        static DWORD WINAPI run(void* argument) {
            SendMessageA(static_cast<Sender*>(argument)->main, WM_USER + 4, 0,
                         reinterpret_cast<LPARAM>("D:\\最新表"));
            return 0;
        }
    } sender{main};
    HANDLE thread = nullptr;
    setTestDialog("VersionInfo", [&](HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_INITDIALOG) {
            thread = CreateThread(nullptr, 0, &Sender::run, &sender, 0, nullptr);
            SetTimer(dialog, 1, 20, nullptr);
            return LRESULT(0);
        }
        if (message == WM_TIMER &&
            WaitForSingleObject(thread, 0) == WAIT_OBJECT_0) {
            KillTimer(dialog, 1);
            CloseDialog(dialog, 1);
            return LRESULT(0);
        }
        return DefWindowProcA(dialog, message, wParam, lParam);
    });
    EXPECT_EQ(RunDialog(main, "VersionInfo"), 1);
    CloseHandle(thread);
    EXPECT_EQ(text(kIdFolderStatus), "【最新ディレクトリ】D:\\最新表");
}

struct HandOverCase {
    const char* name;
    const char* editor;
    int selectionStart; // in characters
    int selectionEnd;
    bool setExchange;
    const char* replyLines; // what the dialog hands back
    const char* expectedSeen;
    const char* expectedEditor;
};

TEST_F(MainWindowTest, HandOverToDefinitionDialogs) {
    const HandOverCase cases[] = {
        {"a selection to the very end is handed whole", "前\r\nSync.D:\\表\r\nSync.E:\\ソ", 3, 23,
         true, "Sync.D:\\新\r\nSync.E:\\新\r\n", "Sync.D:\\表\r\nSync.E:\\ソ",
         "前\r\nSync.D:\\新\r\nSync.E:\\新\r\n"},
        {"no selection inserts at the caret", "前\r\n後", 3, 3, true, "Sync.D:\\挿入\r\n", "",
         "前\r\nSync.D:\\挿入\r\n後"},
        {"a cancelled dialog changes nothing", "前\r\nSync.D:\\表\r\n", 3, 14, true, "",
         "Sync.D:\\表\r\n", "前\r\nSync.D:\\表\r\n"},
        {"an untouched exchange text puts the selection back", "前\r\nSync.D:\\表", 3, 12,
         false, "", "Sync.D:\\表", "前\r\nSync.D:\\表"},
    };
    ASSERT_NE(start("Sync.D:\r\n"), nullptr);
    for (const HandOverCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::string seen = "not called";
        setTestDialog("MirrorEdit", [&](HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
            if (message == WM_INITDIALOG) {
                seen = exchangeText();
                PostMessageA(dialog, kStep, 0, 0);
                return LRESULT(0);
            }
            if (message == kStep) {
                if (c.setExchange) {
                    exchangeText() = c.replyLines;
                }
                CloseDialog(dialog, *c.replyLines != '\0' ? 1 : 0);
                return LRESULT(0);
            }
            return DefWindowProcA(dialog, message, wParam, lParam);
        });
        setEditorText(c.editor);
        SendMessageW(control(kIdEditor), EM_SETSEL, c.selectionStart, c.selectionEnd);
        SendMessageA(window(), WM_COMMAND, MAKEWPARAM(kCmdAddMirrorDefinition, 0), 0);
        EXPECT_EQ(seen, c.expectedSeen);
        EXPECT_EQ(text(kIdEditor), c.expectedEditor);
        EXPECT_TRUE(exchangeText().empty());
        EXPECT_EQ(GetFocus(), control(kIdEditor));
    }
}

} // namespace
