#include "ui/secure_folders_dialog.h"

#include <shellapi.h>

#include "base/file_system.h"
#include "base/path.h"
#include "base/folder_identity.h"
#include "base/scoped_handle.h"
#include "base/string_list.h"
#include "base/text_buffer.h"
#include "secure/secure_results.h"
#include "settings/settings_file.h"
#include "ui/dialog_controls.h"
#include "ui/dialog_host.h"
#include "ui/file_open_dialog.h"
#include "ui/secure_state.h"
#include "ui/secure_texts.h"
#include "ui/shell_owners.h"
#include "ui/ui_ids.h"
#include "ui/ui_resources.h"
#include "ui/window_record.h"

namespace {

constexpr UINT kLoadDelayMs = 500;
// The store takes no folder with a path shorter than this (a drive root).
constexpr std::size_t kShortestFolder = 4;

const char kInstructions[] =
    "隠し保管場所に移して保護するフォルダをフルパスで一行ずつ入力するか、\r\n"
    "もしくはドラッグ＆ドロップで追加してください。\r\n"
    "※Syncoravel の格納先と同じパーティションに限ります。\r\n";

struct SecureFoldersState {
    HWND window = nullptr;
    bool loaded = false;
    // A release or setting, a message or a file dialog is open over the dialog: a close
    // request or a click that arrives meanwhile must not start another apply.
    bool busy = false;
    std::string loadedList;
};

constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;
constexpr DWORD kPushButton = kChild | WS_TABSTOP | BS_PUSHBUTTON;
constexpr DWORD kRadio = kChild | WS_TABSTOP | BS_AUTORADIOBUTTON;
constexpr DWORD kPasswordEdit = kChild | WS_TABSTOP | ES_PASSWORD | ES_AUTOHSCROLL;

const ControlEntry kControls[] = {
    {kIdFolderList, "EDIT", "", WS_EX_CLIENTEDGE,
     kChild | WS_TABSTOP | WS_VSCROLL | WS_HSCROLL | ES_MULTILINE | ES_AUTOVSCROLL |
         ES_AUTOHSCROLL | ES_WANTRETURN,
     11, 47, 453, 83},
    {kIdFoldersOk, "BUTTON", "OK", 0, kPushButton, 348, 230, 110, 24},
    {kIdPassword, "EDIT", "", WS_EX_CLIENTEDGE, kPasswordEdit, 48, 210, 132, 20},
    {kIdKeepKey, "BUTTON", "解除キーを変更しない", 0, kRadio, 27, 164, 139, 15},
    {kIdKeyByPassword, "BUTTON", "解除キーをパスワードで設定／変更する", 0, kRadio, 27, 190, 232,
     15},
    {kIdKeyByFile, "BUTTON", "解除キーをファイルで設定／変更する", 0, kRadio, 27, 263, 242, 15},
    {kIdBrowseKeyFile, "BUTTON", "参照", 0, kPushButton, 279, 282, 40, 22},
    {kIdInstructions, "STATIC", "ユーザ通知", 0, kChild, 16, 6, 447, 38},
    {kIdPasswordAgain, "EDIT", "", WS_EX_CLIENTEDGE, kPasswordEdit, 48, 238, 132, 20},
    {kIdKeyFile, "EDIT", "", WS_EX_CLIENTEDGE, kChild | WS_TABSTOP | ES_AUTOHSCROLL, 48, 283, 227,
     22},
    {kIdResetList, "BUTTON", "リセット", 0, kPushButton, 348, 275, 110, 24},
    {kIdKeyGroup, "BUTTON", "解除キーの設定", 0, kChild | BS_GROUPBOX, 12, 141, 315, 177},
    {kIdHideFolders, "BUTTON", "保護フォルダを隠す", 0, kChild | WS_TABSTOP | BS_AUTOCHECKBOX, 30,
     345, 186, 20},
    {kIdFormGroup, "BUTTON", "保護形式", 0, kChild | BS_GROUPBOX, 13, 325, 312, 50},
};

HWND item(const SecureFoldersState& state, int id) {
    return GetDlgItem(state.window, id);
}

bool checked(const SecureFoldersState& state, int id) {
    return SendMessageA(item(state, id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void setChecked(const SecureFoldersState& state, int id, bool on) {
    SendMessageA(item(state, id), BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
}

// A box over the dialog with the system's own caption, an OK button and no icon.
void tell(SecureFoldersState& state, const std::string& text) {
    state.busy = true;
    MessageBoxA(state.window, text.c_str(), nullptr, MB_OK);
    state.busy = false;
}

int runSecureWindow(SecureFoldersState& state, int mode) {
    SecureMode = mode;
    state.busy = true;
    const int result = RunDialog(state.window, "SecureProg");
    state.busy = false;
    return result;
}

void createControls(HWND window) {
    ::createControls(window, kControls, dialogFont(FontSlot::SecureFlds));
    // A long list of long paths must fit.
    SendMessageA(GetDlgItem(window, kIdFolderList), EM_SETLIMITTEXT, 0, 0);
}

LRESULT onInitDialog(SecureFoldersState& state) {
    createControls(state.window);
    SetWindowTextA(item(state, kIdInstructions), kInstructions);
    SetWindowTextA(item(state, kIdFolderList), "読み込み中…");
    SetTimer(state.window, kTimerLoad, kLoadDelayMs, nullptr);
    return 0;
}

// The whole area is released first, so that every protected folder is back in its place
// while the user edits the list.
void load(SecureFoldersState& state) {
    const int result = runSecureWindow(state, kSecureModeRelease);
    if (result == secure::kResultWrongKey) {
        tell(state, "パスワードが違います。\r\n保護フォルダへアクセスできません。\r\n" +
                        errorCodeText(result));
        CloseDialog(state.window, 0);
        return;
    }
    if (result == secure::kResultNone) {
        // The password was not given (the window was closed): the area is still set, and
        // an apply would only meet it.
        CloseDialog(state.window, 0);
        return;
    }
    if (result == secure::kResultNoIndex) {
        EnableWindow(item(state, kIdKeepKey), FALSE);
    } else if (!secureAreaReleased(result)) {
        // The area is still set (files wait in the store for places that are taken, or its
        // index could not be read or removed): an apply would only meet it.
        tell(state, secureReleaseFailedText(LastSecureOutcome));
        CloseDialog(state.window, 0);
        return;
    } else if (result != secure::kResultDone) {
        // Released, but not whole: the user hears what was left where, and goes on.
        tell(state, secureReleasedWithTroubleText(LastSecureOutcome));
    }

    HWND list = item(state, kIdFolderList);
    SetWindowTextA(list, "");
    const SettingsFile settings(secureLocation());
    StringList folders;
    if (settings.ReadSecurePaths(folders) > 0) {
        std::string text;
        for (const std::string& folder : folders) {
            if (folderExists(folder)) {
                text += folder;
            }
            text += "\r\n";
        }
        SetWindowTextA(list, text.c_str());
        setChecked(state, kIdKeepKey, true);
    } else {
        EnableWindow(item(state, kIdKeepKey), FALSE);
        setChecked(state, kIdKeyByPassword, true);
    }
    state.loadedList = windowText(list);
    setChecked(state, kIdHideFolders, (settings.ReadSecureType() & 1) != 0);
    state.loaded = true;
}

LRESULT onTimer(SecureFoldersState& state, UINT_PTR id) {
    KillTimer(state.window, id);
    if (id == kTimerLoad && !state.loaded && !state.busy) {
        load(state);
    }
    return 0;
}

void emptySecureSection() {
    SettingsFile(secureLocation()).WriteSecurePaths(0, nullptr, nullptr);
}

std::string rejectedText(const StringList& rejected) {
    std::string text = "以下のフォルダは保護設定できません。\r\n"
                       "（格納先のパーティションが異なります。）\r\n\r\n";
    for (const std::string& folder : rejected) {
        text += folder + "\r\n";
    }
    text += "\r\n上記のフォルダ以外の保護設定を実行する場合は「ＯＫ」を、\r\n"
            "フォルダ設定をやり直す場合は「キャンセル」をおしてください。\r\n";
    return text;
}

// Whether the path lies in one of the folders.
bool insideAny(const std::string& path, const std::vector<std::string>& folders) {
    for (const std::string& folder : folders) {
        if (FolderPlace::isSameOrInside(path, folder)) {
            return true;
        }
    }
    return false;
}

// Which key the setting uses. False, after telling the user, when none can be taken.
bool chooseKey(SecureFoldersState& state, const std::vector<std::string>& folders, int& mode,
               std::string& newKey) {
    const char* problem = nullptr;
    if (checked(state, kIdKeyByPassword)) {
        const std::string password = windowText(item(state, kIdPassword));
        const std::string again = windowText(item(state, kIdPasswordAgain));
        if (!password.empty() && password == again) {
            mode = kSecureModeSetNew;
            newKey = password;
            return true;
        }
        problem = password.empty() ? "パスワードが入力されていません。"
                                   : "パスワードが確認用と一致しません。";
    } else if (checked(state, kIdKeyByFile)) {
        const std::string keyFile = windowText(item(state, kIdKeyFile));
        if (!fileExists(keyFile) && !folderExists(keyFile)) {
            problem = "パスファイルが存在しません。";
        } else if (insideAny(keyFile, folders)) {
            // It would go into the store with the folder, and nothing could open it again.
            problem = "キーファイルを保護するフォルダの中に置くことはできません。";
        } else {
            mode = kSecureModeSetNew;
            newKey = keyFile;
            return true;
        }
    } else if (checked(state, kIdKeepKey)) {
        mode = kSecureModeSetAgain;
        return true;
    } else {
        problem = "パスワード／パスファイルを設定してください。";
    }
    tell(state, problem);
    return false;
}

// Writes the list to the settings file and sets the area with the chosen key; the dialog
// closes when the area is set (or there is nothing to set), else it stays open with the
// secure section emptied.
void apply(SecureFoldersState& state) {
    const int type = checked(state, kIdHideFolders) ? 1 : 0;
    const std::vector<std::string> accepted =
        acceptedFolderLines(windowText(item(state, kIdFolderList)));
    const SettingsFile settings(secureLocation());
    if (accepted.empty()) {
        settings.WriteSecurePaths(0, nullptr, nullptr);
        CloseDialog(state.window, 1);
        return;
    }
    StringList folders;
    for (const std::string& folder : accepted) {
        folders.append(folder);
    }
    StringList rejected;
    settings.WriteSecurePaths(type, &folders, &rejected);
    if (!rejected.empty()) {
        state.busy = true;
        const int answer = MessageBoxA(state.window, rejectedText(rejected).c_str(), kProductTitle,
                                       MB_OKCANCEL | MB_ICONINFORMATION);
        state.busy = false;
        if (answer != IDOK) {
            emptySecureSection();
            return;
        }
    }

    int mode = kSecureModeSetAgain;
    std::string newKey;
    if (!chooseKey(state, accepted, mode, newKey)) {
        emptySecureSection();
        return;
    }
    if (mode == kSecureModeSetNew) {
        CurrentKeyText = newKey;
    }
    // A drive root ("D:") passes as an existing folder, but the settings file cannot hold
    // it, so the set would never see it and close as if it were protected. The store
    // refuses such a folder anyway; the user hears so as from the store itself.
    const std::string& drive = secureLocation().drivePrefix;
    for (const std::string& folder : accepted) {
        if (folder.compare(0, 2, drive) == 0 && folder.size() < kShortestFolder) {
            SecureOutcome refused;
            refused.resultCode = secure::kResultShortPath;
            tell(state, secureSetFailedText(refused));
            emptySecureSection();
            return;
        }
    }
    const int result = runSecureWindow(state, mode);
    if (result == secure::kResultDone || result == secure::kResultNone) {
        CloseDialog(state.window, 1);
        return;
    }
    // The area is set, with files of the listed folders in the store: the list stays, so
    // that the next release brings them back, and the user hears which part failed.
    if (result == secure::kResultNotAllProtected || result == secure::kResultIndexPlain) {
        tell(state, secureSetFailedText(LastSecureOutcome));
        CloseDialog(state.window, 1);
        return;
    }
    // Anything else leaves folders open that the list says are protected: the user must
    // hear of it, and the dialog stays so that it can be tried again.
    tell(state, secureSetFailedText(LastSecureOutcome));
    emptySecureSection();
}

void putLoadedListBack(SecureFoldersState& state) {
    SetWindowTextA(item(state, kIdFolderList), state.loadedList.c_str());
}

void chooseKeyFile(SecureFoldersState& state) {
    WIN32_FIND_DATAA found;
    const FindHandle search(FindFirstFileA("D:\\*", &found));
    static const char kFilter[] = "全てのファイル(*.*)\0*\0";
    FileOpenRequest request;
    request.owner = state.window;
    request.filter.assign(kFilter, sizeof kFilter);
    request.startName = search ? "D:\\*.*" : "C:\\*.*";
    request.title = "キーとするファイルを選択してください。";
    request.flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
    state.busy = true;
    std::string chosen;
    const bool ok = chooseFileToOpen(request, chosen);
    state.busy = false;
    if (ok) {
        SetWindowTextA(item(state, kIdKeyFile), chosen.c_str());
    }
}

LRESULT onCommand(SecureFoldersState& state, int id, int notification) {
    if (notification != BN_CLICKED || !state.loaded || state.busy) {
        return 0;
    }
    switch (id) {
    case kIdFoldersOk:
        apply(state);
        break;
    case kIdResetList:
        putLoadedListBack(state);
        break;
    case kIdBrowseKeyFile:
        chooseKeyFile(state);
        break;
    default:
        break;
    }
    return 0;
}

std::string droppedName(HDROP drop, UINT index) {
    TextBuffer name;
    DragQueryFileA(drop, index, name.data(), static_cast<UINT>(name.size() - 1));
    return name.text();
}

LRESULT onDropFiles(SecureFoldersState& state, HDROP handle) {
    const DropHandle drop(handle);
    if (!state.loaded || state.busy) {
        return 0; // the load would overwrite what was dropped
    }
    const UINT count = DragQueryFileA(drop.get(), 0xFFFFFFFF, nullptr, 0);
    if (count == 0) {
        return 0;
    }
    const std::string first = droppedName(drop.get(), 0);
    if (fileExists(first)) {
        SetWindowTextA(item(state, kIdKeyFile), first.c_str());
        return 0;
    }
    HWND list = item(state, kIdFolderList);
    std::string text = windowText(list);
    for (UINT i = 0; i < count; ++i) {
        const std::string name = droppedName(drop.get(), i);
        if (folderExists(name)) {
            text += "\r\n" + name;
        }
    }
    SetWindowTextA(list, text.c_str());
    return 0;
}

// The close box sets the area again as it was when the dialog opened, with the key that
// released it. Before the load nothing was released, and the list is not known yet.
LRESULT onClose(SecureFoldersState& state) {
    if (!state.loaded || state.busy) {
        return 0;
    }
    setChecked(state, kIdKeepKey, true);
    setChecked(state, kIdKeyByPassword, false);
    setChecked(state, kIdKeyByFile, false);
    putLoadedListBack(state);
    apply(state);
    return 0;
}

LRESULT handleMessage(SecureFoldersState& state, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        return onInitDialog(state);
    case WM_TIMER:
        return onTimer(state, wParam);
    case WM_COMMAND:
        return onCommand(state, LOWORD(wParam), HIWORD(wParam));
    case WM_DROPFILES:
        return onDropFiles(state, reinterpret_cast<HDROP>(wParam));
    case WM_CLOSE:
        return onClose(state);
    default:
        return DefWindowProcA(state.window, message, wParam, lParam);
    }
}

} // namespace

std::vector<std::string> acceptedFolderLines(const std::string& listText) {
    const std::string text = listText + "\r\n\r\n";
    std::vector<std::string> accepted;
    std::size_t start = 0;
    while (start < listText.size()) {
        const std::size_t end = text.find('\r', start);
        const std::string line = text.substr(start, end - start);
        // A line that ends in a separator names no folder; any other is taken in its one
        // true form, so that two spellings of one folder are seen as one.
        const bool endsInSeparator =
            !line.empty() && (line.back() == '/' || path::lengthWithoutTrailingSeparators(
                                                        line.data(), line.size()) < line.size());
        const std::string folder = endsInSeparator ? std::string() : folderSpelling(line);
        if (!folder.empty() && folderExists(folder) && !insideAny(folder, accepted)) {
            accepted.push_back(folder);
        }
        start = end;
        while (start < text.size() && (text[start] == '\r' || text[start] == '\n')) {
            ++start;
        }
    }
    return accepted;
}

LRESULT CALLBACK secureFoldersProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return recordProcedure<SecureFoldersState, &handleMessage>(window, message, wParam, lParam);
}
