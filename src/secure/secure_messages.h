#pragma once

#include <windows.h>

// Messages the secure worker posts to the secure-operation window. They are posted, never
// sent, so the worker does not wait for the window.
constexpr UINT kMsgProtectProgress = WM_USER + 77; // wParam folders done (from 1), lParam folders
constexpr UINT kMsgReleaseProgress = WM_USER + 78; // wParam items done, lParam items in all
constexpr UINT kMsgSecureFinished = WM_USER + 79;  // the result code is stored; the worker ends
