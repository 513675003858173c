#pragma once

#include <windows.h>
#include <commdlg.h>

#include <string>

// The system's file-open dialog, as every window of the program starts it.
struct FileOpenRequest {
    HWND owner = nullptr;
    // Pairs of description and pattern, each ended by a zero byte, and one more zero byte.
    std::string filter;
    // What the name field shows first (a path, or a pattern such as "D:\*.*"); cut to the
    // room the dialog has.
    std::string startName;
    // Null: the dialog's own caption.
    const char* title = nullptr;
    DWORD flags = OFN_HIDEREADONLY;
    // Appended to a name typed without one; null for none.
    const char* defaultExtension = nullptr;
};

// Shows the dialog with the first filter chosen. True, with the chosen path, when the user
// chose a file; false when the dialog was cancelled or could not be shown.
bool chooseFileToOpen(const FileOpenRequest& request, std::string& chosen);
