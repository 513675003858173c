#include "ui/secure_prog_window.h"

#include <commctrl.h>

#include <memory>

#include "secure/secure_context.h"
#include "secure/secure_messages.h"
#include "settings/settings_file.h"
#include "ui/dialog_controls.h"
#include "ui/dialog_host.h"
#include "ui/secure_state.h"
#include "ui/ui_resources.h"
#include "ui/window_record.h"

namespace {

constexpr UINT kStartDelayMs = 1000;
// After the finished message the worker's thread is looked at again this often until it
// has ended; the window keeps handling its messages meanwhile.
constexpr UINT_PTR kTimerWorkerEnd = 1026;
constexpr UINT kWorkerEndPollMs = 50;

enum class Phase { Waiting, AskingPassword, Running, Finished };

struct SecureProgState {
    HWND window = nullptr;
    std::unique_ptr<SecureContext> context;
    Phase phase = Phase::Waiting;
    bool setting = false;
};

const ControlEntry kControls[] = {
    {kIdSecureProgress, PROGRESS_CLASSA, "", WS_EX_STATICEDGE, WS_CHILD | WS_VISIBLE, 4, 61, 307,
     21},
    {kIdSecureStatus, "STATIC", "ユーザー通知", 0, WS_CHILD | WS_VISIBLE, 11, 10, 287, 20},
    {kIdPasswordLabel, "STATIC", "パスワードを入力してください：", 0, WS_CHILD, 21, 37, 157, 15},
    {kIdPasswordEdit, "EDIT", "", WS_EX_CLIENTEDGE,
     WS_CHILD | WS_TABSTOP | ES_PASSWORD | ES_AUTOHSCROLL, 180, 33, 96, 23},
    {kIdPasswordOk, "BUTTON", "OK", 0, WS_CHILD | WS_TABSTOP | BS_DEFPUSHBUTTON, 281, 34, 29, 21},
};

// Closes the window with the result and what the operation reported beyond it.
void finishWith(SecureProgState& state, const SecureOutcome& outcome) {
    state.phase = Phase::Finished;
    LastSecureOutcome = outcome;
    CloseDialog(state.window, outcome.resultCode);
}

void finishWith(SecureProgState& state, int result, DWORD systemError = 0) {
    SecureOutcome outcome;
    outcome.resultCode = result;
    outcome.systemError = systemError;
    finishWith(state, outcome);
}

// The close box is grey while closing does nothing (see onClose), so that it does not look
// like a way out.
void allowClosing(HWND window, bool allowed) {
    EnableMenuItem(GetSystemMenu(window, FALSE), SC_CLOSE,
                   MF_BYCOMMAND | (allowed ? MF_ENABLED : MF_GRAYED));
}

LRESULT onInitDialog(SecureProgState& state) {
    HWND window = state.window;
    LastSecureOutcome = SecureOutcome();
    createControls(window, kControls, dialogFont(FontSlot::SecureProg));

    state.context.reset(new SecureContext(secureStoreRoot()));
    state.context->setIndexScrambling(1);
    HWND progress = GetDlgItem(window, kIdSecureProgress);
    SendMessageA(progress, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
    SendMessageA(progress, PBM_SETPOS, 0, 0);

    HWND status = GetDlgItem(window, kIdSecureStatus);
    if (SecureMode == kSecureModeRelease) {
        SetWindowTextA(status, "保護領域を解除中…");
        SetTimer(window, kTimerRelease, kStartDelayMs, nullptr);
    } else if (SecureMode == kSecureModeSetAgain || SecureMode == kSecureModeSetNew) {
        SetWindowTextA(status, "保護領域を設定中…");
        state.setting = true;
        allowClosing(window, false);
        SetTimer(window, kTimerSet, kStartDelayMs, nullptr);
    } else {
        // Nothing to do: the window must not stay open without a way to close it.
        PostMessageA(window, WM_CLOSE, 0, 0);
    }
    return 0;
}

void startOperation(SecureProgState& state, bool release) {
    state.context->setWindow(state.window);
    state.phase = Phase::Running;
    allowClosing(state.window, false);
    const int started = release ? state.context->startRelease() : state.context->startProtect();
    if (started != 1) {
        // No worker runs, so no finished message will come.
        finishWith(state, state.context->resultCode());
    }
}

void showPasswordRow(SecureProgState& state) {
    state.phase = Phase::AskingPassword;
    for (int id : {kIdPasswordLabel, kIdPasswordEdit, kIdPasswordOk}) {
        ShowWindow(GetDlgItem(state.window, id), SW_SHOW);
    }
    SetFocus(GetDlgItem(state.window, kIdPasswordEdit));
}

void startRelease(SecureProgState& state) {
    // The probe reads a copy of the index, so it is quick enough for this thread.
    switch (state.context->probeKeyRecord()) {
    case secure::kProbeKeyWord:
        showPasswordRow(state);
        break;
    case secure::kProbeKeyFile:
        // The engine takes the key file from its own record.
        startOperation(state, true);
        break;
    case secure::kProbeUnreadable:
        // An index that cannot be read is no missing index: the area may well be set, and
        // a run that went on would mirror its emptied folders.
        finishWith(state, secure::kResultIndexUnreadable, state.context->probeError());
        break;
    default:
        finishWith(state, secure::kResultNoIndex);
        break;
    }
}

void startSet(SecureProgState& state) {
    const SettingsFile settings(secureLocation());
    state.context->setHideFolders((settings.ReadSecureType() & 1) != 0 ? 1 : 0);
    StringList folders;
    settings.ReadSecurePaths(folders);
    for (const std::string& folder : folders) {
        state.context->addFolder(folder);
    }
    state.context->setKeyText(CurrentKeyText);
    startOperation(state, false);
}

// The result is read only once the worker's thread has ended, however long that takes:
// a result read earlier could be one the worker has not stored yet, and 0 would tell a
// caller that nothing was protected.
void closeOnceWorkerEnded(SecureProgState& state) {
    if (!state.context->workerFinished()) {
        SetTimer(state.window, kTimerWorkerEnd, kWorkerEndPollMs, nullptr);
        return;
    }
    SecureOutcome outcome = state.context->outcome();
    outcome.resultCode = state.context->resultCode();
    if (outcome.resultCode == secure::kResultDone) {
        std::string key;
        state.context->keyText(key);
        CurrentKeyText = key;
    } else if (!outcome.key.empty()) {
        // The key opened the area, though not everything came back: a setting again
        // takes the same key.
        CurrentKeyText = outcome.key;
    }
    finishWith(state, outcome);
}

LRESULT onTimer(SecureProgState& state, UINT_PTR id) {
    KillTimer(state.window, id);
    if (id == kTimerWorkerEnd) {
        closeOnceWorkerEnded(state);
        return 0;
    }
    if (state.phase != Phase::Waiting) {
        return 0;
    }
    if (id == kTimerRelease) {
        startRelease(state);
    } else if (id == kTimerSet) {
        startSet(state);
    }
    return 0;
}

LRESULT onClose(SecureProgState& state);

LRESULT onCommand(SecureProgState& state, int id, int notification) {
    if (id == IDCANCEL) { // the Esc key
        return onClose(state);
    }
    // Only while the password is asked for: a second click must neither start another
    // operation on the context nor disturb the running one.
    if (id == kIdPasswordOk && notification == BN_CLICKED && state.phase == Phase::AskingPassword) {
        state.context->setKeyText(windowText(GetDlgItem(state.window, kIdPasswordEdit)));
        EnableWindow(GetDlgItem(state.window, kIdPasswordOk), FALSE);
        SendMessageA(GetDlgItem(state.window, kIdPasswordEdit), EM_SETREADONLY, TRUE, 0);
        startOperation(state, true);
    }
    return 0;
}

void onProgress(SecureProgState& state, WPARAM done, LPARAM all) {
    if (all <= 0) {
        return;
    }
    const int position =
        static_cast<int>(100.0 * static_cast<double>(done) / static_cast<double>(all));
    SendMessageA(GetDlgItem(state.window, kIdSecureProgress), PBM_SETPOS,
                 static_cast<WPARAM>(position), 0);
}

void onFinished(SecureProgState& state) {
    if (state.phase != Phase::Running) {
        return;
    }
    state.phase = Phase::Finished;
    closeOnceWorkerEnded(state);
}

// The close box, Esc and Alt+F4. Before a release has started (while the password is asked
// for, say) the window closes with 0 and the area stays set, as after a wrong password.
LRESULT onClose(SecureProgState& state) {
    // The context must not go while its worker runs; the finished message closes the
    // window then. A set is not given up before it starts either: it would leave the
    // folders open without a word.
    if (state.phase == Phase::Running || state.phase == Phase::Finished ||
        (state.phase == Phase::Waiting && state.setting)) {
        return 0;
    }
    finishWith(state, secure::kResultNone);
    return 0;
}

LRESULT handleMessage(SecureProgState& state, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        return onInitDialog(state);
    case WM_TIMER:
        return onTimer(state, wParam);
    case WM_COMMAND:
        return onCommand(state, LOWORD(wParam), HIWORD(wParam));
    case DM_GETDEFID:
        // Enter in the password edit presses OK.
        return MAKELRESULT(kIdPasswordOk, DC_HASDEFID);
    case kMsgProtectProgress:
    case kMsgReleaseProgress:
        onProgress(state, wParam, lParam);
        return DefWindowProcA(state.window, message, wParam, lParam);
    case kMsgSecureFinished:
        onFinished(state);
        return 0;
    case WM_CLOSE:
        return onClose(state);
    case WM_DESTROY:
        // Waits for a worker that still runs (the owner was destroyed under us).
        state.context.reset();
        return 0;
    default:
        return DefWindowProcA(state.window, message, wParam, lParam);
    }
}

} // namespace

LRESULT CALLBACK secureProgProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return recordProcedure<SecureProgState, &handleMessage>(window, message, wParam, lParam);
}
