#include "user_script.h"

#include <algorithm>
#include <cstring>

#include "ui/dialog_host.h"

namespace {

constexpr UINT_PTR kTickTimer = 1;
constexpr UINT kTickMs = 15;
const char kScriptClass[] = "SyncoravelTestUserScript";

struct FindArgument {
    const char* className;
    const char* caption;
    HWND found;
};

BOOL CALLBACK matchWindow(HWND window, LPARAM argument) {
    auto* find = reinterpret_cast<FindArgument*>(argument);
    char className[64] = {};
    GetClassNameA(window, className, sizeof className);
    char caption[256] = {};
    GetWindowTextA(window, caption, sizeof caption);
    if (std::strcmp(className, find->className) == 0 && std::strcmp(caption, find->caption) == 0 &&
        IsWindowVisible(window)) {
        find->found = window;
        return FALSE;
    }
    return TRUE;
}

HWND findThreadWindow(const char* className, const char* caption) {
    FindArgument find{className, caption, nullptr};
    EnumThreadWindows(GetCurrentThreadId(), &matchWindow, reinterpret_cast<LPARAM>(&find));
    return find.found;
}

} // namespace

UserScript::UserScript() {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = &procedure;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = kScriptClass;
    RegisterClassA(&windowClass);
    window_ = CreateWindowA(kScriptClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                            GetModuleHandleA(nullptr), nullptr);
    SetWindowLongPtrA(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetTimer(window_, kTickTimer, kTickMs, nullptr);
}

UserScript::~UserScript() {
    KillTimer(window_, kTickTimer);
    SetWindowLongPtrA(window_, GWLP_USERDATA, 0);
    DestroyWindow(window_);
}

UserScript& UserScript::then(std::string what, std::function<bool()> ready,
                             std::function<void()> act) {
    steps_.push_back(Step{std::move(what), std::move(ready), std::move(act)});
    return *this;
}

std::string UserScript::waitingFor() const {
    return done() ? std::string("nothing") : steps_[next_].what;
}

LRESULT CALLBACK UserScript::procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<UserScript*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (message == WM_TIMER && self != nullptr) {
        self->tick();
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

void UserScript::tick() {
    if (gaveUp_) {
        endModalWindows();
        return;
    }
    if (acting_) {
        return;
    }
    acting_ = true;
    if (observe_) {
        observe_();
    }
    if (waitingSince_ == 0) {
        waitingSince_ = GetTickCount();
    }
    if (done()) {
        // Windows that outlive the script by far would keep the test in their loops.
        if (GetTickCount() - waitingSince_ > patienceMs_ && programWindowOpen()) {
            gaveUp_ = true;
        }
        acting_ = false;
        return;
    }
    Step& step = steps_[next_];
    if (step.ready()) {
        ++next_;
        waitingSince_ = 0;
        if (step.act) {
            step.act();
        }
    } else if (GetTickCount() - waitingSince_ > patienceMs_) {
        gaveUp_ = true;
    }
    acting_ = false;
}

namespace {

BOOL CALLBACK collectModal(HWND window, LPARAM argument) {
    char className[64] = {};
    GetClassNameA(window, className, sizeof className);
    if (std::strcmp(className, "NORMALDLG") == 0 && IsWindow(window)) {
        reinterpret_cast<std::vector<HWND>*>(argument)->push_back(window);
    }
    return TRUE;
}

} // namespace

bool UserScript::programWindowOpen() {
    std::vector<HWND> windows;
    EnumThreadWindows(GetCurrentThreadId(), &collectModal, reinterpret_cast<LPARAM>(&windows));
    return !windows.empty();
}

// One window per tick: each ends one nested loop, and the next tick runs in the loop
// around it.
void UserScript::endModalWindows() {
    std::vector<HWND> windows;
    EnumThreadWindows(GetCurrentThreadId(), &collectModal, reinterpret_cast<LPARAM>(&windows));
    if (windows.empty()) {
        return;
    }
    // The last one created is the innermost.
    HWND innermost = windows.front();
    for (HWND window : windows) {
        if (GetWindow(window, GW_OWNER) != nullptr &&
            std::find(windows.begin(), windows.end(), GetWindow(window, GW_OWNER)) !=
                windows.end()) {
            innermost = window;
        }
    }
    CloseDialog(innermost, 0);
}

HWND findDialog(const char* caption) {
    return findThreadWindow("NORMALDLG", caption);
}

HWND findSystemDialog(const char* caption) {
    return findThreadWindow("#32770", caption);
}
