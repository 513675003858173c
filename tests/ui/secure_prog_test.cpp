#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "../secure/secure_fixture.h"
#include "secure/secure_messages.h"
#include "secure_window_fixture.h"
#include "support/files.h"
#include "ui/dialog_controls.h"
#include "ui/dialog_host.h"
#include "ui/secure_prog_window.h"
#include "ui/secure_state.h"
#include "ui/ui_resources.h"

namespace {

using securetest::treeState;
using securetest::TreeState;

int progressOf(HWND window) {
    return static_cast<int>(SendMessageA(GetDlgItem(window, kIdSecureProgress), PBM_GETPOS, 0, 0));
}

using SecureProgTest = SecureWindowTest;

// Opens the window with the mode and plays the script in it; returns its result.
int runSecureProg(HWND owner, int mode) {
    SecureMode = mode;
    return RunDialog(owner, "SecureProg");
}

TEST_F(SecureProgTest, ControlsStatusLineAndOneSecondStartByMode) {
    ASSERT_NE(start(""), nullptr);
    struct Case {
        int mode;
        const char* status;
        int result; // nothing is protected and no folder is listed
    } const cases[] = {
        {kSecureModeRelease, "保護領域を解除中…", 9},
        {kSecureModeSetAgain, "保護領域を設定中…", 0},
        {kSecureModeSetNew, "保護領域を設定中…", 0},
    };
    const std::vector<ControlExpectation> controls = {
        {kIdSecureProgress, "msctls_progress32", "", 4, 61, 307, 21},
        {kIdSecureStatus, "Static", nullptr, 11, 10, 287, 20},
        {kIdPasswordLabel, "Static", "パスワードを入力してください：", 21, 37, 157, 15},
        {kIdPasswordEdit, "Edit", "", 180, 33, 96, 23},
        {kIdPasswordOk, "Button", "OK", 281, 34, 29, 21},
    };
    // The password row shows only when a password is asked for.
    struct Shown {
        int id;
        bool visible;
    } const shownAtFirst[] = {
        {kIdSecureProgress, true}, {kIdSecureStatus, true}, {kIdPasswordLabel, false},
        {kIdPasswordEdit, false},  {kIdPasswordOk, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode);
        CurrentKeyText = "unused";
        DWORD opened = 0;
        bool rowEverShown = false;
        std::vector<std::string> statuses;
        UserScript script;
        script.everyTick([&] {
            if (HWND prog = findDialog(kProgCaption)) {
                rowEverShown = rowEverShown || shown(GetDlgItem(prog, kIdPasswordEdit));
            }
        });
        script.then(
            "the window is open", [] { return findDialog(kProgCaption) != nullptr; },
            [&] {
                opened = GetTickCount();
                HWND prog = findDialog(kProgCaption);
                RECT outer;
                GetWindowRect(prog, &outer);
                EXPECT_EQ(outer.right - outer.left, 320);
                EXPECT_EQ(outer.bottom - outer.top, 120);
                EXPECT_NE(GetWindowLongA(prog, GWL_STYLE) & WS_SYSMENU, 0);
                EXPECT_FALSE(IsWindowEnabled(window()));
                statuses.push_back(windowText(GetDlgItem(prog, kIdSecureStatus)));
                EXPECT_EQ(controlMismatches(prog, controls, dialogFont(FontSlot::SecureProg)),
                          std::vector<std::string>{});
                for (const Shown& control : shownAtFirst) {
                    EXPECT_EQ(shown(GetDlgItem(prog, control.id)), control.visible) << control.id;
                }
                HWND edit = GetDlgItem(prog, kIdPasswordEdit);
                EXPECT_NE(GetWindowLongA(edit, GWL_STYLE) & ES_PASSWORD, 0);
                EXPECT_EQ(GetWindowLongA(GetDlgItem(prog, kIdPasswordOk), GWL_STYLE) & BS_TYPEMASK,
                          static_cast<LONG>(BS_DEFPUSHBUTTON));
                EXPECT_EQ(progressOf(prog), 0);
            });
        script.then(
            "half a second later", [&] { return GetTickCount() - opened >= 500; },
            [&] {
                HWND prog = findDialog(kProgCaption);
                ASSERT_NE(prog, nullptr) << "closed before its timer";
                statuses.push_back(windowText(GetDlgItem(prog, kIdSecureStatus)));
            });
        const DWORD before = GetTickCount();
        EXPECT_EQ(runSecureProg(window(), c.mode), c.result);
        const DWORD took = GetTickCount() - before;
        EXPECT_TRUE(script.done()) << script.waitingFor();
        EXPECT_GE(took, 950u);
        EXPECT_FALSE(rowEverShown);
        EXPECT_EQ(statuses, (std::vector<std::string>{c.status, c.status}));
        EXPECT_TRUE(IsWindowEnabled(window()));
        // Only a successful operation tells the key.
        EXPECT_EQ(CurrentKeyText, "unused");
    }
    // The store is made on the way, hidden.
    EXPECT_EQ(GetFileAttributesA(storeRoot().c_str()) & FILE_ATTRIBUTE_HIDDEN,
              static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN));
    EXPECT_FALSE(areaSet());
}

