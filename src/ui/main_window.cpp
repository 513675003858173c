#include "ui/main_window.h"

#include <commctrl.h>

#include <cstring>
#include <utility>

#include "ui/definition_file.h"
#include "ui/dialog_controls.h"
#include "ui/main_window_state.h"
#include "ui/secure_state.h"
#include "ui/ui_ids.h"
#include "ui/ui_resources.h"
#include "ui/window_record.h"

namespace {

HWND theMainWindow = nullptr;

constexpr DWORD kEditorStyle = WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_HSCROLL | ES_MULTILINE |
                               ES_AUTOVSCROLL | ES_AUTOHSCROLL;
constexpr DWORD kStatusStyle = WS_CHILD | WS_VISIBLE | ES_READONLY | ES_AUTOHSCROLL;
constexpr DWORD kButtonStyle = WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON;

const ControlEntry kControls[] = {
    {kIdEditor, "EDIT", "", WS_EX_CLIENTEDGE, kEditorStyle, 0, 0, 472, 132},
    {kIdRunButton, "BUTTON", "同期実行", 0, kButtonStyle, 16, 209, 74, 24},
    {kIdLogSummary, "EDIT", "", WS_EX_CLIENTEDGE, kEditorStyle, 195, 196, 277, 150},
    {kIdFolderStatus, "EDIT", "", WS_EX_STATICEDGE, kStatusStyle, 1, 155, 471, 20},
    {kIdFileStatus, "EDIT", "", WS_EX_STATICEDGE, kStatusStyle, 1, 177, 471, 19},
    {kIdOpenLogButton, "BUTTON", "ログファイルを開く", 0, kButtonStyle, 17, 243, 105, 22},
    {kIdIdentifierButton, "BUTTON", "定義識別子を入力", 0, kButtonStyle, 19, 274, 146, 23},
    {kIdNoSubfolderButton, "BUTTON", "サブフォルダを同期しない行", 0, kButtonStyle, 18, 309, 145,
     20},
    {kIdProgress, PROGRESS_CLASSA, "", WS_EX_STATICEDGE, WS_CHILD | WS_VISIBLE, 0, 130, 472, 21},
};

void createControls(MainWindowState& state) {
    ::createControls(state.window, kControls, dialogFont(FontSlot::Main));
    // The definition file may be far longer than an edit control takes by default.
    SendMessageA(state.control(kIdEditor), EM_SETLIMITTEXT, 0, 0);
    SendMessageA(state.control(kIdLogSummary), EM_SETLIMITTEXT, 0, 0);
}

// The 8-byte block named after the program's file name holds the first instance's main
// window handle, so that a second start can bring that window forward. Returns true for
// the first instance.
bool claimInstanceBlock(MainWindowState& state) {
    HANDLE block = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 8,
                                      state.location.fileName.c_str());
    if (block == nullptr) {
        return false;
    }
    KernelHandle owner(block);
    const bool existed = GetLastError() == ERROR_ALREADY_EXISTS;
    MappedView view(MapViewOfFile(block, FILE_MAP_WRITE, 0, 0, 8));
    if (!view) {
        return false;
    }
    auto* handle = static_cast<DWORD*>(view.get());
    if (existed) {
        // Window handles carry 32 significant bits, so four bytes hold one.
        const HWND first = reinterpret_cast<HWND>(static_cast<INT_PTR>(static_cast<LONG>(*handle)));
        if (first != nullptr) {
            BringToFront(first);
        }
        return false;
    }
    *handle = static_cast<DWORD>(reinterpret_cast<UINT_PTR>(state.window));
    FlushViewOfFile(view.get(), 4);
    state.instanceBlock = std::move(owner);
    return true;
}

// Posted to itself by a window started with /run, so that the run starts from the message
// loop once the window stands.
constexpr UINT kMsgStartUnattendedRun = WM_APP + 2;

