#include "ui/dialog_host.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "ui/ui_ids.h"

namespace {

struct DialogKind {
    const char* name;
    const char* caption;
    DWORD extendedStyle;
    DWORD style;
    int width;
    int height;
    WNDPROC procedure;
};

DialogKind dialogKinds[] = {
    {"VersionInfo", "バージョン情報", 0, WS_CAPTION | WS_SYSMENU, 360, 200, nullptr},
    {"MirrorEdit", "ミラーリング定義を編集", WS_EX_ACCEPTFILES, WS_CAPTION | WS_SYSMENU, 480, 400,
     nullptr},
    {"SecureFlds", "保護するフォルダ", WS_EX_CONTROLPARENT | WS_EX_ACCEPTFILES,
     WS_CAPTION | WS_SYSMENU, 480, 420, nullptr},
    // The close box lets a user who does not know the password out of the prompt.
    {"SecureProg", "保護領域", 0, WS_CAPTION | WS_SYSMENU, 320, 120, nullptr},
    {"RunSoftEdit", "外部実行プログラムの定義を追加", 0, WS_CAPTION | WS_SYSMENU, 360, 120,
     nullptr},
    {"SyncPreview", "同期内容の確認", WS_EX_CONTROLPARENT,
     WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MAXIMIZEBOX, 720, 480, nullptr},
};

DialogKind* findKind(const char* name) {
    if (name == nullptr) {
        return nullptr;
    }
    for (DialogKind& kind : dialogKinds) {
        if (std::strcmp(kind.name, name) == 0) {
            return &kind;
        }
    }
    return nullptr;
}

std::string exchange;

// A dialog whose RunDialog loop is running. CloseDialog marks it, and its loop ends when it
// next looks, which may be only after loops nested in it have ended.
struct OpenDialog {
    HWND dialog;
    HWND owner;
    bool closed;
    int result;
};

// The open dialogs of the user-interface thread, outermost first.
std::vector<OpenDialog*> openDialogs;

OpenDialog* findOpen(HWND dialog) {
    for (OpenDialog* open : openDialogs) {
        if (open->dialog == dialog && !open->closed) {
            return open;
        }
    }
    return nullptr;
}

// Whether another modal window still sits on the owner: it must stay disabled until the
// last of them ends, or the user could close it beneath them.
bool ownerStillCovered(HWND owner, const OpenDialog* leaving) {
    for (const OpenDialog* open : openDialogs) {
        if (open != leaving && !open->closed && open->owner == owner && IsWindow(open->dialog)) {
            return true;
        }
    }
    return false;
}

// Enabled first so that the activation goes back to the owner, not to some other program's
// window.
void releaseOwner(HWND owner, const OpenDialog* leaving) {
    if (owner != nullptr && !ownerStillCovered(owner, leaving)) {
        EnableWindow(owner, TRUE);
    }
}

int runLoop(OpenDialog& open) {
    MSG message;
    // A dialog destroyed without CloseDialog (with its owner, say) ends its loop too.
    while (!open.closed && IsWindow(open.dialog)) {
        const BOOL got = GetMessageA(&message, nullptr, 0, 0);
        if (got == 0) {
            // Dialogs end through their mark, so a quit here is the program's own (its main
            // window is gone). Each loop hands it on, or the outer loop would never see it
            // and the program would go on running without a window.
            PostQuitMessage(static_cast<int>(message.wParam));
            break;
        }
        if (got == -1) {
            break;
        }
        if (IsWindow(open.dialog) && IsDialogMessageA(open.dialog, &message)) {
            continue;
        }
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    if (!open.closed && IsWindow(open.dialog)) {
        releaseOwner(open.owner, &open);
        DestroyWindow(open.dialog);
    }
    return open.closed ? open.result : 0;
}

} // namespace

void setDialogProcedure(const char* name, WNDPROC procedure) {
    if (DialogKind* kind = findKind(name)) {
        kind->procedure = procedure;
    }
}

std::string& exchangeText() { return exchange; }

int RunDialog(HWND owner, const char* name) {
    const DialogKind* kind = findKind(name);
    // A dialog whose window has not been built into this program is treated like an
    // unknown name: nothing is shown and the owner stays usable.
    if (kind == nullptr || kind->procedure == nullptr) {
        return 0;
    }
    HINSTANCE instance = GetModuleHandleA(nullptr);
    HWND dialog = CreateWindowExA(kind->extendedStyle, kDialogClass, kind->caption, kind->style,
                                  CW_USEDEFAULT, CW_USEDEFAULT, kind->width, kind->height, owner,
                                  nullptr, instance, nullptr);
    if (dialog == nullptr) {
        return 0;
    }
    OpenDialog open = {dialog, owner, false, 0};
    openDialogs.push_back(&open);
    SetWindowLongPtrA(dialog, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(kind->procedure));
    SendMessageA(dialog, WM_INITDIALOG, 0, 0);
    if (std::strcmp(kind->name, "VersionInfo") == 0 && IsWindow(dialog)) {
        SendMessageA(dialog, WM_SETICON, ICON_SMALL,
                     reinterpret_cast<LPARAM>(LoadIconA(instance, MAKEINTRESOURCEA(IDI_WINDOW))));
    }
    if (!open.closed && IsWindow(dialog)) {
        ShowWindow(dialog, SW_SHOW);
        EnableWindow(owner, FALSE);
    }
    const int result = runLoop(open);
    openDialogs.erase(std::find(openDialogs.begin(), openDialogs.end(), &open));
    return result;
}

void CloseDialog(HWND dialog, int result) {
    OpenDialog* open = findOpen(dialog);
    if (open == nullptr) {
        // Not run by RunDialog: whoever runs its loop waits for the quit message.
        HWND owner = GetWindow(dialog, GW_OWNER);
        if (owner != nullptr) {
            EnableWindow(owner, TRUE);
        }
        DestroyWindow(dialog);
        PostQuitMessage(result);
        return;
    }
    open->closed = true;
    open->result = result;
    releaseOwner(open->owner, open);
    DestroyWindow(dialog);
    // Wakes a loop that waits for its next message; the mark is what ends it.
    PostThreadMessageA(GetCurrentThreadId(), WM_NULL, 0, 0);
}
