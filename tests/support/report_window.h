#pragma once

#include <windows.h>

#include <atomic>
#include <cstddef>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace support {

// One message the report window received, with the texts it carried.
struct ReportedMessage {
    UINT message = 0;
    WPARAM wParam = 0;
    std::string text;   // lParam as a text (the destination for a copy)
    std::string source; // the source of a copy
    LPARAM lParam = 0;
    // A question about mass deletions (kMsgConfirmDeletions): `text` is the target folder,
    // `source` the master.
    std::size_t entries = 0;
    std::size_t deletions = 0;
};

// A message-only window that stands in for the main window or another report window: it
// records every message from WM_USER on, copying the texts of the run messages WM_USER+2
// to WM_USER+5 as the real handlers do (for other messages only wParam and lParam).
class ReportWindow {
  public:
    ReportWindow();
    ~ReportWindow();

    ReportWindow(const ReportWindow&) = delete;
    ReportWindow& operator=(const ReportWindow&) = delete;

    HWND handle() const { return window_; }
    std::vector<ReportedMessage> messages() const;
    void clear();

    // Called on the window's thread with each message after it was recorded, before the
    // sender goes on: a test acts at a chosen moment of a run.
    void onMessage(std::function<void(const ReportedMessage&)> action) { action_ = action; }

    // The answer to a question about mass deletions: nonzero goes on (the default), 0
    // skips the definition.
    void answerDeletions(LRESULT answer) { deletionAnswer_ = answer; }

  private:
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void record(UINT message, WPARAM wParam, LPARAM lParam);

    HWND window_ = nullptr;
    mutable std::mutex lock_;
    std::vector<ReportedMessage> messages_;
    std::function<void(const ReportedMessage&)> action_;
    std::atomic<LRESULT> deletionAnswer_{1};
};

// Handles the calling thread's messages until the condition holds or the time is up.
bool pumpMessagesUntil(const std::function<bool()>& condition, DWORD timeoutMs);

} // namespace support
