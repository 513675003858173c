#pragma once

#include <cstddef>
#include <functional>
#include <string>

// The scrambled form the index is kept in: the eight bytes "PWSF0123", then every byte of
// the plain file shifted by s(i), a fixed sequence between -5 and +5 taken from a sine.
// The sequence carries no key; it only keeps the index from being read at a glance.

// The sine the shifts are taken from, computed step by step in double precision so that
// every build shifts every byte alike. The C library's sine may differ in the last bit,
// which is enough to move a truncated shift by one.
double containerSine(double x);

// The shift of the byte at `position` (counted from the first byte after the header).
int containerShift(std::size_t position);

// The container of the plain bytes.
std::string scrambleBytes(const std::string& plain);

// The plain bytes of a container; false (and `plain` untouched) when the bytes do not
// start with "PWSF0123".
bool restoreBytes(const char* bytes, std::size_t size, std::string& plain);

// Rewrites the file in container form. A file already in that form is wrapped again.
// False when the file cannot be read or its new content cannot be put in its place; the
// file is then unchanged.
bool scrambleFile(const std::string& path);

// Rewrites a container as its plain file. False, leaving the file unchanged, when it is
// not a container, cannot be read, or the new content cannot be put in its place.
bool restoreFile(const std::string& path);

// What replaceFileContent appends to the target's path for its temporary file.
inline const char kTemporarySuffix[] = ".tmp";

// Writes the content to path + ".tmp" (which keeps the attributes of an earlier file of
// that name), then moves it over the target in one step, so the target always holds
// either its old or its new content. False, with the target as it was and no temporary
// file left, when any step fails; the thread's last error is that step's. `beforeReplace`, when
// given, is called once the new content is on disk beside the target and before it takes the
// target's place.
bool replaceFileContent(const std::string& path, const std::string& content,
                        const std::function<void()>& beforeReplace = nullptr);
