#pragma once

#include <windows.h>

#include <string>

#include "secure/secure_operation.h"

// What the windows tell the user of a secure operation: every result code with a sentence
// that says what it means, the facts the operation reported (which files, how many, where),
// the platform's own text of its error, and the code.

// The sentence of a result code.
const char* secureResultSentence(int code);

// The platform's text of its error code, and the code: "...（Windows のエラーコード：32）".
std::string platformErrorText(DWORD error);

// The sentence, the facts and the platform's error, each on a line of its own, and the
// code line ("\r\n（エラーコード：N）"; none for 0, which nothing failed to do).
std::string secureOutcomeText(const SecureOutcome& outcome);

// The boxes: a setting that failed; a release that failed; a release that brought the
// area back, but not whole.
std::string secureSetFailedText(const SecureOutcome& outcome);
std::string secureReleaseFailedText(const SecureOutcome& outcome);
std::string secureReleasedWithTroubleText(const SecureOutcome& outcome);

// Whether a release with this result ended the area (its index is gone): the folders are
// open, and the area must be set again.
bool secureAreaReleased(int result);
