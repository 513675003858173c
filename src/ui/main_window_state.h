#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "base/scoped_handle.h"
#include "settings/program_location.h"
#include "settings/settings_file.h"
#include "ui/run_controller.h"

// The record of the main window, stored with the window from its first message on.
struct MainWindowState {
    explicit MainWindowState(const ProgramLocation& where) : location(where), settings(where) {}

    HWND window = nullptr;
    // Set by the window when it takes the record, so that whoever made the record knows
    // whether it still owns it; cleared at once.
    bool* taken = nullptr;
    MenuHandle menu;
    ProgramLocation location;
    SettingsFile settings;
    std::string definitionPath;
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
