#include "ui/run_controller.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>

#include "run/log_file.h"
#include "run/run_context.h"
#include "secure/secure_context.h"
#include "secure/secure_results.h"
#include "settings/settings_file.h"
#include "sync/mirror_pass.h"
#include "sync/pass_progress.h"
#include "ui/dialog_controls.h"
#include "ui/dialog_host.h"
#include "ui/secure_state.h"
#include "ui/secure_texts.h"
#include "ui/ui_ids.h"

namespace {

const char kStoppingText[] = "同期を中止しています…";
// The result of a release that was never asked for: no password prompt in a quiet run.
constexpr int kReleaseNotTried = -1;

// A copy at least this large shows its own share in the status line: it takes long enough
// for the share to be read.
constexpr std::uint64_t kLargeFileBytes = 8ull << 20;

const char kRunButtonText[] = "同期実行";
const char kStopButtonText[] = "中止";
const char kStoppingButtonText[] = "中止中…";

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

RunController::RunController(HWND mainWindow, const ProgramLocation& location, MainCaption& caption,
                             const LaunchOptions& launch)
    : window_(mainWindow), location_(location), caption_(caption), launch_(launch) {}

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
// folder list (0) leaves nothing open. True when the area was not set again.
bool RunController::reportSetAgainFailure(int result) {
    if (result == secure::kResultDone || result == secure::kResultNone) {
        return false;
    }
    if (!launch_.quiet && !sessionEnding_) {
        showBox(secureSetFailedText(LastSecureOutcome).c_str(), MB_OK);
    }
    return true;
}

void RunController::setControlsForRun(bool running) {
    SendMessageA(GetDlgItem(window_, kIdEditor), EM_SETREADONLY, running ? TRUE : FALSE, 0);
    for (int id : {kIdRunButton, kIdIdentifierButton, kIdOpenLogButton, kIdNoSubfolderButton}) {
        EnableWindow(GetDlgItem(window_, id), running ? FALSE : TRUE);
    }
    if (!running) {
        setText(kIdRunButton, kRunButtonText);
    }
    setMenusEnabled(window_, !running);
}

// A password can only be typed by a person; without one the release is not tried.
bool RunController::releaseArea(int& result) {
    if (launch_.quiet) {
        SecureContext probe(secureStoreRoot());
        if (probe.probeKeyRecord() == secure::kProbeKeyWord) {
            return false; // nobody there to type the password
        }
    }
    result = runSecureWindow(kSecureModeRelease);
    // 9: no key record, nothing is locked; a run cut short between its release and its
    // set-again leaves the area so. The folders are open as after a release.
    return result == secure::kResultDone || result == secure::kResultNoIndex;
}

void RunController::runButton() {
    if (!runActive_) {
        // Taken at the click: a release that asks for the password can take its time.
        const DWORD clicked = GetTickCount();
        startSyncRun();
        if (runActive_) {
            startedByButton_ = true;
            buttonStartTick_ = clicked;
        }
        return;
    }
    // A double-click on "同期実行" clicks twice; the second click lands on "中止".
    if (startedByButton_ && GetTickCount() - buttonStartTick_ < GetDoubleClickTime()) {
        return;
    }
    requestStop();
}

void RunController::startSyncRun() {
    if (runActive_ || modalOpen_) {
        return;
    }
    setControlsForRun(true);
    HWND progress = GetDlgItem(window_, kIdProgress);
    SendMessageA(progress, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
    SendMessageA(progress, PBM_SETSTEP, 1, 0);
    SendMessageA(progress, PBM_SETPOS, 0, 0);
    startedByButton_ = false;
    declined_ = false;
    exitCode_ = kExitAllDone;

    areaOpenedByRun_ = false;
    if (secureAreaConfigured()) {
        int result = kReleaseNotTried;
        if (!releaseArea(result)) {
            if (!launch_.quiet) {
                const std::string text = secureReleaseFailedText(LastSecureOutcome) +
                                         "\r\n\r\n同期処理を中止します。";
                showBox(text.c_str(), MB_OK | MB_ICONERROR);
            }
            // Released but not whole: the folders are open, and are set again at once.
            areaOpenedByRun_ = secureAreaReleased(result);
            abandonStart(kExitNotStarted);
            return;
        }
        areaOpenedByRun_ = true;
    }

    sequence_.context().pass().holdingDays =
        SettingsFile(location_).ReadHoldFolderDays(kDefaultHoldingDays);
    stepTag_.clear();
    stepPath_.clear();
    if (!sequence_.begin(windowText(GetDlgItem(window_, kIdEditor)), window_)) {
        abandonStart(kExitAllDone);
        return;
    }
    setText(kIdFolderStatus, "【最新のディレクトリ】…調査中…");
    setText(kIdLogSummary, "ミラーコピー中…");
    setText(kIdRunButton, kStopButtonText);
    EnableWindow(GetDlgItem(window_, kIdRunButton), TRUE);
    shownPercent_ = 0;
    caption_.setRunPercent(0);
    runActive_ = true;
    finishing_ = false;
    SetTimer(window_, kRunProgressTimer, kReportIntervalMs, nullptr);
}

void RunController::abandonStart(int exitCode) {
    setControlsForRun(false);
    bool setAgainFailed = false;
    if (areaOpenedByRun_) {
        setAgainFailed = reportSetAgainFailure(setAreaAgain());
    }
    exitCode_ = exitCode != kExitAllDone ? exitCode
                                         : (setAgainFailed ? kExitSomethingUndone : kExitAllDone);
    endUnattended();
}

void RunController::endUnattended() {
    if (launch_.run) {
        PostMessageA(window_, kMsgUnattendedRunEnded, 0, 0);
    }
}

void RunController::requestStop() {
    if (!runActive_ || finishing_ || sequence_.stopRequested()) {
        return;
    }
    sequence_.requestStop();
    HWND button = GetDlgItem(window_, kIdRunButton);
    SetWindowTextA(button, kStoppingButtonText);
    EnableWindow(button, FALSE);
    setText(kIdLogSummary, kStoppingText);
}

void RunController::onNextDefinition(WPARAM wParam) {
    // A run ended for the session end has collected its worker already; the worker's last
    // message may come while the end of that run waits in "SecureProg".
    if (!runActive_ || finishing_) {
        return;
    }
    // The worker posts this as its last act, so the figures of its pass are final: the
    // status line keeps them once the next definition has reset them.
    showStatus();
    sequence_.definitionEnded(wParam);
    showBar();
    if (quitting_) {
        endQuit();
        return;
    }
    // What was in hand belongs to the definition that ended; a stopped run keeps it to say
    // where it stopped.
    if (!sequence_.stopRequested()) {
        stepTag_.clear();
        stepPath_.clear();
    }
    if (!sequence_.loadNextDefinition()) {
        finishSyncRun();
    }
}

std::string RunController::statusText() const {
    if (stepTag_.empty()) {
        return std::string();
    }
    const PassProgress::Figures figures = sequence_.context().progress().read();
    std::string text;
    if (figures.planned && figures.step > 0) {
        text = std::to_string(figures.step) + " / " +
               std::to_string(std::max(figures.steps, figures.step)) + " 件  ";
        if (figures.fileSize >= kLargeFileBytes) {
            const std::uint64_t percent =
                std::min<std::uint64_t>(100, figures.fileWritten * 100 / figures.fileSize);
            text += "このファイル " + std::to_string(percent) + "%  ";
        }
    }
    return text + stepTag_ + stepPath_;
}

// The bar never moves back: a pass that planned too little, or a definition that ends
// short of its plan, would otherwise make it jump.
void RunController::showBar() {
    const double share = passShare(sequence_.context().progress().read());
    const int percent = sequence_.progressPercent(share);
    if (percent > shownPercent_) {
        shownPercent_ = percent;
        SendMessageA(GetDlgItem(window_, kIdProgress), PBM_SETPOS, static_cast<WPARAM>(percent), 0);
        caption_.setRunPercent(percent);
    }
}

void RunController::showStatus() {
    const std::string status = statusText();
    if (!status.empty() && status != windowText(GetDlgItem(window_, kIdFileStatus))) {
        setText(kIdFileStatus, status);
    }
}

void RunController::showProgress() {
    showBar();
    showStatus();
}

void RunController::onProgressTimer() {
    if (runActive_ && !finishing_) {
        showProgress();
    }
}

// Once WM_ENDSESSION returns, the process may end at any moment: the run is stopped as the
// user's stop does and waited for, so that the log tells what was done and the area is set
// again, and it ends without a box that nobody would answer. A run whose code waits below a
// box or "SecureProg" cannot be ended from here; its worker copies nothing under a final
// name that is not whole.
void RunController::endForSession() {
    if (!runActive_ || finishing_ || modalOpen_ || quitting_) {
        return;
    }
    sessionEnding_ = true;
    sequence_.requestStop();
    sequence_.stop(); // its last message then finds the run ended
    finishSyncRun();
    sessionEnding_ = false;
}

void RunController::onStep(const char* tag, const std::string& path) {
    stepTag_ = tag;
    stepPath_ = path;
    setText(kIdFileStatus, statusText());
}

void RunController::finishSyncRun() {
    finishing_ = true;
    KillTimer(window_, kRunProgressTimer);
    EnableWindow(GetDlgItem(window_, kIdRunButton), FALSE);
    const bool stopped = sequence_.stopRequested();
    std::string where;
    if (stopped) {
        where = stepPath_.empty() ? sequence_.context().definitionFolder() : stepPath_;
        sequence_.recordStop(where);
    }

    int setAgain = secure::kResultDone;
    if (secureAreaConfigured()) {
        setAgain = setAreaAgain();
    }
    areaOpenedByRun_ = false;
    setControlsForRun(false);
    caption_.setRunPercent(-1);

    std::string text;
    std::size_t errors = 0;
    const int unsynced = sequence_.unsyncedDefinitions();
    if (sequence_.writeLog(logPath(), text)) {
        setText(kIdLogSummary, text);
        errors = countErrorLines(text);
        // A definition passed over must not end as if all was done either; the log names it.
        const std::string unsyncedNote = unsynced > 0 ? "\r\n同期されなかった定義が " +
                                                            std::to_string(unsynced) +
                                                            " 件あります（ログの【未同期】の行）。"
                                                      : std::string();
        std::string message;
        UINT icon = MB_ICONQUESTION;
        if (stopped) {
            message = "同期処理を中止しました。\r\n中止した位置：" + where +
                      "\r\nここから後の項目と、後の定義は同期されていません。"
                      "\r\n\r\nログファイルを開きますか？";
            icon = MB_ICONINFORMATION;
        } else if (errors == 0) {
            message =
                "同期処理が完了しました。" + unsyncedNote + "\r\n\r\nログファイルを開きますか？";
            icon = unsynced > 0 ? MB_ICONWARNING : MB_ICONQUESTION;
        } else {
            // A run that left things undone or different must not end as if all was done.
            message = "同期処理は終わりましたが、処理できなかった項目が " + std::to_string(errors) +
                      " 件あります（ログの【エラー削除】【エラーコピー】の行）。" + unsyncedNote +
                      "\r\n\r\nログファイルを開きますか？";
            icon = MB_ICONWARNING;
        }
        // A run started with /run answers the question itself: nobody opens the log.
        if (!unattended() && showBox(message.c_str(), MB_YESNO | icon | MB_DEFBUTTON2) == IDYES) {
            openLogFile();
        }
    } else {
        setText(kIdLogSummary, "更新なし");
        setText(kIdFolderStatus, "【調査結果】更新されたファイルは存在しない");
        if (!unattended()) {
            showBox("同期処理が完了しました。\r\n（更新されたファイルは存在しません）",
                    MB_OK | MB_ICONINFORMATION);
        }
    }
    runActive_ = false;
    finishing_ = false;
    const bool setAgainFailed = reportSetAgainFailure(setAgain);
    if (stopped) {
        exitCode_ = kExitStopped;
    } else if (declined_) {
        exitCode_ = kExitDeclined;
    } else if (errors > 0 || setAgainFailed) {
        exitCode_ = kExitSomethingUndone;
    } else {
        exitCode_ = kExitAllDone;
    }
    endUnattended();
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
        onStep("【削除】", copied);
        break;
    case kMsgCopying:
        onStep("【コピー】", copied);
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
// nobody to ask, and its definition is skipped. So is it when nobody is there to answer.
LRESULT RunController::confirmDeletions(const DeletionQuestion* question) {
    if (!runActive_ || quitting_ || question == nullptr) {
        return 0;
    }
    // A stopped run deletes nothing more: the safe answer.
    if (sequence_.stopRequested()) {
        return 0;
    }
    if (launch_.quiet) {
        declined_ = true;
        return 0;
    }
    const std::string text = deletionQuestionText(*question);
    if (showBox(text.c_str(), MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) == IDYES) {
        return 1;
    }
    declined_ = true;
    return 0;
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
    KillTimer(window_, kRunProgressTimer);
    if (areaOpenedByRun_) {
        reportSetAgainFailure(setAreaAgain());
    }
    exitCode_ = kExitStopped;
    if (launch_.run) {
        endUnattended(); // which closes the window with the code
    } else {
        PostMessageA(window_, WM_CLOSE, 0, 0);
    }
}
