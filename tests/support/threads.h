#pragma once

#include <windows.h>

#include <set>

namespace support {

// Ids of the threads of this process that exist now.
std::set<DWORD> threadsOfThisProcess();

// Holds threads of this process suspended for a while, as if each were inside a system call
// that takes that long (a flush, a shell operation, a listing of a slow drive), then lets
// them go on from a thread of its own. Destroying it lets them go at once.
class HeldThreads {
  public:
    HeldThreads(const std::set<DWORD>& ids, DWORD holdMs);
    ~HeldThreads();

    HeldThreads(const HeldThreads&) = delete;
    HeldThreads& operator=(const HeldThreads&) = delete;

    // How many threads are held.
    std::size_t count() const { return threads_.size(); }
    // Whether every held thread has ended by now.
    bool allEnded() const;
    // Whether they were let go.
    bool released() const { return WaitForSingleObject(released_, 0) == WAIT_OBJECT_0; }

  private:
    static DWORD WINAPI releaseLater(void* self);
    void release();

    std::set<HANDLE> threads_;
    DWORD holdMs_;
    HANDLE cancel_ = nullptr;
    HANDLE released_ = nullptr;
    HANDLE releaser_ = nullptr;
};

} // namespace support
