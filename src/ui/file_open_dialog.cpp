#include "ui/file_open_dialog.h"

#include <commdlg.h>

#include "base/text_buffer.h"

bool chooseFileToOpen(const FileOpenRequest& request, std::string& chosen) {
    TextBuffer name;
    // The last byte is never room, so the name the dialog leaves is always terminated.
    const std::size_t room = name.size() - 1;
    request.startName.copy(name.data(), room);
    OPENFILENAMEA dialog = {};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = request.owner;
    dialog.lpstrFilter = request.filter.c_str();
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = name.data();
    dialog.nMaxFile = static_cast<DWORD>(room);
    dialog.lpstrTitle = request.title;
    dialog.Flags = request.flags;
    dialog.lpstrDefExt = request.defaultExtension;
    if (!GetOpenFileNameA(&dialog)) {
        return false;
    }
    chosen = name.text();
    return true;
}
