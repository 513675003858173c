#pragma once

#include <windows.h>

#include <cstdint>

// The file system's last-write time: 100-nanosecond units since 1601, as one unsigned number.
using FileTime = std::uint64_t;

constexpr FileTime makeFileTime(std::uint32_t high, std::uint32_t low) {
    return (static_cast<FileTime>(high) << 32) | low;
}

inline FileTime toFileTime(const FILETIME& time) {
    return makeFileTime(time.dwHighDateTime, time.dwLowDateTime);
}

inline FILETIME toFILETIME(FileTime time) {
    FILETIME result;
    result.dwHighDateTime = static_cast<DWORD>(time >> 32);
    result.dwLowDateTime = static_cast<DWORD>(time & 0xFFFFFFFFu);
    return result;
}
