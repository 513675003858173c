#pragma once

#include <string>

// Names between the wide listing of a folder and the system code page. The narrow listing
// gives best fits for names the code page cannot hold ("café" becomes "cafe", "¥" becomes
// "\"), which could name another entry or leave the folder; these conversions never fit.

// The text of the system code page as wide characters.
std::wstring wideFromAnsi(const std::string& text);

// The name in the system code page; false when it has no exact form there. The conversion
// may neither fit nor fill in, and must come back unchanged. Such a name is given with "?"
// where it cannot be written.
bool exactAnsiName(const wchar_t* wide, std::string& name);

// Whether the code-page calls reach exactly this entry by its name. They take a path through
// the platform's path rules, which other systems' names need not follow: a final "." or " "
// is dropped ("data." reaches "data"), a reserved character splits or redirects the path
// ("a:b", "x\y" from Linux), and a device name ("con", "aux.txt", "nul .txt") reaches the
// device.
bool reachedByName(const wchar_t* name);
