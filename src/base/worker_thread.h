#pragma once

#include <windows.h>

#include <atomic>

#include "base/scoped_handle.h"

// One worker at a time: the thread, its id, the exit code of the last finished worker and
// a lock. The run context and the secure engine context are built on it.
class WorkerThread {
  public:
    using Body = DWORD(WINAPI*)(void* argument);

    WorkerThread();
    // A worker still running is stopped (see stopWorker).
    ~WorkerThread();

    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    // Stops a worker that is still registered, then starts the body on a new thread with
    // default stack and security. False when the thread cannot be created.
    bool start(Body body, void* argument);

    // True when no worker is registered. While the worker runs: false. When it has ended:
    // collects its exit code, closes and forgets it, and returns true.
    bool waitWorkerFinished();

    // Waits on the thread itself until the worker has ended, at most `timeoutMs` (INFINITE:
    // however long it takes), and collects it as waitWorkerFinished does. True when no
    // worker is registered any more; false when it still runs at the end of the time.
    // With `serveSentMessages`, messages that other threads send to this one are handled
    // meanwhile: a worker that waits in SendMessage for this thread can go on to its end.
    bool join(DWORD timeoutMs, bool serveSentMessages = false);

    // Asks the worker to stop and waits until it has ended on its own, however long its
    // current call takes, handling the messages other threads send to this one meanwhile
    // (a worker may be waiting in a send for this thread). Afterwards no worker is
    // registered. A thread is never terminated: one killed inside a heap or file-system call
    // can leave a lock held for good, and the threads it started would go on using its stack
    // and its data.
    void stopWorker();

    // Asks the worker to stop without waiting for it; a caller that must keep handling
    // messages meanwhile waits with waitWorkerFinished.
    void requestStop() { stopRequested_ = true; }

    // Whether a stop was asked for since the worker started; a body that checks it between
    // steps can end early and cleanly.
    bool stopRequested() const { return stopRequested_.load(); }
    // The same request as a flag that code without access to the holder can watch.
    const std::atomic<bool>& stopFlag() const { return stopRequested_; }

    bool registered() const { return thread_.valid(); }
    DWORD threadId() const { return threadId_; }
    DWORD exitCode() const { return exitCode_; }

    CRITICAL_SECTION& lock() { return lock_; }

  private:
    KernelHandle thread_;
    DWORD threadId_ = 0;
    DWORD exitCode_ = 0;
    CRITICAL_SECTION lock_;
    std::atomic<bool> stopRequested_{false};
};

// Holds a critical section for the lifetime of the object.
class CriticalSectionLock {
  public:
    explicit CriticalSectionLock(CRITICAL_SECTION& section) : section_(section) {
        EnterCriticalSection(&section_);
    }
    ~CriticalSectionLock() { LeaveCriticalSection(&section_); }

    CriticalSectionLock(const CriticalSectionLock&) = delete;
    CriticalSectionLock& operator=(const CriticalSectionLock&) = delete;

  private:
    CRITICAL_SECTION& section_;
};
