#include "base/worker_thread.h"

WorkerThread::WorkerThread() {
    InitializeCriticalSection(&lock_);
}

WorkerThread::~WorkerThread() {
    stopWorker();
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

bool WorkerThread::join(DWORD timeoutMs, bool serveSentMessages) {
    const DWORD start = GetTickCount();
    while (registered()) {
        DWORD wait = timeoutMs;
        if (timeoutMs != INFINITE) {
            const DWORD elapsed = GetTickCount() - start;
            wait = elapsed < timeoutMs ? timeoutMs - elapsed : 0;
        }
        HANDLE thread = thread_.get();
        const DWORD result =
            serveSentMessages ? MsgWaitForMultipleObjects(1, &thread, FALSE, wait, QS_SENDMESSAGE)
                              : WaitForSingleObject(thread, wait);
        if (result == WAIT_OBJECT_0) {
            return waitWorkerFinished();
        }
        if (!serveSentMessages || result != WAIT_OBJECT_0 + 1) {
            return false; // the time is up, or the handle cannot be waited on
        }
        // Peeking hands every message sent to this thread to its window.
        MSG message;
        PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        if (wait == 0) {
            return waitWorkerFinished();
        }
    }
    return true;
}

void WorkerThread::stopWorker() {
    if (!registered()) {
        return;
    }
    stopRequested_ = true;
    join(INFINITE, true);
}
