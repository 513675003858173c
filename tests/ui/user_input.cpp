#include "user_input.h"

#include <shlobj.h>

#include <cstring>

void typeInto(HWND control, const std::string& text) {
    // Keystrokes reach a window as characters of the keyboard's (or input method's)
    // Unicode; the control turns them into its own code page.
    const int length =
        MultiByteToWideChar(932, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(932, 0, text.data(), static_cast<int>(text.size()), &wide[0], length);
    for (wchar_t character : wide) {
        SendMessageW(control, WM_CHAR, character, 1);
    }
}

void replaceText(HWND edit, const std::string& text) {
    SendMessageA(edit, EM_SETSEL, 0, -1);
    SendMessageW(edit, WM_CHAR, VK_BACK, 1); // deletes the selection
    typeInto(edit, text);
}

void caretToEnd(HWND edit) {
    SendMessageA(edit, EM_SETSEL, 0x7FFFFFFF, 0x7FFFFFFF);
}

void clearEdit(HWND edit) {
    SendMessageA(edit, EM_SETSEL, 0, -1);
    SendMessageA(edit, WM_CLEAR, 0, 0);
}

void press(HWND button) {
    PostMessageA(button, BM_CLICK, 0, 0);
}

void pressCloseBox(HWND window) {
    PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
}

HDROP makeDrop(const std::vector<std::string>& paths) {
    std::size_t size = sizeof(DROPFILES) + 1;
    for (const std::string& path : paths) {
        size += path.size() + 1;
    }
    // Zero-filled, so the list ends with its extra zero byte.
    HGLOBAL block = GlobalAlloc(GHND, size);
    auto* drop = static_cast<DROPFILES*>(GlobalLock(block));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = FALSE;
    char* names = reinterpret_cast<char*>(drop) + sizeof(DROPFILES);
    for (const std::string& path : paths) {
        std::memcpy(names, path.c_str(), path.size() + 1);
        names += path.size() + 1;
    }
    GlobalUnlock(block);
    return static_cast<HDROP>(block);
}

void dropFiles(HWND window, const std::vector<std::string>& paths) {
    // The receiver finishes the drop and so frees the memory.
    PostMessageA(window, WM_DROPFILES, reinterpret_cast<WPARAM>(makeDrop(paths)), 0);
}

std::string textOf(HWND window) {
    const LRESULT length = SendMessageA(window, WM_GETTEXTLENGTH, 0, 0);
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    const LRESULT copied =
        SendMessageA(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0]));
    text.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
    return text;
}

bool shown(HWND control) {
    return control != nullptr && (GetWindowLongA(control, GWL_STYLE) & WS_VISIBLE) != 0;
}

bool checkedBox(HWND button) {
    return SendMessageA(button, BM_GETCHECK, 0, 0) == BST_CHECKED;
}
