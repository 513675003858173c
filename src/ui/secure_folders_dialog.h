#pragma once

#include <windows.h>

#include <string>
#include <vector>

// The secure folders and key settings dialog "SecureFlds". Opening it releases the whole
// secure area through "SecureProg"; OK (or the close box, with the list as loaded and the
// key unchanged) writes the protected folders to the settings file and sets the area
// again with the chosen key. Its result (0 or 1) is not used.
LRESULT CALLBACK secureFoldersProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The folders of the list text to protect: its lines (cut at each CR; the CRs and LFs
// after a line are skipped, lines are not trimmed) that name existing folders, without a
// line whose text occurs, in any letter case, anywhere in the text above it (unless
// nothing was accepted yet).
std::vector<std::string> acceptedFolderLines(const std::string& listText);

// Control and timer identifiers of the dialog.
constexpr int kIdFolderList = 1025;
constexpr int kIdFoldersOk = 1026;
constexpr int kIdPassword = 1027;
constexpr int kIdKeepKey = 1028;
constexpr int kIdKeyByPassword = 1029;
constexpr int kIdKeyByFile = 1030;
constexpr int kIdBrowseKeyFile = 1031;
constexpr int kIdInstructions = 1032;
constexpr int kIdPasswordAgain = 1033;
constexpr int kIdKeyFile = 1034;
constexpr int kIdResetList = 1035;
constexpr int kIdKeyGroup = 1015;
constexpr int kIdHideFolders = 1036;
constexpr int kIdFormGroup = 1037;
constexpr UINT_PTR kTimerLoad = 2048;
