#pragma once

#include <windows.h>

#include <string>

#include "run/run_sequence.h"
#include "settings/program_location.h"
#include "sync/messages.h"
#include "ui/launch_options.h"
#include "ui/main_caption.h"

constexpr UINT kRunMessageFirst = kMsgNextDefinition;
constexpr UINT kRunMessageLast = kMsgHolding;

// Posted to the main window when a run started with "/run" has ended (or could not start);
// the window then ends the program with the run's exit code.
constexpr UINT kMsgUnattendedRunEnded = WM_APP + 1;

// The main window's timer that shows how far a run has come. Its interval keeps the updates
// spaced; the worker only counts, and never waits for them.
constexpr UINT_PTR kRunProgressTimer = 0x5259;

// A sync run on the main window's thread: the definitions of the editor's text, one after
// another, each mirrored by one worker; the status lines, the progress bar, the caption,
// the end-of-run report and the log. The main window hands it the run messages, its timer
// and its close request.
class RunController {
  public:
    RunController(HWND mainWindow, const ProgramLocation& location, MainCaption& caption,
                  const LaunchOptions& launch = LaunchOptions());
    // Stops a worker that is still running, handling the messages it sends meanwhile.
    ~RunController();

    RunController(const RunController&) = delete;
    RunController& operator=(const RunController&) = delete;

    // The "sync" command (menu, F5, or the run button when no run goes on).
    void startSyncRun();

    // The run button: starts a run, or during one stops it.
    void runButton();

    // The user's stop (the run button during a run, or Esc): the worker ends at its next
    // stop check, nothing further is started, and the run ends as any run does, with a log
    // line and a box that say where it was stopped. A second request does nothing.
    void requestStop();

    // WM_USER+1 to WM_USER+5, the question before mass deletions (kMsgConfirmDeletions),
    // which the user answers in a box over the main window, and the lines on unsynced
    // definitions and held entries (kMsgUnsynced, kMsgHolding).
    LRESULT onRunMessage(UINT message, WPARAM wParam, LPARAM lParam);

    // The session ends (WM_ENDSESSION): a run is stopped, waited for and ended as a stopped
    // run ends, without boxes.
    void endForSession();

    // kRunProgressTimer: the bar, the caption's percentage and the status line follow the
    // pass in progress.
    void onProgressTimer();

    // The close request: during a run the user is asked whether to quit anyway. On Yes the
    // run is asked to stop and the window says so; once its worker has ended on its own, an
    // area this run released is set again and the window is closed again (no log is
    // written). True when the window may be destroyed now.
    bool allowClose();

    bool runActive() const { return runActive_; }

    // How the last run ended, as "/run" reports it (launch_options.h).
    int exitCode() const { return exitCode_; }

    // The last-use text of the log, for the log summary box.
    std::string lastLogUseText() const;

    // Opens the log and shows its last-use text in the log summary box; says so in a box
    // when there is no log yet.
    void openLogFile();

  private:
    void abandonStart(int exitCode);
    void endQuit();
    void finishSyncRun();
    void endUnattended();
    // Nobody answers the end-of-run boxes: a run started with /run, or a session that ends.
    bool unattended() const { return launch_.run || sessionEnding_; }
    void stopWorker();
    int setAreaAgain();
    // False when the run may not start; result is the release's, or kReleaseNotTried.
    bool releaseArea(int& result);
    int showBox(const char* text, UINT type);
    bool reportSetAgainFailure(int result);
    void onNextDefinition(WPARAM wParam);
    void onStep(const char* tag, const std::string& path);
    LRESULT confirmDeletions(const DeletionQuestion* question);
    void setControlsForRun(bool running);
    void showBar();
    void showStatus();
    void showProgress();
    std::string statusText() const;
    bool secureAreaConfigured() const;
    int runSecureWindow(int mode);
    void setText(int id, const std::string& text) const;
    std::string logPath() const;

    HWND window_;
    ProgramLocation location_;
    MainCaption& caption_;
    LaunchOptions launch_;
    RunSequence sequence_;
    bool runActive_ = false;
    // The run's end has begun: a stop comes too late.
    bool finishing_ = false;
    // The secure area was released (or found open) at this run's start and has not been
    // set again yet.
    bool areaOpenedByRun_ = false;
    // A box or "SecureProg" of the run is open over the main window; the run's own code
    // is waiting below it.
    bool modalOpen_ = false;
    // The run is being ended because the session ends.
    bool sessionEnding_ = false;
    // A definition of this run was skipped at the mass-deletion question.
    bool declined_ = false;
    // When the run button started the run: the second click of a double-click must not
    // stop it again at once.
    DWORD buttonStartTick_ = 0;
    bool startedByButton_ = false;
    // The deletion or copy in hand in the current definition, as its last message told.
    std::string stepTag_;
    std::string stepPath_;
    int shownPercent_ = 0;
    int exitCode_ = kExitAllDone;
    // The user chose to quit during the run; the run is stopping.
    bool quitting_ = false;
};

// Greys or enables the run-sensitive menu items (1047, 1048, 1049) and the Tools menu.
void setMenusEnabled(HWND mainWindow, bool enabled);
