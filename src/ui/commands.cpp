#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "base/text_buffer.h"
#include "sync/pass_context.h"
#include "ui/definition_file.h"
#include "ui/dialog_controls.h"
#include "ui/dialog_host.h"
#include "ui/file_open_dialog.h"
#include "ui/main_window_state.h"
#include "ui/sync_preview_window.h"
#include "ui/ui_ids.h"

namespace {

void replaceSelection(HWND editor, const std::string& text) {
    SendMessageA(editor, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(text.c_str()));
}

// The line before the one that holds the caret, up to 1,283 characters.
bool previousLine(HWND editor, std::string& line) {
    DWORD start = 0;
    SendMessageA(editor, EM_GETSEL, reinterpret_cast<WPARAM>(&start), 0);
    const LRESULT caretLine = SendMessageA(editor, EM_LINEFROMCHAR, start, 0);
    if (caretLine <= 0) {
        return false;
    }
    TextBuffer buffer;
    // EM_GETLINE takes the room in the first word of the buffer and adds no terminator.
    const WORD room = static_cast<WORD>(buffer.size() - 1);
    std::memcpy(buffer.data(), &room, sizeof room);
    const LRESULT copied = SendMessageA(editor, EM_GETLINE, static_cast<WPARAM>(caretLine - 1),
                                        reinterpret_cast<LPARAM>(buffer.data()));
    if (copied <= 0) {
        line.clear();
        return true;
    }
    line.assign(buffer.data(), static_cast<std::size_t>(copied) < buffer.size() - 1
                                   ? static_cast<std::size_t>(copied)
                                   : buffer.size() - 1);
    return true;
}

void insertDefinitionIdentifiers(MainWindowState& state) {
    HWND editor = state.control(kIdEditor);
    std::string line;
    const bool continues = previousLine(editor, line) && line.compare(0, 5, "Sync.") == 0;
    replaceSelection(editor, continues ? "Sync." : "Sync.\r\nSync.");
    SetFocus(editor);
}

void insertNoSubfolderOption(MainWindowState& state) {
    HWND editor = state.control(kIdEditor);
    replaceSelection(editor, "Sync.Option.NoSubDirectory\r\n");
    SetFocus(editor);
}

// The selected text of the editor. Windows counts the selection of an edit control made
// with the ANSI calls in bytes, Wine in UTF-16 units; the end of a select-all tells which,
// and the text is cut in the matching form.
std::string selectedText(HWND editor) {
    DWORD start = 0;
    DWORD end = 0;
    SendMessageA(editor, EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                 reinterpret_cast<LPARAM>(&end));
    if (end <= start) {
        return std::string();
    }
    DWORD allStart = 0;
    DWORD allEnd = 0;
    SendMessageA(editor, EM_SETSEL, 0, -1);
    SendMessageA(editor, EM_GETSEL, reinterpret_cast<WPARAM>(&allStart),
                 reinterpret_cast<LPARAM>(&allEnd));
    SendMessageA(editor, EM_SETSEL, start, end);

    const std::string bytes = windowText(editor);
    if (allEnd == bytes.size()) {
        return start < bytes.size() ? bytes.substr(start, end - start) : std::string();
    }
    const int length = GetWindowTextLengthW(editor);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const int copied = GetWindowTextW(editor, &text[0], length + 1);
    text.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));
    if (start >= text.size()) {
        return std::string();
    }
    const std::wstring selected = text.substr(start, end - start);
    const int size = WideCharToMultiByte(CP_ACP, 0, selected.data(),
                                         static_cast<int>(selected.size()), nullptr, 0, nullptr,
                                         nullptr);
    std::string result(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, 0, selected.data(), static_cast<int>(selected.size()), &result[0],
                        size, nullptr, nullptr);
    return result;
}

void handOverToDialog(MainWindowState& state, const char* dialogName) {
    HWND editor = state.control(kIdEditor);
    std::string& exchange = exchangeText();
    exchange = selectedText(editor);
    RunDialog(state.window, dialogName);
    if (!exchange.empty()) {
        replaceSelection(editor, exchange);
    }
    exchange.clear();
    exchange.shrink_to_fit();
    SetFocus(editor);
}