TEST_F(SecureProgTest, ProgressIsTheShareOfItemsDoneTruncated) {
    ASSERT_NE(start(""), nullptr);
    struct Step {
        UINT message;
        WPARAM done;
        LPARAM all;
        int position;
    } const steps[] = {
        {kMsgProtectProgress, 3, 7, 42},  {kMsgReleaseProgress, 2, 3, 66},
        {kMsgReleaseProgress, 1, 0, 66}, // no items at all: ignored
        {kMsgProtectProgress, 1, 1, 100}, {kMsgReleaseProgress, 0, 5, 0},
        {kMsgReleaseProgress, 1, 3, 33},
    };
    std::vector<int> positions;
    UserScript script;
    script.then(
        "the window is open", [] { return findDialog(kProgCaption) != nullptr; },
        [&] {
            HWND prog = findDialog(kProgCaption);
            for (const Step& step : steps) {
                SendMessageA(prog, step.message, step.done, step.all);
                positions.push_back(progressOf(prog));
            }
        });
    EXPECT_EQ(runSecureProg(window(), kSecureModeSetAgain), 0);
    EXPECT_TRUE(script.done());
    std::vector<int> expected;
    for (const Step& step : steps) {
        expected.push_back(step.position);
    }
    EXPECT_EQ(positions, expected);
}

TEST_F(SecureProgTest, PasswordRowThenReleaseAndSetAgainWithTheSameKey) {
    ASSERT_NE(start(""), nullptr);
    const std::string key = "Pass ソ表word";
    temp_.file("秘密\\a.txt", "alpha");
    temp_.file("秘密\\ソ\\表.txt", std::string("\0\x01\x02zz", 5));
    const std::string readOnly = temp_.file("秘密\\ro.txt", "read only");
    ASSERT_TRUE(SetFileAttributesA(readOnly.c_str(), FILE_ATTRIBUTE_READONLY));
    const std::string folder = temp_.at("秘密");
    const TreeState before = treeState(folder);
    ASSERT_EQ(protectThroughEngine({folder}, key), 1);
    listInSettings({folder}, 0);
    ASSERT_FALSE(support::pathExists(folder));

    struct Attempt {
        const char* what;
        std::string typed;
        bool enterKey; // else the OK button
        int result;
    } const attempts[] = {
        {"nothing typed", "", false, 3},
        {"other letter case", "pass ソ表word", true, 3},
        {"the password", key, false, 1},
    };
    for (const Attempt& attempt : attempts) {
        SCOPED_TRACE(attempt.what);
        bool stayedWhileRunning = false;
        UserScript script;
        script.then(
            "the password is asked for", [] { return passwordPrompt() != nullptr; },
            [&] {
                HWND prog = passwordPrompt();
                HWND edit = GetDlgItem(prog, kIdPasswordEdit);
                EXPECT_TRUE(shown(GetDlgItem(prog, kIdPasswordLabel)));
                EXPECT_TRUE(shown(GetDlgItem(prog, kIdPasswordOk)));
                EXPECT_EQ(GetFocus(), edit);
                typeInto(edit, attempt.typed);
                EXPECT_EQ(support::utf8(windowText(edit)), support::utf8(attempt.typed));
                if (attempt.enterKey) {
                    PostMessageA(edit, WM_KEYDOWN, VK_RETURN, 1);
                    return;
                }
                // The click starts the release; a second click and a close
                // request while it runs change nothing.
                SendMessageA(GetDlgItem(prog, kIdPasswordOk), BM_CLICK, 0, 0);
                SendMessageA(prog, WM_COMMAND, MAKEWPARAM(kIdPasswordOk, BN_CLICKED),
                             reinterpret_cast<LPARAM>(GetDlgItem(prog, kIdPasswordOk)));
                SendMessageA(prog, WM_CLOSE, 0, 0);
                stayedWhileRunning = IsWindow(prog) != FALSE;
            });
        EXPECT_EQ(runSecureProg(window(), kSecureModeRelease), attempt.result);
        EXPECT_TRUE(script.done()) << script.waitingFor();
        if (!attempt.enterKey) {
            EXPECT_TRUE(stayedWhileRunning);
        }
        if (attempt.result == 3) {
            // Still set, with the index in its scrambled form.
            EXPECT_EQ(support::readFile(indexPath()).substr(0, 4), "PWSF");
            EXPECT_FALSE(support::pathExists(folder));
            EXPECT_EQ(CurrentKeyText, "");
        }
    }
    EXPECT_EQ(CurrentKeyText, key);
    EXPECT_FALSE(areaSet());
    EXPECT_TRUE(treeState(folder).files == before.files);

    // Setting again takes the key that opened the area, without asking; the settings'
    // type 0 leaves note files.
    bool asked = false;
    UserScript quiet;
    quiet.everyTick([&] { asked = asked || passwordPrompt() != nullptr; });
    EXPECT_EQ(runSecureProg(window(), kSecureModeSetAgain), 1);
    EXPECT_FALSE(asked);
    EXPECT_TRUE(areaSet());
    EXPECT_EQ(support::listFolder(folder), (std::vector<std::string>{securetest::kNoteName, "ソ"}));
    EXPECT_EQ(releaseThroughEngine(key), 1);
    EXPECT_TRUE(treeState(folder).files == before.files);
}

