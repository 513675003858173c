#pragma once

#include <string>

#include "secure/secure_operation.h"
#include "settings/program_location.h"

// What the next opening of the secure-operation window does.
constexpr int kSecureModeRelease = 1;
constexpr int kSecureModeSetAgain = 2;
constexpr int kSecureModeSetNew = 3;

// Set by a caller just before it opens "SecureProg".
extern int SecureMode;

// The key of the secure area as far as this run of the program knows it: a password or
// the full path of a key file; empty when unknown.
extern std::string CurrentKeyText;

// What the last opening of "SecureProg" ended with: the result it closed with and what the
// operation reported beyond it, for the caller's message.
extern SecureOutcome LastSecureOutcome;

// Where the program lives, for the secure windows: the store lies in its folder and the
// protected folders are kept in its settings file. The main window sets it when it is
// created; until then it is the running executable's location.
void setSecureLocation(const ProgramLocation& location);
const ProgramLocation& secureLocation();

// The store root: the program folder and "_PWSD".
std::string secureStoreRoot();

// An error code as the program's boxes append it: "\r\n（エラーコード：" code "）".
std::string errorCodeText(int code);
