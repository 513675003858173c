// steps FOLDER [COUNT]
//
// What each step of a mirror's copy and listing costs per file under this Wine, measured one
// step at a time over COUNT files of 4 KiB (2,000 by default), 100 to a folder as in the
// generated tree of bench/compare, made in FOLDER\src: listing
// with the code-page calls and with the wide ones and large fetch, the check that a name
// comes back unchanged through the code page, opening a source and asking for its facts,
// creating and writing the temporary copy with the source's time, flushing it, renaming it
// to its final name, one debug-output trace, and the platform's whole-file copy for
// comparison. Prints microseconds per file for each step. FOLDER is emptied first.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double microsecondsPerFile(Clock::time_point start, std::size_t count) {
    const double us = std::chrono::duration<double, std::micro>(Clock::now() - start).count();
    return count == 0 ? 0 : us / static_cast<double>(count);
}

void report(const char* step, double perFile) {
    std::printf("%-44s %9.0f us per file\n", step, perFile);
}

void removeAll(const std::string& folder) {
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) {
        return;
    }
    do {
        const std::string name = data.cFileName;
        if (name == "." || name == "..") {
            continue;
        }
        const std::string path = folder + "\\" + name;
        if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            removeAll(path);
            RemoveDirectoryA(path.c_str());
        } else {
            SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileA(path.c_str());
        }
    } while (FindNextFileA(find, &data));
    FindClose(find);
}

