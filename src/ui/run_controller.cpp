#include "ui/run_controller.h"

#include <commctrl.h>
#include <shellapi.h>

#include <cstring>

#include "run/log_file.h"
#include "secure/secure_results.h"
#include "settings/settings_file.h"
#include "sync/mirror_pass.h"
#include "ui/dialog_controls.h"
#include "ui/dialog_host.h"
#include "ui/secure_state.h"
#include "ui/ui_ids.h"

namespace {

const char kRunCaptionPrefix[] = "*同期コピー中･･･By";
const char kStoppingText[] = "同期を中止しています…";

} // namespace

void setMenusEnabled(HWND mainWindow, bool enabled) {
    HMENU menu = GetMenu(mainWindow);
    const UINT state = enabled ? MF_ENABLED : MF_GRAYED;
    for (int id : {kCmdOpenDefinitionFile, kCmdOpenLogFile, kCmdRunSync}) {
        EnableMenuItem(menu, static_cast<UINT>(id), MF_BYCOMMAND | state);
    }
    EnableMenuItem(menu, 1, MF_BYPOSITION | state);
    DrawMenuBar(mainWindow);
}

RunController::RunController(HWND mainWindow, const ProgramLocation& location)
    : window_(mainWindow), location_(location) {}

RunController::~RunController() {
    stopWorker();
}

void RunController::stopWorker() {
    sequence_.stop();
}

void RunController::setText(int id, const std::string& text) const {
    SetWindowTextA(GetDlgItem(window_, id), text.c_str());
}

std::string RunController::logPath() const {
    return logFilePath(location_.folder);
}

std::string RunController::lastLogUseText() const {
    return ::lastLogUseText(logPath());
}

// A click that seems to do nothing leaves the user wondering; before the first run that
// changed something there is no log, and the box says when there will be one.
void RunController::openLogFile() {
    std::string text;
    if (::openLogFile(logPath(), text)) {
        setText(kIdLogSummary, text);
        return;
    }
    const std::string missing = std::string("ログファイル（") + kLogFileName +
                                "）はまだありません。\r\n"
                                "同期でファイルを削除・コピーすると作られます。";
    showBox(missing.c_str(), MB_OK | MB_ICONINFORMATION);
}

bool RunController::secureAreaConfigured() const {
    StringList folders;
    return SettingsFile(location_).ReadSecurePaths(folders) > 0;
}

int RunController::runSecureWindow(int mode) {
    SecureMode = mode;
    modalOpen_ = true;
    const int result = RunDialog(window_, "SecureProg");
    modalOpen_ = false;
    return result;
}

int RunController::showBox(const char* text, UINT type) {
    modalOpen_ = true;
    const int answer = MessageBoxA(window_, text, kProductTitle, type);
    modalOpen_ = false;
    return answer;
}

int RunController::setAreaAgain() {
    areaOpenedByRun_ = false;
    return runSecureWindow(kSecureModeSetAgain);
}

// Folders the settings call protected would lie open without a word otherwise. An empty
// folder list (0) leaves nothing open.
void RunController::reportSetAgainFailure(int result) {
    if (result != secure::kResultDone && result != secure::kResultNone) {
        showBox(secureSetFailedText(result).c_str(), MB_OK);
    }
}

void RunController::setControlsForRun(bool running) {
    SendMessageA(GetDlgItem(window_, kIdEditor), EM_SETREADONLY, running ? TRUE : FALSE, 0);
    for (int id : {kIdRunButton, kIdIdentifierButton, kIdOpenLogButton, kIdNoSubfolderButton}) {
        EnableWindow(GetDlgItem(window_, id), running ? FALSE : TRUE);
    }
    setMenusEnabled(window_, !running);
}

