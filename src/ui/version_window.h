#pragma once

#include <windows.h>

// "VersionInfo": the product title, the version, the copyright line and a link that opens
// the user's guide beside the program (guide-ja.html) in the web browser, with the large
// program icon.

constexpr int kIdVersionTitle = 1009;
constexpr int kIdVersionLine = 1010;
constexpr int kIdVersionCopyright = 1011;
constexpr int kIdVersionLink = 1012;
constexpr int kIdVersionClose = 1013;
constexpr int kIdVersionIcon = 1014;

LRESULT CALLBACK versionWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
