#pragma once

#include <windows.h>

#include <string>

// The definition editor's file: read whole at start-up or when another file is opened,
// written back whole at exit.

// Reads the file into the editor (up to its first zero byte) and sets the caption with
// the file's name. False, with editor and caption untouched, when it cannot be read.
bool loadDefinitionFile(HWND mainWindow, HWND editor, const std::string& path);

// The caption after a failed start-up read.
void setReadErrorCaption(HWND mainWindow);

// The read-error box, owned by the main window.
void showReadErrorBox(HWND mainWindow);

// Writes the editor's whole text to the file; an empty editor leaves the file alone and
// counts as saved. On failure the file is as it was and the thread's last error tells why.
bool saveDefinitionFile(HWND editor, const std::string& path);

// The text of the box that tells of a definition file that could not be written at exit.
std::string writeErrorText(const std::string& path, DWORD error);

// Asks whether to end the program although the definitions could not be written; No, the
// default, keeps the window open so that the user can copy them or make room and close
// again.
bool confirmExitWithoutSaving(HWND mainWindow, const std::string& path, DWORD error);
