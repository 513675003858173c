#pragma once

#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

// What a user does to the program's windows, the same in every window test whichever way
// the test drives them (a user thread beside the modal loops, or a script of steps inside
// them). Each works on a window of any thread of this process.

// Types the text (Shift-JIS) into the control at its caret as keystrokes reach it: one
// WM_CHAR per character, in the Unicode the keyboard delivers. "\r" is the Enter key.
void typeInto(HWND control, const std::string& text);

// Replaces what an edit holds as a user does it: selects all, deletes it with the
// backspace key, and types the text.
void replaceText(HWND edit, const std::string& text);

// Puts the caret after the last character, as Ctrl+End does.
void caretToEnd(HWND edit);

// Empties an edit as select-all and Delete would.
void clearEdit(HWND edit);

// A mouse click on a button, posted.
void press(HWND button);

// A click on the window's close box, posted.
void pressCloseBox(HWND window);

// A dropped-files block as the shell makes it: the paths, each ended by a zero byte, and
// one more zero byte after the last one. Whoever receives it releases it.
HDROP makeDrop(const std::vector<std::string>& paths);

// Files dragged from the shell and dropped on the window, posted.
void dropFiles(HWND window, const std::vector<std::string>& paths);

// The text of a window, of whichever thread.
std::string textOf(HWND window);

// The control is shown (its own visible style, whatever its parent's state).
bool shown(HWND control);

// The check box or radio button is checked.
bool checkedBox(HWND button);
