#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "settings/program_location.h"
#include "support/message_boxes.h"
#include "support/temp_folder.h"

// A control's rectangle in its parent's client coordinates.
RECT placeOf(HWND parent, HWND control);
// A window's class name.
std::string classOf(HWND window);

// A control as a window's table gives it.
struct ControlExpectation {
    int id;
    const char* className;
    const char* text; // null: not compared (a text the window sets later)
    int x, y, width, height;
};

// What differs between the window's children (in creation order) and the table: class,
// text, place, size, and the font every control must carry. Empty when all agree.
std::vector<std::string>
controlMismatches(HWND window, const std::vector<ControlExpectation>& expected, HFONT font);

// Records what a control is told: the texts it is given and the positions of a progress
// bar. An optional probe runs at each record, to sample the state of the window then.
class ControlRecorder {
  public:
    explicit ControlRecorder(HWND control);
    ~ControlRecorder();

    ControlRecorder(const ControlRecorder&) = delete;
    ControlRecorder& operator=(const ControlRecorder&) = delete;

    std::vector<std::string> texts() const { return texts_; }
    std::vector<int> positions() const { return positions_; }
    void setProbe(std::function<void(const std::string& text)> probe) { probe_ = std::move(probe); }

  private:
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    HWND control_;
    WNDPROC previous_;
    std::vector<std::string> texts_;
    std::vector<int> positions_;
    std::function<void(const std::string&)> probe_;
};

// A main window of this process in a program folder of its own on D:, with a message box
// watcher running from before its creation.
class MainWindowTest : public testing::Test {
  protected:
    MainWindowTest();
    ~MainWindowTest() override;

    // Writes the definition file (unless `definitions` is null) and creates the window.
    HWND start(const char* definitions = "");

    HWND window() const { return window_; }
    HWND control(int id) const { return GetDlgItem(window_, id); }
    std::string text(int id) const;
    std::string caption() const;
    void setEditorText(const std::string& text) const;

    // As the user does it: a click posts its command.
    void click(int buttonId) const;
    void menu(int commandId) const;
    // A key pressed in the definition editor, through the main window's keys as the
    // program's message loop handles it (with Ctrl held down when asked).
    void pressKey(UINT key, bool withControl = false) const;

    // Destroys the window (the exit work runs) and takes its quit message from the queue.
    void close();

    bool waitFor(const std::function<bool()>& condition, DWORD timeoutMs = 30000) const;

    std::string programFile(const std::string& name) const;

    support::TempFolder temp_;
    ProgramLocation location_;
    support::MessageBoxWatcher boxes_;

  private:
    HWND window_ = nullptr;
};

// A test's own procedure for a named dialog, and the events the test wants to see.
using DialogBody = std::function<LRESULT(HWND, UINT, WPARAM, LPARAM)>;
void setTestDialog(const char* name, DialogBody body);
void clearTestDialogs();
