#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "main_window_fixture.h"
#include "support/message_boxes.h"
#include "user_input.h"

// The user at the screen while the test's own thread sits in a modal loop (a dialog, a
// message box, the folder browser): a thread of its own that finds the windows of this
// process, types into them and presses their buttons. It waits by sleeping, never by
// handling messages, so that every window stays with the thread that owns it.
class DialogUser {
  public:
    // Starts the script at once; it gets the first visible window of the class and
    // caption that appears in this process (null when none comes within 20 s).
    DialogUser(const char* className, const char* caption, std::function<void(HWND)> script);
    ~DialogUser();

    DialogUser(const DialogUser&) = delete;
    DialogUser& operator=(const DialogUser&) = delete;

    bool finished() const { return finished_; }

    // Called by the test's thread once the modal loop of the window has returned.
    void modalLoopEnded() { modalLoopEnded_ = true; }

    // Whether the window the script acted on was still open after the script and had to be
    // closed by force.
    bool leftOpen() const { return leftOpen_; }

    // Whether the window was gone but its modal loop went on, so that it had to be ended
    // with a quit message of the user's own.
    bool loopStuck() const { return loopStuck_; }

  private:
    std::atomic<bool> finished_{false};
    std::atomic<bool> modalLoopEnded_{false};
    std::atomic<bool> leftOpen_{false};
    std::atomic<bool> loopStuck_{false};
    std::thread thread_;
};

// A visible top-level window of this process with the class and caption (any caption
// when null); null when none appears within the time.
HWND waitForOwnWindow(const char* className, const char* caption, DWORD timeoutMs = 20000);

// The same for a window of another process.
HWND waitForWindowOf(DWORD processId, const char* className, const char* caption,
                     DWORD timeoutMs = 20000);

// Sleeps until the condition holds or the time is up.
bool waitUntil(const std::function<bool()>& condition, DWORD timeoutMs = 20000);

// A main window whose commands open the real dialogs, driven by a user thread.
class DialogTest : public MainWindowTest {
  protected:
    DialogTest();

    // Chooses the menu command and handles the test thread's messages while the user
    // script acts on the dialog with the caption, until the script has ended.
    void runAsUser(int command, const char* caption, std::function<void(HWND)> script);

    // Runs the named dialog owned by the main window, as the script drives it, and returns
    // its result.
    int runDialogAsUser(const char* name, const char* caption, std::function<void(HWND)> script);
};

// Puts the text before, the selection and the text after into the definition editor and
// selects the middle part.
void selectInEditor(HWND editor, const std::string& before, const std::string& selected,
                    const std::string& after);

// What a message box of the program must look like.
struct ExpectedBox {
    std::string text;
    enum Icon { kNone, kQuestion, kExclamation } icon;
    std::vector<int> buttons;
};

// Compares a seen box with the expected one (caption "Syncoravel").
void expectBox(const support::SeenBox& seen, const ExpectedBox& expected);
