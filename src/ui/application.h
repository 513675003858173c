#pragma once

#include <windows.h>

#include "settings/program_location.h"

// The whole program: shared resources, menus and window classes, the main window, the
// message loop. Returns the process exit code (0).
int runApplication(HINSTANCE instance, const ProgramLocation& location);

// Installs the procedures of the program's dialogs into the dialog host.
void registerDialogs();
