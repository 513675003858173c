#include "secure_window_fixture.h"

#include <cstring>
#include <set>

#include "secure/secure_context.h"
#include "settings/settings_file.h"
#include "support/files.h"
#include "ui/dialog_controls.h"
#include "ui/secure_folders_dialog.h"
#include "ui/secure_prog_window.h"
#include "ui/secure_state.h"

const char kFoldersCaption[] = "保護するフォルダ";
const char kProgCaption[] = "保護領域";

namespace {

std::vector<std::string>* eventLog = nullptr;
std::function<void(const std::string&)> eventProbe;
std::set<HWND> loggedBoxes;
HHOOK boxHook = nullptr;

void logEvent(const std::string& event) {
    if (eventLog != nullptr) {
        eventLog->push_back(event);
    }
    if (eventProbe) {
        eventProbe(event);
    }
}

// A message box becomes active once it is built; each one is logged once.
LRESULT CALLBACK watchBoxes(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_ACTIVATE) {
        HWND window = reinterpret_cast<HWND>(wParam);
        char className[64] = {};
        GetClassNameA(window, className, sizeof className);
        if (std::strcmp(className, "#32770") == 0 && loggedBoxes.insert(window).second) {
            logEvent("box");
        }
    }
    return CallNextHookEx(boxHook, code, wParam, lParam);
}

struct EnumArgument {
    const char* caption;
    bool found;
};

BOOL CALLBACK matchCaption(HWND window, LPARAM argument) {
    auto* find = reinterpret_cast<EnumArgument*>(argument);
    char caption[256] = {};
    GetWindowTextA(window, caption, sizeof caption);
    if (std::strcmp(caption, find->caption) == 0) {
        find->found = true;
        return FALSE;
    }
    return TRUE;
}

std::vector<std::string> loggedEvents;

} // namespace

void logTestEvent(const std::string& event) { logEvent(event); }

void setEventProbe(std::function<void(const std::string&)> probe) {
    eventProbe = std::move(probe);
}

bool dialogOpen(const char* caption) {
    EnumArgument find{caption, false};
    EnumThreadWindows(GetCurrentThreadId(), &matchCaption, reinterpret_cast<LPARAM>(&find));
    return find.found;
}

HWND foldersDialog() {
    return findDialog(kFoldersCaption);
}

HWND itemOf(int id) {
    return GetDlgItem(foldersDialog(), id);
}

std::string listText() {
    return windowText(itemOf(kIdFolderList));
}

bool loadedAndIdle() {
    HWND dialog = foldersDialog();
    // The list says so while the dialog loads.
    return dialog != nullptr && IsWindowEnabled(dialog) && !dialogOpen(kProgCaption) &&
           listText() != "読み込み中…";
}

std::string platformText(DWORD error) {
    char* text = nullptr;
    FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                       FORMAT_MESSAGE_IGNORE_INSERTS,
                   nullptr, error, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string result = text != nullptr ? text : "";
    LocalFree(text);
    while (!result.empty() &&
           (result.back() == '\r' || result.back() == '\n' || result.back() == ' ')) {
        result.pop_back();
    }
    return result + "（Windows のエラーコード：" + std::to_string(error) + "）";
}

SecureWindowTest::SecureWindowTest() {
    SecureMode = 0;
    CurrentKeyText.clear();
    loggedEvents.clear();
    eventLog = &loggedEvents;
    loggedBoxes.clear();
    boxHook = SetWindowsHookExA(WH_CBT, &watchBoxes, nullptr, GetCurrentThreadId());
    setTestDialog("SecureProg", [](HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_INITDIALOG) {
            logEvent("SecureProg " + std::to_string(SecureMode));
        } else if (message == WM_DESTROY) {
            logEvent("SecureProg end");
        }
        return secureProgProcedure(window, message, wParam, lParam);
    });
    setTestDialog("SecureFlds", [](HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_INITDIALOG) {
            logEvent("SecureFlds");
        } else if (message == WM_DESTROY) {
            logEvent("SecureFlds end");
        }
        return secureFoldersProcedure(window, message, wParam, lParam);
    });
}

SecureWindowTest::~SecureWindowTest() {
    close();
    if (boxHook != nullptr) {
        UnhookWindowsHookEx(boxHook);
        boxHook = nullptr;
    }
    eventLog = nullptr;
    eventProbe = nullptr;
    CurrentKeyText.clear();
}

bool SecureWindowTest::areaSet() const {
    return support::pathExists(indexPath());
}

int SecureWindowTest::protectThroughEngine(const std::vector<std::string>& folders,
                                           const std::string& key, bool hide) const {
    SecureContext context(storeRoot());
    context.setIndexScrambling(1);
    context.setHideFolders(hide ? 1 : 0);
    context.setKeyText(key);
    for (const std::string& folder : folders) {
        context.addFolder(folder);
    }
    context.startProtect();
    return context.resultCode();
}

int SecureWindowTest::releaseThroughEngine(const std::string& key) const {
    SecureContext context(storeRoot());
    context.setIndexScrambling(1);
    context.setKeyText(key);
    context.startRelease();
    return context.resultCode();
}

void SecureWindowTest::listInSettings(const std::vector<std::string>& folders, int type) const {
    StringList list;
    for (const std::string& folder : folders) {
        list.append(folder);
    }
    StringList rejected;
    SettingsFile(location_).WriteSecurePaths(type, &list, &rejected);
}

std::string SecureWindowTest::secureSetting(const std::string& key) const {
    char value[1284] = {};
    GetPrivateProfileStringA("SecurePath", key.c_str(), "(none)", value, sizeof value,
                             programFile("Pairwarden.ini").c_str());
    return value;
}

std::vector<std::string> SecureWindowTest::settingsFolders() const {
    std::vector<std::string> folders;
    for (int n = 1;; ++n) {
        const std::string value = secureSetting("TargetSecure" + std::to_string(n));
        if (value == "(none)") {
            return folders;
        }
        folders.push_back(value);
    }
}

bool SecureWindowTest::play(const UserScript& script, DWORD timeoutMs) {
    return waitFor(
               [&] {
                   return (script.done() || script.gaveUp()) && !dialogOpen(kFoldersCaption) &&
                          !dialogOpen(kProgCaption);
               },
               timeoutMs) &&
           script.done() && !script.gaveUp();
}

std::vector<std::string> SecureWindowTest::events() const {
    return loggedEvents;
}

HWND SecureWindowTest::passwordPrompt() {
    HWND window = findDialog(kProgCaption);
    return window != nullptr && shown(GetDlgItem(window, kIdPasswordEdit)) ? window : nullptr;
}
