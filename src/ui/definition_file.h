#pragma once

#include <windows.h>

#include <string>

// The definition editor's file: read whole at start-up or when another file is opened,
// written back whole when the user saves, at exit and when the session ends.

// What the start-up found of the definition file.
enum class DefinitionStart {
    loaded,      // read into the editor
    created,     // it was missing: made with the starter text, which the editor shows
    starterOnly, // it was missing and could not be made: the editor shows the starter text
    unreadable,  // it is there but cannot be read; the thread's last error tells why
};

// The text a missing definition file starts with: no definition, only where to look.
extern const char kStarterDefinitions[];

// Reads the file into the editor (up to its first zero byte). False, with the editor
// untouched and the thread's last error telling why, when it cannot be read. The editor
// then holds no unsaved changes.
bool loadDefinitionFile(HWND editor, const std::string& path);

// The start-up's load: a missing file is made with the starter text instead of being a
// read error, so that the user's first start begins with a file of their own.
DefinitionStart startDefinitionFile(HWND editor, const std::string& path);

// The read-error box, owned by the main window: the file, why, and what to do. At start-up
// it also says that definitions typed now replace the file at exit.
void showReadErrorBox(HWND mainWindow, const std::string& path, DWORD error, bool atStart);
std::string readErrorText(const std::string& path, DWORD error, bool atStart);

// Writes the editor's whole text to the file as the exit does; an empty editor leaves the
// file alone and counts as saved. On failure the file is as it was and the thread's last
// error tells why. On success the editor holds no unsaved changes.
bool saveDefinitionFile(HWND editor, const std::string& path);

// The user's own save (Ctrl+S, "上書き保存"): writes what the editor holds, nothing
// included. False after a box that tells why and what to do.
bool saveDefinitionFileNow(HWND mainWindow, HWND editor, const std::string& path);

// Whether the editor holds changes not yet written to the definition file.
bool editorModified(HWND editor);

// Before another definition file replaces the editor's text that holds unsaved changes:
// asks whether to save them. IDYES, IDNO or IDCANCEL.
int askToSaveChanges(HWND mainWindow, const std::string& path);

// The text of the box that tells of a definition file that could not be written at exit.
std::string writeErrorText(const std::string& path, DWORD error);

// Asks whether to end the program although the definitions could not be written; No, the
// default, keeps the window open so that the user can copy them or make room and close
// again.
bool confirmExitWithoutSaving(HWND mainWindow, const std::string& path, DWORD error);
