#include "ui/dialog_controls.h"

#include <string>

void createControls(HWND dialog, const ControlEntry* entries, std::size_t count, HFONT font) {
    HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(dialog, GWLP_HINSTANCE));
    for (std::size_t i = 0; i < count; ++i) {
        const ControlEntry& entry = entries[i];
        HWND control = CreateWindowExA(
            entry.extendedStyle, entry.className, entry.text, entry.style, entry.x, entry.y,
            entry.width, entry.height, dialog,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(entry.id)), instance, nullptr);
        SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    }
}

std::string windowText(HWND window) {
    const int length = GetWindowTextLengthA(window);
    if (length <= 0) {
        return std::string();
    }
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    const int copied = GetWindowTextA(window, &text[0], length + 1);
    text.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
    return text;
}

std::string controlText(HWND dialog, int id) {
    return windowText(GetDlgItem(dialog, id));
}

void keepFocusOnActivate(HWND dialog, WPARAM activateState, HWND& lastFocus) {
    if (LOWORD(activateState) == WA_INACTIVE) {
        HWND focus = GetFocus();
        if (focus != nullptr && IsChild(dialog, focus)) {
            lastFocus = focus;
        }
        return;
    }
    if (HIWORD(activateState) != 0) {
        return; // minimised
    }
    if (lastFocus == nullptr || !IsWindow(lastFocus) || !IsChild(dialog, lastFocus)) {
        lastFocus = GetNextDlgTabItem(dialog, nullptr, FALSE);
    }
    if (lastFocus != nullptr) {
        SetFocus(lastFocus);
    }
}
