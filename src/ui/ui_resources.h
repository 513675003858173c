#pragma once

#include <windows.h>

#include "base/scoped_handle.h"

// What start-up creates for every window and exit releases: one dialog font for the main
// window and one for each dialog, the background brush and the menus.
enum class FontSlot { Main, VersionInfo, MirrorEdit, SecureFlds, SecureProg, RunSoftEdit };

// Creates the six fonts and the brush. False when any of them cannot be created.
bool createSharedResources();
void releaseSharedResources();

HFONT dialogFont(FontSlot slot);
HBRUSH backgroundBrush();

// A font with the dialog font's face ("ＭＳ Ｐゴシック", Shift-JIS character set) and the
// given height, weight, underline and pitch-and-family values; the caller owns it.
HFONT createUiFont(int height, int weight, bool underline, BYTE pitchAndFamily);

// The menu bar with its three drop-down menus, built item by item at position 0, so in
// reverse order. The bar owns the drop-down menus.
MenuHandle createMainMenu();

// The main window's keys: F5 runs, Ctrl+S saves the definition file, Esc stops a run.
AcceleratorHandle createMainAccelerators();

// Registers NORMALDLG and then NORMAL0 (whose procedure is given).
bool registerWindowClasses(HINSTANCE instance, WNDPROC mainProcedure);
