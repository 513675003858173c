#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "base/scoped_handle.h"
#include "settings/program_location.h"
#include "settings/settings_file.h"
#include "ui/launch_options.h"
#include "ui/main_caption.h"
#include "ui/run_controller.h"

// The record of the main window, stored with the window from its first message on.
struct MainWindowState {
    MainWindowState(const ProgramLocation& where, const LaunchOptions& how)
        : location(where), settings(where), launch(how) {}

    HWND window = nullptr;
    // Set by the window when it takes the record, so that whoever made the record knows
    // whether it still owns it; cleared at once.
    bool* taken = nullptr;
    MenuHandle menu;
    AcceleratorHandle accelerators;
    ProgramLocation location;
    SettingsFile settings;
    LaunchOptions launch;
    // What the process ends with: the code of a run started with /run.
    int exitCode = 0;
    std::string definitionPath;
    MainCaption caption;
    bool firstInstance = false;
    // The close request wrote the definition file, or the user chose to end without it;
    // the exit work then does not write it again.
    bool definitionsSettled = false;
    KernelHandle instanceBlock;
    UINT savedErrorMode = 0;
    std::unique_ptr<RunController> run;

    HWND control(int id) const { return GetDlgItem(window, id); }
};

// The command table: buttons act on the click notification only, menu items on any.
void onMainCommand(MainWindowState& state, int id, int notification, HWND source);

// Writes the definition file now, as the user's save does; true when it holds the editor's
// text (after a box that tells why when it does not).
bool saveDefinitionsNow(MainWindowState& state);
