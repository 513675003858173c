#include "run/worker_thread.h"

namespace {

// What the destructor grants a worker that is still running at exit.
constexpr DWORD kExitGraceMs = 3000;

} // namespace

WorkerThread::WorkerThread() { InitializeCriticalSection(&lock_); }

WorkerThread::~WorkerThread() {
    stopWorker(kExitGraceMs);
    DeleteCriticalSection(&lock_);
}

bool WorkerThread::start(Body body, void* argument) {
    if (registered()) {
        stopWorker();
    }
    stopRequested_ = false;
    DWORD id = 0;
    thread_.reset(CreateThread(nullptr, 0, body, argument, 0, &id));
    threadId_ = thread_.valid() ? id : 0;
    return thread_.valid();
}

bool WorkerThread::waitWorkerFinished() {
    if (!registered()) {
        return true;
    }
    if (WaitForSingleObject(thread_.get(), 0) == WAIT_TIMEOUT) {
        return false;
    }
    DWORD code = 0;
    exitCode_ = GetExitCodeThread(thread_.get(), &code) ? code : 0;
    thread_.reset();
    threadId_ = 0;
    return true;
}

void WorkerThread::stopWorker(DWORD graceMs) {
    if (!registered()) {
        return;
    }
    stopRequested_ = true;
    if (WaitForSingleObject(thread_.get(), graceMs) == WAIT_TIMEOUT) {
        TerminateThread(thread_.get(), 1);
        WaitForSingleObject(thread_.get(), INFINITE);
    }
    thread_.reset();
    threadId_ = 0;
    exitCode_ = 0;
}
