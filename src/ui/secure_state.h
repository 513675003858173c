#pragma once

#include <string>

// What the next opening of the secure-operation window does.
constexpr int kSecureModeRelease = 1;
constexpr int kSecureModeSetAgain = 2;
constexpr int kSecureModeSetNew = 3;

// Set by a caller just before it opens "SecureProg".
extern int SecureMode;

// The key of the secure area as far as this run of the program knows it: a password or
// the full path of a key file; empty when unknown.
extern std::string CurrentKeyText;