// Whether the close box of the window can be pressed.
bool closeBoxEnabled(HWND window) {
    if ((GetWindowLongA(window, GWL_STYLE) & WS_SYSMENU) == 0) {
        return false;
    }
    const UINT state = GetMenuState(GetSystemMenu(window, FALSE), SC_CLOSE, MF_BYCOMMAND);
    return state != static_cast<UINT>(-1) && (state & (MF_GRAYED | MF_DISABLED)) == 0;
}

// A user who does not know the password gets out with Esc or the close box; the area stays
// set, as after a wrong password, and no key is learnt.
TEST_F(SecureProgTest, EscOrTheCloseBoxCancelsThePasswordPrompt) {
    ASSERT_NE(start(""), nullptr);
    temp_.file("秘密\\a.txt", "alpha");
    const std::string folder = temp_.at("秘密");
    ASSERT_EQ(protectThroughEngine({folder}, "pw"), 1);
    listInSettings({folder}, 0);

    struct Way {
        const char* name;
        void (*leave)(HWND prompt);
    } const ways[] = {
        {"Esc key",
         [](HWND prompt) {
             PostMessageA(GetDlgItem(prompt, kIdPasswordEdit), WM_KEYDOWN, VK_ESCAPE, 1);
         }},
        {"close box", [](HWND prompt) { pressCloseBox(prompt); }},
    };
    for (const Way& way : ways) {
        SCOPED_TRACE(way.name);
        bool closable = false;
        UserScript script;
        script.setPatience(15000);
        script.then(
            "the password is asked for", [] { return passwordPrompt() != nullptr; },
            [&] {
                HWND prompt = passwordPrompt();
                closable = closeBoxEnabled(prompt);
                typeInto(GetDlgItem(prompt, kIdPasswordEdit), "p");
                way.leave(prompt);
            });
        EXPECT_EQ(runSecureProg(window(), kSecureModeRelease), 0);
        EXPECT_TRUE(script.done()) << script.waitingFor();
        EXPECT_FALSE(script.gaveUp());
        EXPECT_TRUE(closable);
        EXPECT_TRUE(areaSet());
        EXPECT_FALSE(support::pathExists(folder));
        EXPECT_EQ(CurrentKeyText, "");
    }
}

