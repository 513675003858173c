#include "base/ansi_name.h"

#include <windows.h>

#include <cwchar>

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

bool reachedByName(const wchar_t* name) {
    const std::size_t length = std::wcslen(name);
    if (length == 0 || name[length - 1] == L'.' || name[length - 1] == L' ') {
        return false;
    }
    for (const wchar_t* c = name; *c != L'\0'; ++c) {
        if (*c < 0x20 || std::wcschr(L"\\/:*?\"<>|", *c) != nullptr) {
            return false;
        }
    }
    // A device name is the part before the first ".", blanks at its end dropped.
    std::size_t base = std::wcscspn(name, L".");
    while (base > 0 && name[base - 1] == L' ') {
        --base;
    }
    static const wchar_t* const kDevices[] = {L"CON", L"PRN",    L"AUX",
                                              L"NUL", L"CONIN$", L"CONOUT$"};
    for (const wchar_t* device : kDevices) {
        if (base == std::wcslen(device) && _wcsnicmp(name, device, base) == 0) {
            return false;
        }
    }
    const bool numbered =
        base == 4 && (_wcsnicmp(name, L"COM", 3) == 0 || _wcsnicmp(name, L"LPT", 3) == 0);
    return !(numbered && name[3] >= L'0' && name[3] <= L'9');
}
