#include "support/recycle_bin.h"

#include <windows.h>

#include <cctype>

#include "base/scoped_handle.h"
#include "support/files.h"

namespace support {

namespace {

// The trash folder as a Windows path; Wine maps the Linux root to Z:.
std::string trashFolder() {
    char unixPath[MAX_PATH];
    const DWORD length = GetEnvironmentVariableA("XDG_DATA_HOME", unixPath, sizeof unixPath);
    if (length == 0 || length >= sizeof unixPath) {
        return std::string();
    }
    std::string result = "Z:";
    for (const char* p = unixPath; *p != '\0'; ++p) {
        result += (*p == '/') ? '\\' : *p;
    }
    return result + "\\Trash";
}

std::string percentDecoded(const std::string& text) {
    std::string result;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && std::isxdigit(static_cast<unsigned char>(text[i + 1])) &&
            std::isxdigit(static_cast<unsigned char>(text[i + 2]))) {
            result += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            result += text[i];
        }
    }
    return result;
}

std::string shiftJisFromUtf8(const std::string& text) {
    const int wide = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0);
    std::wstring unicode(static_cast<std::size_t>(wide), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &unicode[0], wide);
    const int bytes =
        WideCharToMultiByte(932, 0, unicode.data(), wide, nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(932, 0, unicode.data(), wide, &result[0], bytes, nullptr, nullptr);
    return result;
}

// Wine records the place an item came from as the Linux path through the prefix's drive
// links ("…/dosdevices/d:/folder/name"); that gives back the Windows path.
std::string windowsPathOf(const std::string& unixPath) {
    const std::string marker = "/dosdevices/";
    const std::size_t at = unixPath.find(marker);
    if (at == std::string::npos) {
        return std::string();
    }
    std::string rest = unixPath.substr(at + marker.size());
    if (rest.size() < 2 || rest[1] != ':') {
        return std::string();
    }
    rest[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(rest[0])));
    for (char& c : rest) {
        if (c == '/') {
            c = '\\';
        }
    }
    return shiftJisFromUtf8(rest);
}

} // namespace

bool RecycleBin::available() {
    const std::string folder = trashFolder();
    return !folder.empty() && pathExists(folder + "\\files") && pathExists(folder + "\\info");
}

std::vector<TrashedItem> RecycleBin::items() {
    std::vector<TrashedItem> result;
    const std::string folder = trashFolder();
    if (folder.empty()) {
        return result;
    }
    const std::string suffix = ".trashinfo";
    WIN32_FIND_DATAA found;
    FindHandle search(FindFirstFileA((folder + "\\info\\*" + suffix).c_str(), &found));
    if (!search) {
        return result;
    }
    do {
        const std::string infoName = found.cFileName;
        if (infoName.size() <= suffix.size()) {
            continue;
        }
        const std::string info = readFile(folder + "\\info\\" + infoName);
        const std::size_t line = info.find("\nPath=");
        if (line == std::string::npos) {
            continue;
        }
        const std::size_t start = line + 6;
        const std::size_t end = info.find_first_of("\r\n", start);
        TrashedItem item;
        item.originalPath = windowsPathOf(percentDecoded(info.substr(start, end - start)));
        item.storedPath =
            folder + "\\files\\" + infoName.substr(0, infoName.size() - suffix.size());
        result.push_back(item);
    } while (FindNextFileA(search.get(), &found));
    return result;
}

bool RecycleBin::find(const std::string& originalPath, TrashedItem& item) {
    for (const TrashedItem& candidate : items()) {
        if (lstrcmpiA(candidate.originalPath.c_str(), originalPath.c_str()) == 0) {
            item = candidate;
            return true;
        }
    }
    return false;
}

bool RecycleBin::holds(const std::string& originalPath) {
    TrashedItem item;
    return find(originalPath, item);
}

} // namespace support
