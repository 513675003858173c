#pragma once

#include <windows.h>

#include <string>

// Every dialog of the program is a NORMALDLG window created under one of five names and
// run modally: its owner is disabled and a nested message loop runs until the dialog
// ends itself with CloseDialog. Dialogs nest; each CloseDialog ends the loop of its own
// dialog, at once when that is the innermost, else when the loops inside it have ended. A
// quit message (the main window is gone) ends every loop and reaches the outermost one.

// Runs the named dialog owned by `owner` and returns its result; 0 at once, with nothing
// created, for a name that is not one of the program's dialogs.
int RunDialog(HWND owner, const char* name);

// Ends a dialog: enables its owner again unless another open dialog still sits on it,
// destroys it, and ends the loop of its RunDialog with `result`.
void CloseDialog(HWND dialog, int result);

// The dialog procedure of a named dialog. It receives WM_INITDIALOG (both parameters 0)
// right after creation and builds its controls there. Each dialog's own source file
// installs its procedure at start-up.
void setDialogProcedure(const char* name, WNDPROC procedure);

// The text handed between the definition editor and the definition dialogs: the editor's
// selection when the dialog starts, the lines to insert when it ends.
std::string& exchangeText();
