#include "sync/drive_label.h"

#include <windows.h>

#include "base/ansi_name.h"
#include "base/path.h"
#include "base/scoped_handle.h"

namespace {

const char kAmbiguousLabelTag[] = "【エラーラベル】";

// Restores the thread's error mode when it goes.
class QuietErrorMode {
  public:
    QuietErrorMode() { SetThreadErrorMode(SEM_FAILCRITICALERRORS, &previous_); }
    ~QuietErrorMode() { SetThreadErrorMode(previous_, nullptr); }
    QuietErrorMode(const QuietErrorMode&) = delete;
    QuietErrorMode& operator=(const QuietErrorMode&) = delete;

  private:
    DWORD previous_ = 0;
};

// Whether the label holds "]" as a character of its own: its form could not be read back.
bool holdsClosingBracket(const std::string& label) {
    for (std::size_t i = 0; i < label.size();) {
        if (label[i] == ']') {
            return true;
        }
        i += path::isLeadByte(label[i]) && i + 1 < label.size() ? 2 : 1;
    }
    return false;
}

} // namespace

bool splitLabelForm(const std::string& text, std::string& label, std::string& below) {
    if (text.empty() || text[0] != '[') {
        return false;
    }
    for (std::size_t i = 1; i < text.size();) {
        if (text[i] == ']') {
            if (i == 1 || (i + 1 < text.size() && text[i + 1] != '\\')) {
                return false;
            }
            label = text.substr(1, i - 1);
            below = text.substr(i + 1);
            return true;
        }
        i += path::isLeadByte(text[i]) && i + 1 < text.size() ? 2 : 1;
    }
    return false;
}

bool sameLabel(const std::string& a, const std::string& b) {
    const std::wstring wideA = wideFromAnsi(a);
    const std::wstring wideB = wideFromAnsi(b);
    return CompareStringOrdinal(wideA.c_str(), static_cast<int>(wideA.size()), wideB.c_str(),
                                static_cast<int>(wideB.size()), TRUE) == CSTR_EQUAL;
}

bool driveLabel(const std::string& drive, std::string& label) {
    label.clear();
    const QuietErrorMode quiet;
    // Asked through an open root rather than by the root's name: the latter also reads the
    // raw volume, which a drive may refuse with a complaint on the standard error.
    FileHandle root(CreateFileA((drive + "\\").c_str(), 0,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    wchar_t name[MAX_PATH + 1] = {};
    if (!root || !GetVolumeInformationByHandleW(root.get(), name, MAX_PATH + 1, nullptr, nullptr,
                                                nullptr, nullptr, 0)) {
        return false;
    }
    // A drive without a label has none to give; any other label must have an exact form
    // in the code page, or no folder line could name it.
    return name[0] == L'\0' || exactAnsiName(name, label);
}

LabelledFolder findLabelledFolder(const std::string& label, const std::string& below) {
    LabelledFolder result;
    if (label.empty()) {
        return result;
    }
    const DWORD letters = GetLogicalDrives();
    for (int i = 0; i < 26; ++i) {
        if ((letters & (1u << i)) == 0) {
            continue;
        }
        const std::string drive = {static_cast<char>('A' + i), ':'};
        std::string found;
        if (GetDriveTypeA((drive + "\\").c_str()) > DRIVE_NO_ROOT_DIR && driveLabel(drive, found) &&
            sameLabel(found, label)) {
            result.drives.push_back(drive);
        }
    }
    if (result.drives.size() == 1) {
        result.found = LabelledFolder::Found::one;
        result.path = result.drives[0] + below;
    } else if (result.drives.size() > 1) {
        result.found = LabelledFolder::Found::several;
    }
    return result;
}

std::string ambiguousLabelLine(const std::string& written, const std::vector<std::string>& drives) {
    std::string line = kAmbiguousLabelTag + written + " (同じラベルのドライブが複数あります:";
    for (const std::string& drive : drives) {
        line += " " + drive;
    }
    return line + ")";
}

bool labelFormOf(const std::string& path, std::string& labelForm) {
    if (path.size() < 2 || path[1] != ':' || (path.size() > 2 && path[2] != '\\')) {
        return false;
    }
    const std::string drive = path.substr(0, 2);
    std::string label;
    if (GetDriveTypeA((drive + "\\").c_str()) != DRIVE_REMOVABLE || !driveLabel(drive, label) ||
        label.empty() || holdsClosingBracket(label)) {
        return false;
    }
    const LabelledFolder found = findLabelledFolder(label, path.substr(2));
    if (found.found != LabelledFolder::Found::one ||
        CompareStringOrdinal(wideFromAnsi(found.drives[0]).c_str(), -1, wideFromAnsi(drive).c_str(), -1,
                             TRUE) != CSTR_EQUAL) {
        return false;
    }
    labelForm = "[" + label + "]" + path.substr(2);
    return true;
}
