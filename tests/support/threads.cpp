#include "support/threads.h"

#include <tlhelp32.h>

namespace support {

std::set<DWORD> threadsOfThisProcess() {
    std::set<DWORD> ids;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) {
        return ids;
    }
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    const DWORD process = GetCurrentProcessId();
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID == process) {
            ids.insert(entry.th32ThreadID);
        }
    }
    CloseHandle(snapshot);
    return ids;
}

HeldThreads::HeldThreads(const std::set<DWORD>& ids, DWORD holdMs)
    : holdMs_(holdMs), cancel_(CreateEventA(nullptr, TRUE, FALSE, nullptr)),
      released_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {
    for (DWORD id : ids) {
        HANDLE thread = OpenThread(SYNCHRONIZE | THREAD_SUSPEND_RESUME, FALSE, id);
        if (thread == nullptr) {
            continue; // ended meanwhile
        }
        if (SuspendThread(thread) == static_cast<DWORD>(-1)) {
            CloseHandle(thread);
            continue;
        }
        threads_.insert(thread);
    }
    releaser_ = CreateThread(nullptr, 0, &releaseLater, this, 0, nullptr);
    if (releaser_ == nullptr) {
        release();
    }
}

HeldThreads::~HeldThreads() {
    SetEvent(cancel_);
    if (releaser_ != nullptr) {
        WaitForSingleObject(releaser_, INFINITE);
        CloseHandle(releaser_);
    }
    for (HANDLE thread : threads_) {
        CloseHandle(thread);
    }
    CloseHandle(cancel_);
    CloseHandle(released_);
}

DWORD WINAPI HeldThreads::releaseLater(void* self) {
    auto* held = static_cast<HeldThreads*>(self);
    WaitForSingleObject(held->cancel_, held->holdMs_);
    held->release();
    return 0;
}

void HeldThreads::release() {
    for (HANDLE thread : threads_) {
        ResumeThread(thread);
    }
    SetEvent(released_);
}

bool HeldThreads::allEnded() const {
    for (HANDLE thread : threads_) {
        if (WaitForSingleObject(thread, 0) != WAIT_OBJECT_0) {
            return false;
        }
    }
    return true;
}

} // namespace support
