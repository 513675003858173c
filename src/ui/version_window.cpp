#include "ui/version_window.h"

#include <string>

#include "base/file_system.h"
#include "base/scoped_handle.h"
#include "settings/program_location.h"
#include "ui/dialog_controls.h"
#include "ui/dialog_host.h"
#include "ui/secure_state.h"
#include "ui/shell_owners.h"
#include "ui/ui_ids.h"
#include "ui/ui_resources.h"
#include "ui/window_record.h"

namespace {

constexpr DWORD kLabelStyle = WS_CHILD | WS_VISIBLE;

const char kGuideFileName[] = "guide-ja.html";

const ControlEntry kControls[] = {
    {kIdVersionTitle, "STATIC", "アプリケーション名", 0, kLabelStyle, 80, 12, 200, 22},
    {kIdVersionLine, "STATIC", "Version " SYNCORAVEL_VERSION, 0, kLabelStyle, 150, 43, 104, 15},
    {kIdVersionCopyright, "STATIC", "(C) 2026 Syncoravel developers", 0, kLabelStyle, 80, 70, 186,
     22},
    // Notify, so that the label receives the mouse instead of letting it through.
    {kIdVersionLink, "STATIC", "使い方ガイド（guide-ja.html）", 0, kLabelStyle | SS_NOTIFY, 80, 94,
     163, 22},
    {kIdVersionClose, "BUTTON", "閉じる", 0, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON,
     278, 135, 66, 22},
    {kIdVersionIcon, "STATIC", "", 0, kLabelStyle | SS_ICON, 20, 46, 32, 32},
};

// Variable pitch in the Swiss family.
constexpr BYTE kLabelPitchAndFamily = 50;

struct VersionWindowState {
    HWND window = nullptr;
    HWND lastFocus = nullptr;
    IconHandle largeIcon;
    FontHandle titleFont;
    FontHandle linkFont;
    WNDPROC previousLinkProcedure = nullptr;
};

void paintLink(HWND link) {
    const HFONT font = reinterpret_cast<HFONT>(SendMessageA(link, WM_GETFONT, 0, 0));
    const std::string text = windowText(link);
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(link, &paint);
    // The text goes onto the default opaque background; only font and colour are set.
    HGDIOBJ previousFont = SelectObject(dc, font);
    SetTextColor(dc, RGB(0, 0, 255));
    TextOutA(dc, 0, 0, text.c_str(), static_cast<int>(text.size()));
    SelectObject(dc, previousFont);
    EndPaint(link, &paint);
}

// The user's guide ships beside the program, so it opens without a network and in the
// version the program has. A guide that is missing, or that nothing opens, is told with
// what to do; the window stays as it is.
void openGuide(HWND link) {
    HWND window = GetParent(link);
    const std::string guide = pathInFolder(secureLocation().folder, kGuideFileName);
    if (!fileExists(guide)) {
        const std::string text = "使い方ガイドが見つかりません。\r\n" + guide +
                                 "\r\n\r\n配布された zip の中の guide-ja.html を、"
                                 "Syncoravel.exe と同じフォルダに置いてください。";
        MessageBoxA(window, text.c_str(), kProductTitle, MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    ComApartment com;
    const INT_PTR opened = reinterpret_cast<INT_PTR>(
        ShellExecuteA(nullptr, "open", guide.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    if (opened <= 32) {
        const std::string text = "使い方ガイドを開けませんでした。\r\n" + guide +
                                 "\r\n\r\nブラウザーを起動して、このファイルをブラウザーの"
                                 "ウィンドウへドラッグしてください。" +
                                 errorCodeText(static_cast<int>(opened));
        MessageBoxA(window, text.c_str(), kProductTitle, MB_OK | MB_ICONEXCLAMATION);
    }
}

LRESULT CALLBACK linkProcedure(HWND link, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT:
        paintLink(link);
        return 0;
    case WM_LBUTTONDOWN:
        openGuide(link);
        return 0;
    case WM_SETCURSOR:
        SetCursor(LoadCursorA(nullptr, IDC_HAND));
        return TRUE;
    default:
        break;
    }
    VersionWindowState* state = recordOf<VersionWindowState>(GetParent(link));
    if (state == nullptr || state->previousLinkProcedure == nullptr) {
        return DefWindowProcA(link, message, wParam, lParam);
    }
    return CallWindowProcA(state->previousLinkProcedure, link, message, wParam, lParam);
}

void onInitDialog(VersionWindowState& state) {
    HWND window = state.window;
    createControls(window, kControls, dialogFont(FontSlot::VersionInfo));

    HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(window, GWLP_HINSTANCE));
    state.largeIcon.reset(static_cast<HICON>(
        LoadImageA(instance, MAKEINTRESOURCEA(IDI_LARGE), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE)));
    SendDlgItemMessageA(window, kIdVersionIcon, STM_SETICON,
                        reinterpret_cast<WPARAM>(state.largeIcon.get()), 0);

    SetDlgItemTextA(window, kIdVersionTitle, kProductTitle);
    SetWindowTextA(window, kProductTitle);

    state.titleFont.reset(createUiFont(-15, FW_BOLD, false, kLabelPitchAndFamily));
    SendDlgItemMessageA(window, kIdVersionTitle, WM_SETFONT,
                        reinterpret_cast<WPARAM>(state.titleFont.get()), TRUE);
    state.linkFont.reset(createUiFont(-12, FW_NORMAL, true, kLabelPitchAndFamily));
    SendDlgItemMessageA(window, kIdVersionLink, WM_SETFONT,
                        reinterpret_cast<WPARAM>(state.linkFont.get()), TRUE);

    state.previousLinkProcedure = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(GetDlgItem(window, kIdVersionLink), GWLP_WNDPROC,
                          reinterpret_cast<LONG_PTR>(&linkProcedure)));
    state.lastFocus = GetDlgItem(window, kIdVersionClose);
}

// The labels get a font that nobody deletes before their own fonts go, so that no control
// is left holding a deleted font; the link gets its own procedure back before it is
// destroyed.
void onDestroy(VersionWindowState& state) {
    HWND window = state.window;
    const WPARAM systemFont = reinterpret_cast<WPARAM>(GetStockObject(SYSTEM_FONT));
    SendDlgItemMessageA(window, kIdVersionTitle, WM_SETFONT, systemFont, FALSE);
    state.titleFont.reset();
    SendDlgItemMessageA(window, kIdVersionLink, WM_SETFONT, systemFont, FALSE);
    state.linkFont.reset();
    if (state.previousLinkProcedure != nullptr) {
        SetWindowLongPtrA(GetDlgItem(window, kIdVersionLink), GWLP_WNDPROC,
                          reinterpret_cast<LONG_PTR>(state.previousLinkProcedure));
        state.previousLinkProcedure = nullptr;
    }
    SendDlgItemMessageA(window, kIdVersionIcon, STM_SETICON, 0, 0);
    state.largeIcon.reset();
}

void onPaint(HWND window) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    // The rule under the title, in the default pen.
    MoveToEx(dc, 80, 60, nullptr);
    LineTo(dc, 340, 60);
    EndPaint(window, &paint);
}

LRESULT handleMessage(VersionWindowState& state, UINT message, WPARAM wParam, LPARAM lParam) {
    HWND window = state.window;
    switch (message) {
    case WM_INITDIALOG:
        onInitDialog(state);
        return 0;
    case WM_PAINT:
        onPaint(window);
        return 0;
    case WM_COMMAND:
        // The close button, and the Esc key.
        if ((LOWORD(wParam) == kIdVersionClose || LOWORD(wParam) == IDCANCEL) &&
            HIWORD(wParam) == BN_CLICKED) {
            CloseDialog(window, 0);
        }
        return 0;
    case WM_CLOSE:
        CloseDialog(window, 0);
        return 0;
    case WM_ACTIVATE:
        keepFocusOnActivate(window, wParam, state.lastFocus);
        return 0;
    case DM_GETDEFID:
        return MAKELRESULT(kIdVersionClose, DC_HASDEFID);
    case WM_DESTROY:
        onDestroy(state);
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

} // namespace

LRESULT CALLBACK versionWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return recordProcedure<VersionWindowState, &handleMessage>(window, message, wParam, lParam);
}
