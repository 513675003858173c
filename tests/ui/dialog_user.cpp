#include "dialog_user.h"

#include <cstring>

#include "support/files.h"
#include "ui/application.h"
#include "ui/dialog_host.h"
#include "ui/ui_ids.h"

namespace {

struct Search {
    DWORD processId;
    const char* className;
    const char* caption;
    HWND found;
};

BOOL CALLBACK matchWindow(HWND window, LPARAM argument) {
    auto* search = reinterpret_cast<Search*>(argument);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process != search->processId || !IsWindowVisible(window)) {
        return TRUE;
    }
    char className[64] = {};
    GetClassNameA(window, className, sizeof className);
    if (std::strcmp(className, search->className) != 0) {
        return TRUE;
    }
    if (search->caption != nullptr && textOf(window) != search->caption) {
        return TRUE;
    }
    search->found = window;
    return FALSE;
}

} // namespace

DialogUser::DialogUser(const char* className, const char* caption, std::function<void(HWND)> script)
    : thread_([this, className, caption, script] {
          HWND window = waitForOwnWindow(className, caption);
          if (window != nullptr) {
              script(window);
              // A script that failed half-way must not leave the test's thread in the
              // modal loop for ever.
              const DWORD windowThread = GetWindowThreadProcessId(window, nullptr);
              if (!waitUntil([&] { return !IsWindow(window); }, 10000)) {
                  leftOpen_ = true;
                  PostMessageA(window, WM_CLOSE, 0, 0);
              }
              // Nor in a loop that outlives its window.
              if (!waitUntil([&] { return modalLoopEnded_.load(); }, 10000)) {
                  loopStuck_ = true;
                  PostThreadMessageA(windowThread, WM_QUIT, 0, 0);
              }
          }
          finished_ = true;
      }) {}

DialogUser::~DialogUser() {
    thread_.join();
}

HWND waitForOwnWindow(const char* className, const char* caption, DWORD timeoutMs) {
    return waitForWindowOf(GetCurrentProcessId(), className, caption, timeoutMs);
}

HWND waitForWindowOf(DWORD processId, const char* className, const char* caption, DWORD timeoutMs) {
    Search search{processId, className, caption, nullptr};
    waitUntil(
        [&] {
            EnumWindows(&matchWindow, reinterpret_cast<LPARAM>(&search));
            return search.found != nullptr;
        },
        timeoutMs);
    return search.found;
}

bool waitUntil(const std::function<bool()>& condition, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    while (!condition()) {
        if (GetTickCount() - start >= timeoutMs) {
            return false;
        }
        Sleep(10);
    }
    return true;
}

DialogTest::DialogTest() {
    registerDialogs();
}

void DialogTest::runAsUser(int command, const char* caption, std::function<void(HWND)> script) {
    DialogUser user(kDialogClass, caption, std::move(script));
    menu(command);
    // The pump looks at the condition only between messages, so only after the command
    // (and the dialog's loop inside it) has returned.
    EXPECT_TRUE(waitFor(
        [&] {
            user.modalLoopEnded();
            return user.finished();
        },
        120000));
    EXPECT_FALSE(user.leftOpen());
    EXPECT_FALSE(user.loopStuck());
}

int DialogTest::runDialogAsUser(const char* name, const char* caption,
                                std::function<void(HWND)> script) {
    DialogUser user(kDialogClass, caption, std::move(script));
    const int result = RunDialog(window(), name);
    user.modalLoopEnded();
    EXPECT_TRUE(waitFor([&] { return user.finished(); }, 30000));
    EXPECT_FALSE(user.leftOpen());
    EXPECT_FALSE(user.loopStuck());
    return result;
}

namespace {

int characters(const std::string& text) {
    return MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
}

} // namespace

void selectInEditor(HWND editor, const std::string& before, const std::string& selected,
                    const std::string& after) {
    SetWindowTextA(editor, (before + selected + after).c_str());
    // The edit control counts its selection in characters.
    SendMessageW(editor, EM_SETSEL, characters(before), characters(before + selected));
}

void expectBox(const support::SeenBox& seen, const ExpectedBox& expected) {
    EXPECT_EQ(seen.caption, "Syncoravel");
    EXPECT_EQ(seen.text, expected.text) << support::utf8(seen.text);
    switch (expected.icon) {
    case ExpectedBox::kNone:
        EXPECT_FALSE(seen.anyIcon);
        break;
    case ExpectedBox::kQuestion:
        EXPECT_TRUE(seen.questionIcon);
        break;
    case ExpectedBox::kExclamation:
        EXPECT_TRUE(seen.anyIcon && !seen.questionIcon && !seen.informationIcon && !seen.errorIcon);
        break;
    }
    EXPECT_EQ(seen.buttons, expected.buttons);
    EXPECT_TRUE(seen.expected);
}
