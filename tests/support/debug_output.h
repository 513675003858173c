#pragma once

#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>

namespace support {

// Collects what this process writes to the system debug output while the object lives, as
// a debug-output viewer would: it serves the shared buffer the platform writes each text
// into. Only one capture runs at a time on the machine; a second one (from a parallel test
// program) waits for the first to end.
class DebugOutputCapture {
  public:
    DebugOutputCapture();
    ~DebugOutputCapture();

    DebugOutputCapture(const DebugOutputCapture&) = delete;
    DebugOutputCapture& operator=(const DebugOutputCapture&) = delete;

    // Whether the buffer could be served; without it nothing is collected.
    bool active() const { return active_; }

    // Everything this process wrote since the capture began (or since the last take),
    // joined; the capture goes on.
    std::string take();

  private:
    void serve();

    HANDLE exclusive_ = nullptr;
    HANDLE mapping_ = nullptr;
    HANDLE bufferReady_ = nullptr;
    HANDLE dataReady_ = nullptr;
    void* view_ = nullptr;
    bool active_ = false;
    std::atomic<bool> stop_{false};
    std::thread server_;
    std::mutex lock_;
    std::string collected_;
};

} // namespace support
