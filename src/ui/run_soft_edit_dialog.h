#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

// "RunSoftEdit": composes one "Sync.Run." line from a program path, typed or chosen with
// the file-open dialog, and hands it back through the exchange text.

constexpr int kIdRunSoftLabel = 1010;
constexpr int kIdRunSoftPath = 1043;
constexpr int kIdRunSoftOk = 1044;
constexpr int kIdRunSoftCancel = 1045;
constexpr int kIdRunSoftBrowse = 1046;

LRESULT CALLBACK runSoftEditProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Room for the filter list of the file-open dialog, its closing zero included. A list
// that would not fit gives way to the all-files filter.
constexpr std::size_t kFilterRoom = 260;

// How the file-open dialog starts for the path in the field: the filter list (pairs of
// description and pattern, each ended by a zero byte, the list by one more) and the name
// it shows first.
struct ProgramFileStart {
    std::string filter;
    std::string name;
};

// The filter follows the path's extension when the folder part of the path exists:
// "txt", "htm"/"html" and "exe" (exactly so, case included) get their own descriptions,
// any other extension a pair made of it. A path whose folder part does not exist starts
// the dialog in that folder's place with only the folder part and the all-files filter.
ProgramFileStart programFileStart(const std::string& path);
