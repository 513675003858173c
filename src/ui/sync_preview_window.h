#pragma once

#include <windows.h>

#include <string>
#include <vector>

// "SyncPreview": what a run of the definition text would do, computed on a worker while the
// window shows where it is, then listed per definition (master folder, planned lines,
// counts) with the totals at the end. Resizable; Esc, the close box and the button close
// it, cancelling a computation still running.

constexpr int kIdPreviewStatus = 1060;
constexpr int kIdPreviewList = 1061;
constexpr int kIdPreviewClose = IDCANCEL;

LRESULT CALLBACK syncPreviewProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Runs the window owned by `owner` over the text. The folders of a protected area, when
// one is set, are named first: the preview sees them emptied, as they are now.
// Dated folders of holding folders older than `holdingDays` are named as a run removes them.
void showSyncPreview(HWND owner, const std::string& definitionText,
                     const std::vector<std::string>& protectedFolders, int holdingDays);