void loadDefinitionsAtStart(MainWindowState& state) {
    HWND editor = state.control(kIdEditor);
    state.definitionPath = state.settings.ReadDefSyncFile();
    if (startDefinitionFile(editor, state.definitionPath) == DefinitionStart::unreadable) {
        const DWORD error = GetLastError();
        if (!state.launch.quiet) {
            showReadErrorBox(state.window, state.definitionPath, error, true);
        }
        state.caption.setReadError();
        if (state.launch.run) {
            // A run of whatever the editor holds now would not be the user's definitions.
            state.exitCode = kExitNotStarted;
            PostMessageA(state.window, WM_CLOSE, 0, 0);
        }
    } else {
        state.caption.setFile(state.definitionPath);
        if (state.launch.run) {
            PostMessageA(state.window, kMsgStartUnattendedRun, 0, 0);
        }
    }
    state.caption.setUnsaved(editorModified(editor));
}

LRESULT onCreate(MainWindowState& state) {
    SetMenu(state.window, state.menu.get());
    createControls(state);

    state.firstInstance = claimInstanceBlock(state);
    if (!state.firstInstance) {
        return -1; // the window is destroyed at once and the program ends
    }
    state.caption.attach(state.window);
    state.accelerators = createMainAccelerators();
    setSecureLocation(state.location);
    loadDefinitionsAtStart(state);
    state.settings.LoadWindowSize(state.window);
    state.run.reset(new RunController(state.window, state.location, state.caption, state.launch));
    SetWindowTextA(state.control(kIdLogSummary), state.run->lastLogUseText().c_str());
    state.savedErrorMode = SetErrorMode(SEM_FAILCRITICALERRORS);
    return 0;
}

// Asks, when the definitions cannot be written, whether to end without them; nobody is
// asked in a quiet run, whose editor holds what it read.
bool writeDefinitionsOrAsk(MainWindowState& state) {
    return saveDefinitionFile(state.control(kIdEditor), state.definitionPath) ||
           state.launch.quiet ||
           confirmExitWithoutSaving(state.window, state.definitionPath, GetLastError());
}

// The definitions are written while the window still stands, so that a failed write can be
// told and the user can stay to keep the editor's text another way.
bool settleDefinitions(MainWindowState& state) {
    if (!state.firstInstance || state.definitionsSettled) {
        return true;
    }
    if (!writeDefinitionsOrAsk(state)) {
        return false;
    }
    state.definitionsSettled = true;
    return true;
}

// A log-off or shut-down may end the process without a destroy message once the session
// ends: what the exit writes is written now. False (the session end is refused) only when
// the definitions cannot be written and the user chooses to stay.
bool onQueryEndSession(MainWindowState& state) {
    if (!state.firstInstance) {
        return true;
    }
    if (!writeDefinitionsOrAsk(state)) {
        return false;
    }
    state.caption.setUnsaved(editorModified(state.control(kIdEditor)));
    state.settings.SaveWindowSize(state.window);
    state.settings.WriteDefSyncFile(state.definitionPath);
    return true;
}

void onEndSession(MainWindowState& state, bool ending) {
    if (ending && state.run) {
        state.run->endForSession();
    }
    if (ending && state.firstInstance && editorModified(state.control(kIdEditor))) {
        saveDefinitionFile(state.control(kIdEditor), state.definitionPath);
    }
}

void onDestroy(MainWindowState& state) {
    if (state.firstInstance) {
        KillTimer(state.window, kRunProgressTimer);
        SetErrorMode(state.savedErrorMode);
        state.instanceBlock.reset();
        if (!state.definitionsSettled) {
            // Destroyed without a close request: nobody is left to tell of a failure.
            saveDefinitionFile(state.control(kIdEditor), state.definitionPath);
        }
        state.settings.SaveWindowSize(state.window);
        state.settings.WriteDefSyncFile(state.definitionPath);
        state.run.reset(); // stops a worker that is still running
    }
    // Taken back from the window, which would destroy it too; the owner destroys it with
    // its drop-down menus.
    SetMenu(state.window, nullptr);
    state.menu.reset();
    state.accelerators.reset();
    releaseSharedResources();
    if (theMainWindow == state.window) {
        theMainWindow = nullptr;
    }
    PostQuitMessage(state.exitCode);
}

} // namespace

