#pragma once

#include <windows.h>

#include <string>

#include "run/run_sequence.h"
#include "settings/program_location.h"
#include "sync/messages.h"

constexpr UINT kRunMessageFirst = kMsgNextDefinition;
constexpr UINT kRunMessageLast = kMsgHolding;

// A sync run on the main window's thread: the definitions of the editor's text, one after
// another, each mirrored by one worker; the status lines, the progress bar, the end-of-run
// report and the log. The main window hands it the run messages and its close request.
class RunController {
  public:
    RunController(HWND mainWindow, const ProgramLocation& location);
    // Stops a worker that is still running, handling the messages it sends meanwhile.
    ~RunController();

    RunController(const RunController&) = delete;
    RunController& operator=(const RunController&) = delete;

    // The "sync" command.
    void startSyncRun();

    // WM_USER+1 to WM_USER+5, the question before mass deletions (kMsgConfirmDeletions),
    // which the user answers in a box over the main window, and the lines on unsynced
    // definitions and held entries (kMsgUnsynced, kMsgHolding).
    LRESULT onRunMessage(UINT message, WPARAM wParam, LPARAM lParam);

    // The close request: during a run the user is asked whether to quit anyway. On Yes the
    // run is asked to stop and the window says so; once its worker has ended on its own, an
    // area this run released is set again and the window is closed again (no log is
    // written). True when the window may be destroyed now.
    bool allowClose();

    bool runActive() const { return runActive_; }

    // The last-use text of the log, for the log summary box.
    std::string lastLogUseText() const;

    // Opens the log and shows its last-use text in the log summary box; says so in a box
    // when there is no log yet.
    void openLogFile();

  private:
    void abandonStart();
    void endQuit();
    void finishSyncRun();
    void stopWorker();
    int setAreaAgain();
    int showBox(const char* text, UINT type);
    void reportSetAgainFailure(int result);
    void onNextDefinition(WPARAM wParam);
    LRESULT confirmDeletions(const DeletionQuestion* question);
    void setControlsForRun(bool running);
    bool secureAreaConfigured() const;
    int runSecureWindow(int mode);
    void setText(int id, const std::string& text) const;
    std::string logPath() const;

    HWND window_;
    ProgramLocation location_;
    RunSequence sequence_;
    bool runActive_ = false;
    // The secure area was released (or found open) at this run's start and has not been
    // set again yet.
    bool areaOpenedByRun_ = false;
    // A box or "SecureProg" of the run is open over the main window; the run's own code
    // is waiting below it.
    bool modalOpen_ = false;
    // The user chose to quit during the run; the run is stopping.
    bool quitting_ = false;
};

// Greys or enables the run-sensitive menu items (1047, 1048, 1049) and the Tools menu.
void setMenusEnabled(HWND mainWindow, bool enabled);
