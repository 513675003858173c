#include "ui/dialog_host.h"

#include <cstring>

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
    {"MirrorEdit", "ミラーリング定義を編集", WS_EX_ACCEPTFILES, WS_CAPTION | WS_SYSMENU, 480, 280,
     nullptr},
    {"SecureFlds", "保護するフォルダ", WS_EX_CONTROLPARENT | WS_EX_ACCEPTFILES,
     WS_CAPTION | WS_SYSMENU, 480, 420, nullptr},
    {"SecureProg", "保護領域", 0, WS_CAPTION, 320, 120, nullptr},
    {"RunSoftEdit", "外部実行プログラムの定義を追加", 0, WS_CAPTION | WS_SYSMENU, 360, 120,
     nullptr},
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
    SetWindowLongPtrA(dialog, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(kind->procedure));
    SendMessageA(dialog, WM_INITDIALOG, 0, 0);
    if (std::strcmp(kind->name, "VersionInfo") == 0 && IsWindow(dialog)) {
        SendMessageA(dialog, WM_SETICON, ICON_SMALL,
                     reinterpret_cast<LPARAM>(LoadIconA(instance, MAKEINTRESOURCEA(IDI_WINDOW))));
    }
    if (IsWindow(dialog)) {
        ShowWindow(dialog, SW_SHOW);
        EnableWindow(owner, FALSE);
    }

    MSG message;
    for (;;) {
        const BOOL got = GetMessageA(&message, nullptr, 0, 0);
        if (got == 0) {
            return static_cast<int>(message.wParam);
        }
        if (got == -1) {
            return 0;
        }
        if (IsWindow(dialog) && IsDialogMessageA(dialog, &message)) {
            continue;
        }
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

void CloseDialog(HWND dialog, int result) {
    // The owner is enabled first so that the activation goes back to it, not to some other
    // program's window.
    HWND owner = GetWindow(dialog, GW_OWNER);
    if (owner != nullptr) {
        EnableWindow(owner, TRUE);
    }
    DestroyWindow(dialog);
    PostQuitMessage(result);
}