std::wstring wide(const std::string& text) {
    const int length = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
    std::wstring result(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, &result[0], length);
    result.resize(static_cast<std::size_t>(length - 1));
    return result;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fputs("usage: steps FOLDER [COUNT]\n", stderr);
        return 2;
    }
    const std::string root = argv[1];
    const std::size_t count = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 2000;
    const std::string src = root + "\\src";
    const std::string dst = root + "\\dst";
    const std::string plain = root + "\\plain";
    removeAll(root);
    CreateDirectoryA(root.c_str(), nullptr);
    CreateDirectoryA(src.c_str(), nullptr);
    CreateDirectoryA(dst.c_str(), nullptr);
    CreateDirectoryA(plain.c_str(), nullptr);
    const std::string posix = root + "\\posix";
    CreateDirectoryA(posix.c_str(), nullptr);
    const std::string content(4096, 'x');
    std::vector<std::string> names;
    std::vector<std::string> folders;
    for (std::size_t i = 0; i < count; ++i) {
        if (i % 100 == 0) {
            char folder[16];
            std::snprintf(folder, sizeof folder, "d%04u", static_cast<unsigned>(i / 100));
            folders.push_back(folder);
            for (const std::string& base : {src, dst, plain, posix}) {
                CreateDirectoryA((base + "\\" + folder).c_str(), nullptr);
            }
        }
        names.push_back(folders.back() + "\\f" + std::to_string(i) + ".txt");
        HANDLE file = CreateFileA((src + "\\" + names.back()).c_str(), GENERIC_WRITE, 0, nullptr,
                                  CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        DWORD wrote = 0;
        WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &wrote, nullptr);
        CloseHandle(file);
    }

    auto start = Clock::now();
    std::size_t listed = 0;
    WIN32_FIND_DATAA narrowData;
    HANDLE find = INVALID_HANDLE_VALUE;
    for (const std::string& folder : folders) {
        find = FindFirstFileA((src + "\\" + folder + "\\*").c_str(), &narrowData);
        do {
            ++listed;
        } while (FindNextFileA(find, &narrowData));
        FindClose(find);
    }
    report("list (FindFirstFileA)", microsecondsPerFile(start, count));

    start = Clock::now();
    std::vector<std::wstring> wideNames;
    WIN32_FIND_DATAW wideData;
    for (const std::string& folder : folders) {
        find =
            FindFirstFileExW(wide(src + "\\" + folder + "\\*").c_str(), FindExInfoBasic, &wideData,
                             FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
        do {
            wideNames.push_back(wideData.cFileName);
        } while (FindNextFileW(find, &wideData));
        FindClose(find);
    }
    report("list (FindFirstFileExW, large fetch)", microsecondsPerFile(start, count));

    start = Clock::now();
    std::size_t exact = 0;
    for (const std::wstring& name : wideNames) {
        char narrow[MAX_PATH * 2];
        BOOL usedDefault = FALSE;
        WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, name.c_str(), -1, narrow, sizeof narrow,
                            "?", &usedDefault);
        exact += !usedDefault && wide(narrow) == name ? 1 : 0;
    }
    report("name through the code page and back", microsecondsPerFile(start, count));

    std::vector<HANDLE> sources;
    std::vector<FILETIME> times(count);
    start = Clock::now();
    for (std::size_t i = 0; i < count; ++i) {
        HANDLE file = CreateFileA((src + "\\" + names[i]).c_str(), GENERIC_READ, FILE_SHARE_READ,
                                  nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
        FILE_BASIC_INFO basic = {};
        FILE_STANDARD_INFO standard = {};
        GetFileInformationByHandleEx(file, FileBasicInfo, &basic, sizeof basic);
        GetFileInformationByHandleEx(file, FileStandardInfo, &standard, sizeof standard);
        times[i].dwLowDateTime = static_cast<DWORD>(basic.LastWriteTime.QuadPart);
        times[i].dwHighDateTime = static_cast<DWORD>(basic.LastWriteTime.QuadPart >> 32);
        sources.push_back(file);
    }
    report("open source, basic and standard facts", microsecondsPerFile(start, count));

    std::vector<char> buffer(1 << 20);
    std::vector<HANDLE> temporaries;
    start = Clock::now();
    for (std::size_t i = 0; i < count; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "~SCV%04X.TMP", static_cast<unsigned>(i));
        HANDLE file = CreateFileA((dst + "\\" + folders[i / 100] + "\\" + name).c_str(),
                                  GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
        temporaries.push_back(file);
    }
    report("create the temporary file", microsecondsPerFile(start, count));

    // The same with a lookup of the new name that heeds case: Wine then need not read the
    // folder to learn that no other spelling of the name is there.
    start = Clock::now();
    for (std::size_t i = 0; i < count; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "~SCV%04X.TMP", static_cast<unsigned>(i));
        HANDLE file = CreateFileA(
            (posix + "\\" + folders[i / 100] + "\\" + name).c_str(), GENERIC_WRITE | DELETE, 0,
            nullptr, CREATE_NEW,
            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN | FILE_FLAG_POSIX_SEMANTICS, nullptr);
        CloseHandle(file);
    }
    report("create it, lookup heeding case (closed at once)", microsecondsPerFile(start, count));

    start = Clock::now();
    for (std::size_t i = 0; i < count; ++i) {
        DWORD got = 0;
        DWORD wrote = 0;
        ReadFile(sources[i], buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr);
        WriteFile(temporaries[i], buffer.data(), got, &wrote, nullptr);
        ReadFile(sources[i], buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr);
    }
    report("read the source, write the copy", microsecondsPerFile(start, count));

    start = Clock::now();
    for (std::size_t i = 0; i < count; ++i) {
        SetFileTime(temporaries[i], nullptr, nullptr, &times[i]);
    }
    report("set the write time", microsecondsPerFile(start, count));

    start = Clock::now();
    for (HANDLE file : temporaries) {
        FlushFileBuffers(file);
    }
    report("flush", microsecondsPerFile(start, count));

    start = Clock::now();
    for (std::size_t i = 0; i < count; ++i) {
        const std::wstring to = wide(dst + "\\" + names[i]);
        std::vector<WCHAR> storage(sizeof(FILE_RENAME_INFO) / sizeof(WCHAR) + to.size() + 1);
        auto* info = reinterpret_cast<FILE_RENAME_INFO*>(storage.data());
        info->ReplaceIfExists = FALSE;
        info->RootDirectory = nullptr;
        info->FileNameLength = static_cast<DWORD>(to.size() * sizeof(WCHAR));
        std::copy(to.begin(), to.end(), info->FileName);
        info->FileName[to.size()] = L'\0';
        SetFileInformationByHandle(temporaries[i], FileRenameInfo, info,
                                   static_cast<DWORD>(storage.size() * sizeof(WCHAR)));
    }
    report("rename to the final name", microsecondsPerFile(start, count));

    start = Clock::now();
    for (std::size_t i = 0; i < count; ++i) {
        CloseHandle(temporaries[i]);
        CloseHandle(sources[i]);
    }
    report("close both handles", microsecondsPerFile(start, count));

    start = Clock::now();
    for (std::size_t i = 0; i < count; ++i) {
        OutputDebugStringA((dst + "\\" + names[i] + " - copy\r\n").c_str());
    }
    report("one debug-output trace", microsecondsPerFile(start, count));

    start = Clock::now();
    for (std::size_t i = 0; i < count; ++i) {
        CopyFileW(wide(src + "\\" + names[i]).c_str(), wide(plain + "\\" + names[i]).c_str(),
                  FALSE);
    }
    report("the platform's copy (CopyFileW), for comparison", microsecondsPerFile(start, count));

    std::printf("listed %zu, exact names %zu\n", listed, exact);
    removeAll(root);
    RemoveDirectoryA(root.c_str());
    return 0;
}