void RunController::startSyncRun() {
    if (runActive_) {
        return;
    }
    setControlsForRun(true);
    HWND progress = GetDlgItem(window_, kIdProgress);
    SendMessageA(progress, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
    SendMessageA(progress, PBM_SETSTEP, 1, 0);
    SendMessageA(progress, PBM_SETPOS, 0, 0);

    areaOpenedByRun_ = false;
    if (secureAreaConfigured()) {
        const int result = runSecureWindow(kSecureModeRelease);
        // 9: no key record, nothing is locked; a run cut short between its release and its
        // set-again leaves the area so. The folders are open as after a release.
        if (result != secure::kResultDone && result != secure::kResultNoIndex) {
            showBox("保護領域の解除に失敗しました。\r\n同期処理を中止します。",
                    MB_OK | MB_ICONERROR);
            abandonStart();
            return;
        }
        areaOpenedByRun_ = true;
    }

    sequence_.context().pass().holdingDays =
        SettingsFile(location_).ReadHoldFolderDays(kDefaultHoldingDays);
    if (!sequence_.begin(windowText(GetDlgItem(window_, kIdEditor)), window_)) {
        abandonStart();
        return;
    }
    setText(kIdFolderStatus, "【最新のディレクトリ】…調査中…");
    setText(kIdLogSummary, "ミラーコピー中…");
    const std::string caption = kRunCaptionPrefix + windowText(window_);
    SetWindowTextA(window_, caption.c_str());
    runActive_ = true;
}

void RunController::abandonStart() {
    setControlsForRun(false);
    if (areaOpenedByRun_) {
        reportSetAgainFailure(setAreaAgain());
    }
}

void RunController::onNextDefinition(WPARAM wParam) {
    if (!runActive_) {
        return;
    }
    sequence_.definitionEnded(wParam);
    if (quitting_) {
        endQuit();
        return;
    }
    if (wParam == 1) {
        SendMessageA(GetDlgItem(window_, kIdProgress), PBM_SETPOS,
                     static_cast<WPARAM>(sequence_.progressPercent()), 0);
    }
    if (!sequence_.loadNextDefinition()) {
        finishSyncRun();
    }
}

void RunController::finishSyncRun() {
    int setAgain = secure::kResultDone;
    if (secureAreaConfigured()) {
        setAgain = setAreaAgain();
    }
    areaOpenedByRun_ = false;
    setControlsForRun(false);
    const std::string caption = windowText(window_);
    const std::size_t prefixLength = std::strlen(kRunCaptionPrefix);
    if (caption.compare(0, prefixLength, kRunCaptionPrefix) == 0) {
        SetWindowTextA(window_, caption.substr(prefixLength).c_str());
    }

    std::string text;
    const int unsynced = sequence_.unsyncedDefinitions();
    if (sequence_.writeLog(logPath(), text)) {
        setText(kIdLogSummary, text);
        // A run that left things undone or different, or passed a definition over, must not
        // end as if all was done.
        const std::size_t errors = countErrorLines(text);
        std::string message = errors == 0
                                  ? std::string("同期処理が完了しました。")
                                  : "同期処理は終わりましたが、処理できなかった項目が " +
                                        std::to_string(errors) +
                                        " 件あります（ログの【エラー削除】【エラーコピー】の行）。";
        if (unsynced > 0) {
            message += "\r\n同期されなかった定義が " + std::to_string(unsynced) +
                       " 件あります（ログの【未同期】の行）。";
        }
        message += "\r\n\r\nログファイルを開きますか？";
        const bool allDone = errors == 0 && unsynced == 0;
        if (showBox(message.c_str(), MB_YESNO | (allDone ? MB_ICONQUESTION : MB_ICONWARNING) |
                                         MB_DEFBUTTON2) == IDYES) {
            openLogFile();
        }
    } else {
        setText(kIdLogSummary, "更新なし");
        setText(kIdFolderStatus, "【調査結果】更新されたファイルは存在しない");
        showBox("同期処理が完了しました。\r\n（更新されたファイルは存在しません）",
                MB_OK | MB_ICONINFORMATION);
    }
    runActive_ = false;
    reportSetAgainFailure(setAgain);
}

LRESULT RunController::onRunMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    const char* text = reinterpret_cast<const char*>(lParam);
    // The sender owns the text: it is copied before anything else happens.
    const bool carriesText = message != kMsgNextDefinition && message != kMsgConfirmDeletions;
    const std::string copied = text != nullptr && carriesText ? text : "";
    switch (message) {
    case kMsgConfirmDeletions:
        return confirmDeletions(reinterpret_cast<const DeletionQuestion*>(lParam));
    case kMsgNextDefinition:
        onNextDefinition(wParam);
        break;
    case kMsgDeleting:
        setText(kIdFileStatus, "【削除】" + copied);
        break;
    case kMsgCopying:
        setText(kIdFileStatus, "【コピー】" + copied);
        break;
    case kMsgMasterFolder:
        setText(kIdFolderStatus, "【最新ディレクトリ】" + copied);
        break;
    case kMsgRunCommand:
        ShellExecuteA(nullptr, "open", copied.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
        setText(kIdFolderStatus, "【外部コマンド】" + copied);
        break;
    case kMsgUnsynced:
        setText(kIdFolderStatus, copied);
        break;
    case kMsgHolding:
        setText(kIdFileStatus, "【保管】" + copied);
        break;
    default:
        break;
    }
    return 0;
}

// The worker waits in its send until the user has answered; a run that is being ended has
// nobody to ask, and its definition is skipped.
LRESULT RunController::confirmDeletions(const DeletionQuestion* question) {
    if (!runActive_ || quitting_ || question == nullptr) {
        return 0;
    }
    const std::string text = deletionQuestionText(*question);
    return showBox(text.c_str(), MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) == IDYES ? 1 : 0;
}

bool RunController::allowClose() {
    // The code that opened the box or window still runs below it and needs this object.
    if (modalOpen_) {
        return false;
    }
    if (quitting_) {
        return false; // the window closes by itself once the run has stopped
    }
    if (!runActive_) {
        return true;
    }
    const int answer = showBox("同期処理中です。\r\n\r\n強制終了しますか？",
                               MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2);
    // The box lets messages through, so the run may have ended meanwhile.
    if (answer != IDYES || !runActive_) {
        return false;
    }
    // The worker ends at its next stop check; its last message (kMsgNextDefinition) ends
    // the quit. The window stays until then, so that it can say what it waits for and no
    // thread of the run outlives the program.
    quitting_ = true;
    sequence_.requestStop();
    setText(kIdLogSummary, kStoppingText);
    setText(kIdFolderStatus, kStoppingText);
    if (!sequence_.workerRunning()) {
        endQuit(); // between two definitions: no pass to wait for
    }
    return false;
}

// Every thread of the run has ended. Only now is the area set again, so that no copy runs
// into a folder that is being moved into the store; then the window closes as asked.
void RunController::endQuit() {
    runActive_ = false;
    quitting_ = false;
    if (areaOpenedByRun_) {
        reportSetAgainFailure(setAreaAgain());
    }
    PostMessageA(window_, WM_CLOSE, 0, 0);
}
