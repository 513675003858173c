#pragma once

#include <windows.h>

// The secure-operation window "SecureProg": one release or setting of the secure area, as
// `SecureMode` asks, with the password row for an area locked by a password. It closes
// itself with the engine's result code (9 for a release with nothing to release, 0 when
// it is closed before an operation ran); on success `CurrentKeyText` holds the key the
// context then knows.
LRESULT CALLBACK secureProgProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Control and timer identifiers of the window.
constexpr int kIdSecureProgress = 1038;
constexpr int kIdSecureStatus = 1039;
constexpr int kIdPasswordLabel = 1040;
constexpr int kIdPasswordEdit = 1041;
constexpr int kIdPasswordOk = 1042;
constexpr UINT_PTR kTimerRelease = 1024;
constexpr UINT_PTR kTimerSet = 1025;
