#pragma once

#include <windows.h>

#include "base/scoped_handle.h"
#include "settings/program_location.h"
#include "ui/launch_options.h"

// The main window: the definition editor, the status lines, the log summary box, the four
// buttons and the progress bar, laid out from the client size. It is created with the
// program's location; its creation runs the single-instance check and the start-up work.

// Creates the main window (class NORMAL0, registered beforehand) with the menu bar built
// at start-up; the window owns the menu from then on. For a second instance the window
// closes itself at once and null is returned. With /run the window starts a run of every
// definition once it stands, and ends the program when the run is over.
HWND createMainWindow(HINSTANCE instance, const ProgramLocation& location, MenuHandle menu,
                      const LaunchOptions& launch = LaunchOptions());

// The main window's keys (F5, Ctrl+S, Esc) for a message the loop fetched: true when the
// message became the key's command and must not be dispatched.
bool translateMainWindowKeys(MSG& message);

// The main window procedure, for the window class.
LRESULT CALLBACK mainWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The main window of this process, or null.
HWND mainWindow();

// Places the controls for a client area of the given size.
void layoutMainWindow(HWND window, int width, int height);

// Shows the window in its normal state (restored if minimised), puts it above every other
// window and at once back into the ordinary order, and makes it the foreground window.
void BringToFront(HWND window);
