#include "support/temp_folder.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <vector>

#include "base/path.h"
#include "base/scoped_handle.h"
#include "support/files.h"

namespace support {

namespace {

std::atomic<unsigned> folderCounter{0};

} // namespace

TempFolder::TempFolder(const std::string& parent) {
    for (;;) {
        char name[64];
        std::snprintf(name, sizeof name, "\\t%lu_%u_%lu", GetCurrentProcessId(), ++folderCounter,
                      GetTickCount());
        path_ = parent + name;
        if (CreateDirectoryA(path_.c_str(), nullptr)) {
            return;
        }
        if (GetLastError() != ERROR_ALREADY_EXISTS) {
            std::fprintf(stderr, "cannot create a temporary folder in %s (error %lu)\n",
                         parent.c_str(), GetLastError());
            return;
        }
    }
}

TempFolder::~TempFolder() {
    if (path_.empty()) {
        return;
    }
    // A file dialog of the program under test leaves the process in the folder it chose,
    // and a folder that is some process's current folder cannot be removed.
    char current[MAX_PATH] = {};
    const DWORD length = GetCurrentDirectoryA(sizeof current, current);
    if (length > 0 && length < sizeof current &&
        CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, current,
                       static_cast<int>(std::min<std::size_t>(length, path_.size())),
                       path_.c_str(), static_cast<int>(path_.size())) == CSTR_EQUAL &&
        (length == path_.size() || current[path_.size()] == '\\')) {
        SetCurrentDirectoryA((path_.substr(0, 2) + "\\").c_str());
    }
    if (!removeTree(path_)) {
        std::fprintf(stderr, "the temporary folder %s could not be removed\n", path_.c_str());
    }
}

std::string TempFolder::folder(const std::string& relative) const {
    const std::string full = at(relative);
    makeFolders(full);
    return full;
}

std::string TempFolder::file(const std::string& relative, const std::string& content,
                             FileTime writeTime) const {
    const std::string full = at(relative);
    const std::size_t separator = path::lastSeparator(full);
    if (separator != std::string::npos) {
        makeFolders(full.substr(0, separator));
    }
    writeFile(full, content);
    if (writeTime != 0) {
        setWriteTime(full, writeTime);
    }
    return full;
}

DriveRootLock::DriveRootLock() {
    HANDLE mutex = CreateMutexA(nullptr, FALSE, "Local\\SyncoravelTestDriveRoot");
    if (mutex == nullptr) {
        return;
    }
    const DWORD waited = WaitForSingleObject(mutex, 120000);
    if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) {
        CloseHandle(mutex);
        return;
    }
    mutex_ = mutex;
    emptyRoot();
}

DriveRootLock::~DriveRootLock() {
    if (mutex_ != nullptr) {
        emptyRoot();
        ReleaseMutex(mutex_);
        CloseHandle(mutex_);
    }
}

void DriveRootLock::emptyRoot() const {
    std::vector<std::string> children;
    WIN32_FIND_DATAA found;
    FindHandle search(FindFirstFileA((kDriveRoot + "\\*").c_str(), &found));
    if (search) {
        do {
            const std::string name = found.cFileName;
            if (name != "." && name != "..") {
                children.push_back(kDriveRoot + "\\" + name);
            }
        } while (FindNextFileA(search.get(), &found));
    }
    for (const std::string& child : children) {
        removeTree(child);
    }
}

} // namespace support
