#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

// One control of a dialog, as the dialog's table gives it.
struct ControlEntry {
    int id;
    const char* className;
    const char* text;
    DWORD extendedStyle;
    DWORD style;
    int x, y, width, height;
};

// Creates the controls in table order as children of the dialog and gives each the font.
void createControls(HWND dialog, const ControlEntry* entries, std::size_t count, HFONT font);

template <std::size_t N>
void createControls(HWND dialog, const ControlEntry (&entries)[N], HFONT font) {
    createControls(dialog, entries, N, font);
}

// The whole text of a window, however long.
std::string windowText(HWND window);

// The text of a control, however long.
std::string controlText(HWND dialog, int id);

// Keeps the keyboard focus on the dialog's controls as a dialog box does: the control that
// had it when the dialog lost the activation gets it back (the first one that takes the
// tab key when there is none), so that a closed message box or a click on the caption does
// not leave the keyboard with the frame. `lastFocus` is the dialog's own memory of it.
void keepFocusOnActivate(HWND dialog, WPARAM activateState, HWND& lastFocus);
