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

// Makes and at once removes a file of its own in the folder.
bool canAddNames(const std::string& folder) {
    const std::string probe = folder + "\\unix-access-probe.tmp";
    HANDLE file = CreateFileA(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    CloseHandle(file);
    DeleteFileA(probe.c_str());
    return true;
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

namespace {

// Starts /bin/sh with the command line; false when it could not be started. Wine does not
// follow a Linux child: its handle is signalled at once, whether or not the command ended.
bool startShell(const std::string& commandLine) {
    // The line goes to the program as UTF-8 words, split by the platform's rules: a quote
    // inside the one argument is written \".
    std::wstring escaped;
    for (wchar_t c : wideFromUtf8(commandLine)) {
        if (c == L'"') {
            escaped += L'\\';
        }
        escaped += c;
    }
    std::wstring line = L"/bin/sh -c \"" + escaped + L"\"";
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

} // namespace

bool runUnixCommand(const std::string& commandLine) {
    return startShell(commandLine);
}

bool unixCommandSucceeds(const std::string& commandLine) {
    // The command's status comes back through a file written when it has ended.
    char folder[MAX_PATH];
    const DWORD length = GetTempPathA(sizeof folder, folder);
    if (length == 0 || length >= sizeof folder) {
        return false;
    }
    static LONG counter = 0;
    const std::string status = std::string(folder) + "unix-status-" +
                               std::to_string(GetCurrentProcessId()) + "-" +
                               std::to_string(InterlockedIncrement(&counter)) + ".txt";
    DeleteFileA(status.c_str());
    const std::string unixStatus = unixPathOf(status);
    if (unixStatus.empty() ||
        !startShell("( " + commandLine + " ); echo $? > " + shellQuoted(unixStatus + ".part") +
                    " && mv " + shellQuoted(unixStatus + ".part") + " " +
                    shellQuoted(unixStatus))) {
        return false;
    }
    // Only a guard against a command that never ends: filling a tree of many thousand files
    // takes far longer on a machine busy with other builds than on an idle one.
    std::string code;
    for (DWORD waited = 0; waited < 180000; waited += 10) {
        FileHandle file(CreateFileA(status.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, 0, nullptr));
        if (file.valid()) {
            char bytes[16] = {};
            DWORD got = 0;
            ReadFile(file.get(), bytes, sizeof bytes - 1, &got, nullptr);
            code.assign(bytes, got);
            break;
        }
        Sleep(10);
    }
    DeleteFileA(status.c_str());
    return code == "0\n";
}

bool unixCommandSucceeds(std::string commandLine, const std::vector<std::string>& paths) {
    for (std::size_t i = 0; i < paths.size(); ++i) {
        const std::string mark = "{" + std::to_string(i) + "}";
        const std::string word = shellQuoted(unixPathOf(paths[i]));
        for (std::size_t at = commandLine.find(mark); at != std::string::npos;
             at = commandLine.find(mark, at + word.size())) {
            commandLine.replace(at, mark.size(), word);
        }
    }
    return unixCommandSucceeds(commandLine);
}

UnreadableFolder::UnreadableFolder(const std::string& path) : path_(path) {
    const std::string unixPath = unixPathOf(path);
    if (unixPath.empty() || !unixCommandSucceeds("chmod 000 " + shellQuoted(unixPath))) {
        return;
    }
    // The Linux program may still be finishing when Wine reports it done.
    effective_ = pumpMessagesUntil([this] { return !listable(path_); }, 5000);
}

UnreadableFolder::~UnreadableFolder() {
    const std::string unixPath = unixPathOf(path_);
    if (!unixPath.empty() && unixCommandSucceeds("chmod 755 " + shellQuoted(unixPath))) {
        pumpMessagesUntil([this] { return listable(path_); }, 5000);
    }
}

UnwritableFolder::UnwritableFolder(const std::string& path) : path_(path) {
    // The probe below must come after the change: one made before it took effect could not
    // be removed afterwards, and would be left in the folder under test.
    const std::string unixPath = unixPathOf(path);
    if (unixPath.empty() || !unixCommandSucceeds("chmod 555 " + shellQuoted(unixPath))) {
        return;
    }
    effective_ = pumpMessagesUntil([this] { return !canAddNames(path_); }, 5000);
}

UnwritableFolder::~UnwritableFolder() {
    const std::string unixPath = unixPathOf(path_);
    if (!unixPath.empty() && unixCommandSucceeds("chmod 755 " + shellQuoted(unixPath))) {
        pumpMessagesUntil([this] { return canAddNames(path_); }, 5000);
    }
}

} // namespace support
