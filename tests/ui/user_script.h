#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "user_input.h"

// What a user does while modal windows run: a list of steps, each waiting for its moment
// and then acting once. A timer of this thread drives it, so it goes on inside every
// nested message loop (dialogs, message boxes, file dialogs) without a second thread.
// Actions post what opens a modal window (a click), so that the script is never nested in
// its own step.
class UserScript {
  public:
    UserScript();
    ~UserScript();

    UserScript(const UserScript&) = delete;
    UserScript& operator=(const UserScript&) = delete;

    // Once every earlier step has acted and `ready` holds, `act` runs.
    UserScript& then(std::string what, std::function<bool()> ready,
                     std::function<void()> act = nullptr);

    // Runs at every tick, before the step: to sample what the windows show meanwhile.
    void everyTick(std::function<void()> observe) { observe_ = std::move(observe); }

    bool done() const { return next_ >= steps_.size(); }
    // A step waited longer than this, or a dialog of the program stayed that long after the
    // last step: the script gives up and ends the program's modal windows, so that the
    // test fails instead of hanging.
    void setPatience(DWORD ms) { patienceMs_ = ms; }
    bool gaveUp() const { return gaveUp_; }
    // The step the script waits for, for failure messages.
    std::string waitingFor() const;

  private:
    struct Step {
        std::string what;
        std::function<bool()> ready;
        std::function<void()> act;
    };

    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void tick();
    void endModalWindows();
    static bool programWindowOpen();

    HWND window_ = nullptr;
    std::vector<Step> steps_;
    std::function<void()> observe_;
    std::size_t next_ = 0;
    bool acting_ = false;
    DWORD waitingSince_ = 0;
    DWORD patienceMs_ = 30000;
    bool gaveUp_ = false;
};

// The visible window of this thread with the class NORMALDLG and the caption; null when
// there is none.
HWND findDialog(const char* caption);

// The visible window of class "#32770" of this thread with the caption (a file dialog).
HWND findSystemDialog(const char* caption);