// Unsaved edits are written or given up only as the user says; Cancel keeps everything.
bool settleEditsBeforeOpening(MainWindowState& state) {
    if (!editorModified(state.control(kIdEditor))) {
        return true;
    }
    switch (askToSaveChanges(state.window, state.definitionPath)) {
    case IDYES:
        return saveDefinitionsNow(state);
    case IDNO:
        return true;
    default:
        return false;
    }
}

void openDefinitionFile(MainWindowState& state) {
    if (!settleEditsBeforeOpening(state)) {
        return;
    }
    static const char kFilter[] = "テキストファイル(*.txt)\0*.txt\0全てのファイル(*.*)\0*\0";
    FileOpenRequest request;
    request.owner = state.window;
    request.filter.assign(kFilter, sizeof kFilter);
    request.startName = state.definitionPath;
    request.title = "定義ファイルを選択してください。";
    request.flags = OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;
    request.defaultExtension = "txt";
    std::string path;
    if (!chooseFileToOpen(request, path)) {
        return;
    }
    // A file that cannot be read is reported as at start-up, and the previous file stays
    // current: otherwise its path would receive other text at exit.
    if (!loadDefinitionFile(state.control(kIdEditor), path)) {
        showReadErrorBox(state.window, path, GetLastError(), false);
        return;
    }
    state.definitionPath = path;
    state.caption.setFile(path);
    state.caption.setUnsaved(false);
}

} // namespace

bool saveDefinitionsNow(MainWindowState& state) {
    HWND editor = state.control(kIdEditor);
    const bool saved = saveDefinitionFileNow(state.window, editor, state.definitionPath);
    state.caption.setUnsaved(editorModified(editor));
    return saved;
}

void onMainCommand(MainWindowState& state, int id, int notification, HWND source) {
    if (id == kIdEditor) {
        if (notification == EN_CHANGE) {
            state.caption.setUnsaved(editorModified(state.control(kIdEditor)));
        }
        return;
    }
    // Menu items and keys come without a source control; buttons act on the click alone.
    const bool click = source == nullptr || notification == BN_CLICKED;
    switch (id) {
    case kIdRunButton:
        if (click && state.run) {
            state.run->runButton();
        }
        break;
    case kCmdStopRun:
        if (state.run) {
            state.run->requestStop();
        }
        break;
    case kCmdSaveDefinitionFile:
        saveDefinitionsNow(state);
        break;
    case kIdOpenLogButton:
        if (click && state.run) {
            state.run->openLogFile();
        }
        break;
    case kIdIdentifierButton:
        if (click) {
            insertDefinitionIdentifiers(state);
        }
        break;
    case kIdNoSubfolderButton:
        if (click) {
            insertNoSubfolderOption(state);
        }
        break;
    case kCmdOpenDefinitionFile:
        openDefinitionFile(state);
        break;
    case kCmdOpenLogFile:
        if (state.run) {
            state.run->openLogFile();
        }
        break;
    case kCmdRunSync:
        if (state.run) {
            state.run->startSyncRun();
        }
        break;
    case kCmdExit:
        SendMessageA(state.window, WM_CLOSE, 0, 0);
        break;
    case kCmdAddMirrorDefinition:
        handOverToDialog(state, "MirrorEdit");
        break;
    case kCmdAddProgramDefinition:
        handOverToDialog(state, "RunSoftEdit");
        break;
    case kCmdSyncPreview: {
        StringList listed;
        state.settings.ReadSecurePaths(listed);
        showSyncPreview(state.window, windowText(GetDlgItem(state.window, kIdEditor)),
                        std::vector<std::string>(listed.begin(), listed.end()),
                        state.settings.ReadHoldFolderDays(kDefaultHoldingDays));
        break;
    }
    case kCmdSecureArea:
        RunDialog(state.window, "SecureFlds");
        break;
    case kCmdVersion:
        RunDialog(state.window, "VersionInfo");
        break;
    default:
        break;
    }
}
