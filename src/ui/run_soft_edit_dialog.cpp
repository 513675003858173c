#include "ui/run_soft_edit_dialog.h"

#include "base/file_system.h"
#include "base/path.h"
#include "base/text_buffer.h"
#include "ui/dialog_controls.h"
#include "ui/dialog_host.h"
#include "ui/file_open_dialog.h"
#include "ui/ui_ids.h"
#include "ui/ui_resources.h"
#include "ui/window_record.h"

namespace {

constexpr DWORD kButtonStyle = WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON;

const ControlEntry kControls[] = {
    {kIdRunSoftLabel, "STATIC", "外部実行プログラムのパス", 0, WS_CHILD | WS_VISIBLE, 11, 8, 142,
     19},
    {kIdRunSoftPath, "EDIT", "", WS_EX_CLIENTEDGE,
     WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL, 12, 30, 286, 21},
    {kIdRunSoftOk, "BUTTON", "OK", 0, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 168,
     61, 80, 22},
    {kIdRunSoftCancel, "BUTTON", "キャンセル", 0, kButtonStyle, 256, 61, 80, 22},
    {kIdRunSoftBrowse, "BUTTON", "参照", 0, kButtonStyle, 304, 30, 40, 22},
};

// Every list ends with the all-files pair and one more zero byte.
const char kAllFiles[] = "全てのファイル(*.*)\0*\0";
const std::string kAllFilesFilter(kAllFiles, sizeof kAllFiles); // with the closing zero

struct NamedFilter {
    const char* extension;
    const char* description;
    const char* pattern;
};

const NamedFilter kNamedFilters[] = {
    {"txt", "テキストファイル(*.txt)", "*.txt"},
    {"html", "HTMLファイル(*.html)", "*.htm;*.html"},
    {"htm", "HTMLファイル(*.html)", "*.htm;*.html"},
    {"exe", "実行ファイル(*.exe)", "*.exe"},
};

std::string pairThenAllFiles(const std::string& description, const std::string& pattern) {
    std::string filter = description;
    filter += '\0';
    filter += pattern;
    filter += '\0';
    filter += kAllFilesFilter;
    return filter;
}

std::string filterFor(const std::string& extension) {
    for (const NamedFilter& named : kNamedFilters) {
        if (extension == named.extension) {
            return pairThenAllFiles(named.description, named.pattern);
        }
    }
    std::string filter =
        pairThenAllFiles(extension + "ファイル(*." + extension + ")", "*." + extension);
    return filter.size() <= kFilterRoom ? filter : kAllFilesFilter;
}

struct RunSoftEditState {
    HWND window = nullptr;
    HWND lastFocus = nullptr;
};

void onInitDialog(RunSoftEditState& state) {
    // The exchange text is left as it came: closing without a line puts the selection back.
    createControls(state.window, kControls, dialogFont(FontSlot::RunSoftEdit));
    state.lastFocus = GetDlgItem(state.window, kIdRunSoftPath);
}

void onOk(RunSoftEditState& state) {
    const std::string path = controlText(state.window, kIdRunSoftPath);
    if (fileExists(path)) {
        exchangeText() = "\r\nSync.Run." + path + "\r\n";
        CloseDialog(state.window, 1);
        return;
    }
    MessageBoxA(state.window, "指定されたプログラムファイルは存在しません。\r\n", kProductTitle,
                MB_OK | MB_ICONEXCLAMATION);
}

void browseForProgram(RunSoftEditState& state) {
    HWND field = GetDlgItem(state.window, kIdRunSoftPath);
    TextBuffer buffer;
    GetWindowTextA(field, buffer.data(), static_cast<int>(buffer.size()));
    const ProgramFileStart start = programFileStart(buffer.text());
    FileOpenRequest request;
    request.owner = state.window;
    request.filter = start.filter;
    request.startName = start.name;
    std::string chosen;
    if (chooseFileToOpen(request, chosen)) {
        SetWindowTextA(field, chosen.c_str());
    }
}

void onCommand(RunSoftEditState& state, int id, int notification) {
    if (notification != BN_CLICKED) {
        return;
    }
    switch (id) {
    case kIdRunSoftOk:
        onOk(state);
        break;
    case kIdRunSoftCancel:
    case IDCANCEL: // the Esc key
        SendMessageA(state.window, WM_CLOSE, 0, 0);
        break;
    case kIdRunSoftBrowse:
        browseForProgram(state);
        break;
    default:
        break;
    }
}

LRESULT handleMessage(RunSoftEditState& state, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        onInitDialog(state);
        return 0;
    case WM_COMMAND:
        onCommand(state, LOWORD(wParam), HIWORD(wParam));
        return 0;
    case WM_CLOSE:
        CloseDialog(state.window, 0);
        return 0;
    case WM_ACTIVATE:
        keepFocusOnActivate(state.window, wParam, state.lastFocus);
        return 0;
    case DM_GETDEFID:
        return MAKELRESULT(kIdRunSoftOk, DC_HASDEFID);
    default:
        return DefWindowProcA(state.window, message, wParam, lParam);
    }
}

} // namespace

ProgramFileStart programFileStart(const std::string& path) {
    ProgramFileStart start{kAllFilesFilter, path};
    const std::size_t separator = path::nameSeparator(path);
    if (separator == std::string::npos || separator == 0) {
        return start;
    }
    const std::string folder = path::folderPart(path);
    if (!folderExists(folder)) {
        start.name = folder;
        return start;
    }
    // A "." is never the second byte of a double-byte character, so a byte search is exact.
    const std::size_t dot = path.rfind('.');
    if (dot != std::string::npos && dot > separator) {
        start.filter = filterFor(path.substr(dot + 1));
    }
    return start;
}

LRESULT CALLBACK runSoftEditProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    return recordProcedure<RunSoftEditState, &handleMessage>(dialog, message, wParam, lParam);
}