void layoutMainWindow(HWND window, int width, int height) {
    auto place = [window](int id, int x, int y, int w, int h) {
        MoveWindow(GetDlgItem(window, id), x, y, w, h, TRUE);
    };
    const int t = static_cast<int>(height * 0.5);
    place(kIdEditor, 0, 0, width, t);
    place(kIdProgress, 0, t + 1, width, 21);
    place(kIdFolderStatus, 0, t + 22, width, 21);
    place(kIdFileStatus, 0, t + 44, width, 21);
    const int b = t + 66;
    place(kIdLogSummary, static_cast<int>(width * 0.4), b, static_cast<int>(width * 0.6),
          height - b);
    place(kIdRunButton, 16, b + 16, 160, 22);
    place(kIdOpenLogButton, 16, b + 48, 160, 22);
    place(kIdIdentifierButton, 16, b + 80, 160, 22);
    place(kIdNoSubfolderButton, 16, b + 112, 160, 22);
}

void BringToFront(HWND window) {
    ShowWindow(window, IsIconic(window) ? SW_RESTORE : SW_SHOW);
    const UINT keep = SWP_NOMOVE | SWP_NOSIZE;
    SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, keep);
    SetWindowPos(window, HWND_NOTOPMOST, 0, 0, 0, 0, keep);
    SetForegroundWindow(window);
}

HWND mainWindow() { return theMainWindow; }

namespace {

LRESULT handleMessage(MainWindowState& state, UINT message, WPARAM wParam, LPARAM lParam) {
    HWND window = state.window;
    if (message >= kRunMessageFirst && message <= kRunMessageLast) {
        return state.run ? state.run->onRunMessage(message, wParam, lParam) : 0;
    }
    switch (message) {
    case WM_NCCREATE:
        theMainWindow = window;
        if (state.taken != nullptr) {
            *state.taken = true;
            state.taken = nullptr;
        }
        return DefWindowProcA(window, message, wParam, lParam);
    case WM_CREATE:
        return onCreate(state);
    case WM_SIZE:
        layoutMainWindow(window, static_cast<short>(LOWORD(lParam)),
                         static_cast<short>(HIWORD(lParam)));
        return 0;
    case WM_CLOSE:
        if (state.run && !state.run->allowClose()) {
            return 0;
        }
        if (!settleDefinitions(state)) {
            return 0;
        }
        DestroyWindow(window);
        return 0;
    case WM_COMMAND:
        onMainCommand(state, LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
        return 0;
    case WM_TIMER:
        if (wParam == kRunProgressTimer && state.run) {
            state.run->onProgressTimer();
        }
        return 0;
    case WM_QUERYENDSESSION:
        return onQueryEndSession(state) ? TRUE : FALSE;
    case WM_ENDSESSION:
        onEndSession(state, wParam != FALSE);
        return 0;
    case kMsgStartUnattendedRun:
        if (state.run) {
            state.run->startSyncRun();
        }
        return 0;
    case kMsgUnattendedRunEnded:
        if (state.run) {
            state.exitCode = state.run->exitCode();
        }
        PostMessageA(window, WM_CLOSE, 0, 0);
        return 0;
    case WM_DESTROY:
        onDestroy(state);
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

} // namespace

LRESULT CALLBACK mainWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return recordProcedure<MainWindowState, &handleMessage>(window, message, wParam, lParam);
}

bool translateMainWindowKeys(MSG& message) {
    HWND main = theMainWindow;
    if (main == nullptr || (message.hwnd != main && !IsChild(main, message.hwnd))) {
        return false;
    }
    const MainWindowState* state = recordOf<MainWindowState>(main);
    if (state == nullptr || !state->accelerators) {
        return false;
    }
    return TranslateAcceleratorA(main, state->accelerators.get(), &message) != 0;
}

HWND createMainWindow(HINSTANCE instance, const ProgramLocation& location, MenuHandle menu,
                      const LaunchOptions& launch) {
    auto* state = new MainWindowState(location, launch);
    state->menu = std::move(menu);
    // The record belongs to the window from WM_NCCREATE on and is deleted at WM_NCDESTROY,
    // which comes before CreateWindowEx returns when the creation fails later (a second
    // instance): only a window that failed before WM_NCCREATE leaves it (and the menu) to
    // us, and only then may the record be looked at here.
    bool taken = false;
    state->taken = &taken;
    HWND window = CreateWindowExA(0, kMainClass, "Pairwarden", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                  CW_USEDEFAULT, CW_USEDEFAULT, 480, 400, nullptr, nullptr,
                                  instance, state);
    if (!taken) {
        delete state;
    }
    return window;
}
