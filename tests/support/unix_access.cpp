#include "support/unix_access.h"

#include <windows.h>

#include "base/scoped_handle.h"
#include "support/report_window.h"

namespace support {

namespace {

std::wstring wideFromUtf8(const std::string& text) {
    const int length =
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring result(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &result[0],
                        length);
    return result;
}

std::wstring wideFromAnsi(const std::string& text) {
    const int length =
        MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring result(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &result[0],
                        length);
    return result;
}

bool listable(const std::string& path) {
    WIN32_FIND_DATAA found;
    FindHandle search(FindFirstFileA((path + "\\*").c_str(), &found));
    return search.valid();
}

// The single quotes of a shell word; a quote inside is closed, escaped and reopened.
std::string shellQuoted(const std::string& text) {
    std::string result = "'";
    for (char c : text) {
        result += (c == '\'') ? std::string("'\\''") : std::string(1, c);
    }
    return result + "'";
}

} // namespace

std::string unixPathOf(const std::string& windowsPath) {
    using UnixName = char*(CDECL*)(const WCHAR*);
    static const auto convert = reinterpret_cast<UnixName>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    if (convert == nullptr) {
        return std::string();
    }
    char* unixPath = convert(wideFromAnsi(windowsPath).c_str());
    if (unixPath == nullptr) {
        return std::string();
    }
    std::string result = unixPath;
    HeapFree(GetProcessHeap(), 0, unixPath);
    return result;
}

std::string windowsPathOfUnix(const char* unixPath) {
    using DosName = WCHAR*(CDECL*)(const char*);
    static const auto convert = reinterpret_cast<DosName>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_dos_file_name")));
    if (convert == nullptr) {
        return std::string();
    }
    WCHAR* dos = convert(unixPath);
    if (dos == nullptr) {
        return std::string();
    }
    char path[MAX_PATH * 2] = {};
    WideCharToMultiByte(CP_ACP, 0, dos, -1, path, sizeof path, nullptr, nullptr);
    HeapFree(GetProcessHeap(), 0, dos);
    return path;
}

bool runUnixCommand(const std::string& commandLine) {
    // Wine starts a Linux program for CreateProcess; the line goes to it as UTF-8 words.
    std::wstring line = L"/bin/sh -c \"" + wideFromUtf8(commandLine) + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process)) {
        return false;
    }
    KernelHandle processHandle(process.hProcess);
    KernelHandle threadHandle(process.hThread);
    WaitForSingleObject(processHandle.get(), 10000);
    return true;
}

UnreadableFolder::UnreadableFolder(const std::string& path) : path_(path) {
    const std::string unixPath = unixPathOf(path);
    if (unixPath.empty() || !runUnixCommand("chmod 000 " + shellQuoted(unixPath))) {
        return;
    }
    // The Linux program may still be finishing when Wine reports it done.
    effective_ = pumpMessagesUntil([this] { return !listable(path_); }, 5000);
}

UnreadableFolder::~UnreadableFolder() {
    const std::string unixPath = unixPathOf(path_);
    if (!unixPath.empty() && runUnixCommand("chmod 755 " + shellQuoted(unixPath))) {
        pumpMessagesUntil([this] { return listable(path_); }, 5000);
    }
}

} // namespace support
