#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "main_window_fixture.h"
#include "user_script.h"

// The captions of the two secure windows.
extern const char kFoldersCaption[];
extern const char kProgCaption[];

// A main window with the program's own secure windows installed, a fresh secure state
// (no mode, no key known) and a log of what happened in which order: the secure windows
// opening ("SecureProg 1" with the mode, "SecureFlds") and closing ("SecureProg end"),
// and every message box ("box").
class SecureWindowTest : public MainWindowTest {
  protected:
    SecureWindowTest();
    ~SecureWindowTest() override;

    std::string storeRoot() const { return programFile("_PWSD"); }
    std::string storeFolder() const { return storeRoot() + "\\VRSYS"; }
    std::string indexPath() const { return storeFolder() + "\\Vaultrowan00000.exe"; }
    // The area counts as set while its index exists.
    bool areaSet() const;

    // What an earlier session of the program left: the folders moved into the store under
    // the key, and listed in the settings file. Returns the engine's result code.
    int protectThroughEngine(const std::vector<std::string>& folders, const std::string& key,
                             bool hide = true) const;
    // Releases the area through the engine; returns its result code.
    int releaseThroughEngine(const std::string& key) const;

    // The secure section of the settings file as written there.
    void listInSettings(const std::vector<std::string>& folders, int type = 1) const;
    std::string secureSetting(const std::string& key) const;
    std::vector<std::string> settingsFolders() const;

    // Plays the script inside the modal windows the posted command opens, until it is
    // done and every window of the program but the main window has closed.
    bool play(const UserScript& script, DWORD timeoutMs = 90000);

    // Events since the start, and since the given count.
    std::vector<std::string> events() const;

    // The secure-operation window while it waits for the password.
    static HWND passwordPrompt();
};

// Adds an event of the test's own to the log (a copy the main window shows, say).
void logTestEvent(const std::string& event);
// Called with each event as it is logged, on the thread that logs it, until the test ends.
void setEventProbe(std::function<void(const std::string&)> probe);

// A window of this thread with the given caption exists (shown or not).
bool dialogOpen(const char* caption);

// The secure folders dialog while it is open (else null), one of its controls, and the
// text of its folder list.
HWND foldersDialog();
HWND itemOf(int id);
std::string listText();

// The dialog has loaded its list and nothing is open over it.
bool loadedAndIdle();

// The platform's own text of an error code as the program's boxes give it, found here
// independently: "...（Windows のエラーコード：32）".
std::string platformText(DWORD error);
