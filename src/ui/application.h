#pragma once

#include <windows.h>

#include "settings/program_location.h"

// The whole program: shared resources, menus and window classes, the main window, the
// message loop. `arguments` are those after the program's name (launch_options.h). Returns
// the process exit code: 0, or the code of a run started with /run.
int runApplication(HINSTANCE instance, const ProgramLocation& location, const char* arguments = "");

// Installs the procedures of the program's dialogs into the dialog host.
void registerDialogs();