// Setting the area cannot be cancelled: a folder left open by a stray click would lie
// unprotected without a word. The close box is grey and does nothing.
TEST_F(SecureProgTest, TheCloseBoxDoesNotStopASet) {
    ASSERT_NE(start(""), nullptr);
    temp_.file("秘密\\a.txt", "alpha");
    const std::string folder = temp_.at("秘密");
    listInSettings({folder}, 0);
    CurrentKeyText = "pw";
    bool closable = true;
    UserScript script;
    script.then(
        "the window is open", [] { return findDialog(kProgCaption) != nullptr; },
        [&] {
            HWND prog = findDialog(kProgCaption);
            closable = closeBoxEnabled(prog);
            pressCloseBox(prog);
            SendMessageA(prog, WM_COMMAND, IDCANCEL, 0);
        });
    EXPECT_EQ(runSecureProg(window(), kSecureModeSetAgain), 1);
    EXPECT_TRUE(script.done()) << script.waitingFor();
    EXPECT_FALSE(closable);
    EXPECT_TRUE(areaSet());
    EXPECT_FALSE(support::pathExists(folder + "\\a.txt"));
    EXPECT_EQ(releaseThroughEngine("pw"), 1);
    EXPECT_EQ(support::readFile(folder + "\\a.txt"), "alpha");
}

TEST_F(SecureProgTest, KeyFileAreaReleasesWithoutAskingUntilTheKeyFileIsGone) {
    ASSERT_NE(start(""), nullptr);
    const std::string keyFile = temp_.file("鍵\\予定.key", "key bytes");
    temp_.file("写真表\\p.jpg", "jpeg");
    const std::string folder = temp_.at("写真表");
    ASSERT_EQ(protectThroughEngine({folder}, keyFile), 1);
    listInSettings({folder});

    bool asked = false;
    UserScript script;
    script.everyTick([&] { asked = asked || passwordPrompt() != nullptr; });
    EXPECT_EQ(runSecureProg(window(), kSecureModeRelease), 1);
    EXPECT_EQ(CurrentKeyText, keyFile);
    EXPECT_EQ(support::readFile(folder + "\\p.jpg"), "jpeg");

    ASSERT_EQ(protectThroughEngine({folder}, keyFile), 1);
    ASSERT_TRUE(DeleteFileA(keyFile.c_str()));
    CurrentKeyText.clear();
    EXPECT_EQ(runSecureProg(window(), kSecureModeRelease), 3);
    EXPECT_FALSE(asked);
    EXPECT_EQ(CurrentKeyText, "");
    EXPECT_TRUE(areaSet());
    EXPECT_FALSE(support::pathExists(folder));
}

TEST_F(SecureProgTest, AFinishedMessageBeforeTheWorkerEndsWaitsForItsResult) {
    // A finished message that arrives while the worker still moves files (here one posted
    // by hand right after the protect began) must not close the window with 0: the window
    // waits for the worker's thread however long it takes, handling messages meanwhile.
    ASSERT_NE(start(""), nullptr);
    const std::string folder = temp_.folder("多い");
    for (int i = 0; i < 1500; ++i) {
        temp_.file("多い\\f" + std::to_string(i) + ".txt", std::to_string(i));
    }
    listInSettings({folder});
    CurrentKeyText = "pw";
    bool postedWhileRunning = false;
    int progressAfterEarlyEnd = -1;
    UserScript script;
    script.then(
        "the protect has begun", [&] { return support::pathExists(indexPath()); },
        [&] {
            HWND prog = findDialog(kProgCaption);
            ASSERT_NE(prog, nullptr);
            postedWhileRunning = support::listFolder(folder).size() > 100;
            PostMessageA(prog, kMsgSecureFinished, 0, 0);
        });
    script.then(
        "the window still follows the progress",
        [] {
            HWND prog = findDialog(kProgCaption);
            return prog != nullptr && progressOf(prog) == 100;
        },
        [&] { progressAfterEarlyEnd = 100; });
    EXPECT_EQ(runSecureProg(window(), kSecureModeSetAgain), 1);
    EXPECT_TRUE(postedWhileRunning);
    EXPECT_EQ(progressAfterEarlyEnd, 100);
    EXPECT_TRUE(areaSet());
    EXPECT_FALSE(support::pathExists(folder));
    EXPECT_EQ(releaseThroughEngine("pw"), 1);
    EXPECT_EQ(support::listFolder(folder).size(), 1500u);
}

} // namespace
