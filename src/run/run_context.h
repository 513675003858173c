#pragma once

#include <windows.h>

#include "base/scoped_handle.h"
#include "base/worker_thread.h"
#include "sync/pass_context.h"
#include "sync/pass_progress.h"

// A run's window shows the path in hand; more often than this no eye can follow, and each
// message holds the worker up.
constexpr DWORD kReportIntervalMs = 50;

// The one run context of the program: the worker that runs a definition's mirror pass, the
// private heap the pass's snapshots allocate from, and the pass state (folders of the
// loaded definition, subfolder switch, report window, outcome lines of the run).
class RunContext {
  public:
    RunContext();
    // A worker still running is asked to stop and waited for (it is never terminated)
    // before the pass state it uses goes away.
    ~RunContext();

    RunContext(const RunContext&) = delete;
    RunContext& operator=(const RunContext&) = delete;

    // Whether the private heap could be made.
    bool created() const { return heap_.valid(); }

    PassContext& pass() { return pass_; }
    const PassContext& pass() const { return pass_; }
    WorkerThread& worker() { return worker_; }
    const WorkerThread& worker() const { return worker_; }
    // How far the pass of the current definition has come; read on any thread.
    const PassProgress& progress() const { return progress_; }
    // Only while no worker runs.
    void resetProgress() { progress_.reset(); }
    // The first folder of the definition whose pass started last: where a run was when
    // its pass had not reached an entry yet.
    const std::string& definitionFolder() const { return definitionFolder_; }

    // Starts the mirror pass of the loaded definition on the worker thread.
    bool startMirrorWorker();

  private:
    PrivateHeap heap_;
    PassProgress progress_;
    std::string definitionFolder_;
    PassContext pass_;
    // Last, so that it is destroyed (and the worker stopped) first.
    WorkerThread worker_;
};

// The worker's body, given the run context: the mirror pass; then the folder list is let
// go, the subfolder switch set on again, and kMsgNextDefinition with wParam 1 posted to the
// report window as the worker's last act. Exit code 0.
DWORD WINAPI mirrorWorkerBody(void* runContext);

// Loads the next definition of `text` (a private, zero-terminated copy; the parser cuts
// its lines) with `window` as report window: the parser collects the definition's existing
// folders, applies its option and has the window start its commands. With two or more
// folders they go to the run context and the mirror worker starts; otherwise (or when the
// worker cannot start) the definition is skipped: a definition with too few folders is
// named in the unsynced list (see unsynced_definitions.h), the subfolder switch is set on
// again and kMsgNextDefinition with wParam 0 is posted. Returns the parser's offset: 0 when
// the text holds no further definition.
int startDefinition(RunContext& context, char* text, HWND window);
