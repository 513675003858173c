#pragma once

#include <windows.h>

#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace support {

// What a message box showed and how it was answered.
struct SeenBox {
    std::string caption;
    std::string text;
    bool questionIcon = false;
    bool informationIcon = false;
    bool errorIcon = false;
    bool anyIcon = false;
    std::vector<int> buttons; // IDOK, IDCANCEL, IDYES, IDNO, ...
    int defaultButton = 0;
    int pressed = 0;
    bool expected = false;
};

// Answers message boxes as a user would: a watcher thread finds each new box of the given
// process, reads its caption, text, icon and buttons, and presses the button the test
// asked for. Boxes arrive in the order expected; a box nobody expected is recorded and
// dismissed (Cancel, No or OK), so that it fails the test instead of hanging it.
class MessageBoxWatcher {
  public:
    explicit MessageBoxWatcher(DWORD processId = GetCurrentProcessId());
    ~MessageBoxWatcher();

    MessageBoxWatcher(const MessageBoxWatcher&) = delete;
    MessageBoxWatcher& operator=(const MessageBoxWatcher&) = delete;

    // The next box is answered with this button.
    void answer(int button);

    // Windows of the class with this caption are left alone (a file dialog a test fills in
    // itself, say).
    void ignoreCaption(const std::string& caption);

    std::vector<SeenBox> seen() const;

    // Waits (handling the calling thread's messages) until `count` boxes have been seen.
    bool waitForBoxes(std::size_t count, DWORD timeoutMs) const;

  private:
    void watch();
    void handle(HWND box);

    DWORD processId_;
    mutable std::mutex lock_;
    std::deque<int> answers_;
    std::vector<SeenBox> seen_;
    std::vector<HWND> handled_;
    std::vector<std::string> ignored_;
    volatile bool stop_ = false;
    std::thread thread_;
};

// The text of a window of any process.
std::string windowTextOf(HWND window);

} // namespace support
