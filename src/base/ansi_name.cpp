#include "base/ansi_name.h"

#include <windows.h>

std::wstring wideFromAnsi(const std::string& text) {
    if (text.empty()) {
        return std::wstring();
    }
    const int length =
        MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length > 0 ? length : 0), L'\0');
    if (length > 0) {
        MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &wide[0],
                            length);
    }
    return wide;
}

bool exactAnsiName(const wchar_t* wide, std::string& name) {
    BOOL usedDefault = FALSE;
    const int length =
        WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide, -1, nullptr, 0, "?", &usedDefault);
    if (length <= 1) {
        name.clear();
        return false;
    }
    name.assign(static_cast<std::size_t>(length), '\0');
    usedDefault = FALSE;
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide, -1, &name[0], length, "?",
                        &usedDefault);
    name.resize(static_cast<std::size_t>(length - 1));
    return !usedDefault && wideFromAnsi(name) == wide;
}
