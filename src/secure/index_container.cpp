#include "secure/index_container.h"

#include <windows.h>

#include <cstring>

#include "base/file_reader.h"
#include "base/file_system.h"
#include "base/scoped_handle.h"

namespace {

const char kContainerTag[] = "PWSF";
const char kContainerVersion[] = "0123";
constexpr std::size_t kHeaderSize = 8;

constexpr double kPi = 3.141592653589793;

} // namespace

// Every operation below is rounded to a double on its own, in the order written: this file
// is compiled without contracting a multiplication and an addition into one instruction.
double containerSine(double x) {
    const double half = x / 2.0;

    // Quadrant of the half angle, rounded half away from zero.
    const double quadrants = half / (kPi / 2.0);
    const int n =
        half >= 0.0 ? static_cast<int>(quadrants + 0.5) : static_cast<int>(quadrants - 0.5);

    // The half angle less n quarter turns, the quarter turn split into a short part that
    // multiplies exactly and a small correction.
    const double coarse = 3217.0 / 2048.0;
    const double nd = static_cast<double>(n);
    const double coarseTurns = nd * coarse;
    const double reducedCoarse = half - coarseTurns;
    const double fineTurns = nd * 4.454455103380769e-06;
    const double r = reducedCoarse + fineTurns;

    // tan r by its continued fraction, nine steps from 19 down to 3.
    const double r2 = r * r;
    double t = 0.0;
    for (int k = 19; k >= 3; k -= 2) {
        const double denominator = static_cast<double>(k) - t;
        t = r2 / denominator;
    }
    const double tangent = r / (1.0 - t);

    // sin x = 2 tan(x/2) / (1 + tan^2(x/2)), with the sign of the quadrant.
    const double twice = 2.0 * tangent;
    const double square = tangent * tangent;
    const double sine = twice / (square + 1.0);
    return (n % 2 != 0) ? -sine : sine;
}

int containerShift(std::size_t position) {
    const double scaled = 6.0 * containerSine(static_cast<double>(position));
    return static_cast<int>(scaled); // toward zero
}

std::string scrambleBytes(const std::string& plain) {
    std::string container;
    container.reserve(kHeaderSize + plain.size());
    container.append(kContainerTag, 4);
    container.append(kContainerVersion, 4);
    for (std::size_t i = 0; i < plain.size(); ++i) {
        const unsigned value = static_cast<unsigned char>(plain[i]);
        container.push_back(static_cast<char>((value + containerShift(i)) & 0xFFu));
    }
    return container;
}

bool restoreBytes(const char* bytes, std::size_t size, std::string& plain) {
    if (size < kHeaderSize || std::memcmp(bytes, kContainerTag, 4) != 0 ||
        std::memcmp(bytes + 4, kContainerVersion, 4) != 0) {
        return false;
    }
    std::string restored;
    restored.resize(size - kHeaderSize);
    for (std::size_t i = 0; i < restored.size(); ++i) {
        const unsigned value = static_cast<unsigned char>(bytes[kHeaderSize + i]);
        restored[i] = static_cast<char>((value - containerShift(i)) & 0xFFu);
    }
    plain.swap(restored);
    return true;
}

bool replaceFileContent(const std::string& path, const std::string& content,
                        const std::function<void()>& beforeReplace) {
    const std::string temporary = path + kTemporarySuffix;
    // Creating over a hidden or system file fails unless the same attributes are asked
    // for, so those of an earlier temporary file are passed on.
    DWORD attributes = GetFileAttributesA(temporary.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        attributes = FILE_ATTRIBUTE_NORMAL;
    }
    attributes &= FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                  FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NORMAL;
    if (attributes == 0) {
        attributes = FILE_ATTRIBUTE_NORMAL;
    }
    {
        FileHandle file(CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    attributes, nullptr));
        if (!file) {
            return false;
        }
        // The new content must be on the disk before it takes the target's place.
        if (!writeAll(file.get(), content) || !FlushFileBuffers(file.get())) {
            const DWORD error = GetLastError();
            file.reset();
            DeleteFileA(temporary.c_str());
            SetLastError(error);
            return false;
        }
    }
    if (beforeReplace) {
        beforeReplace();
    }
    // Another program reading the target (the shell takes the store's icon from the index)
    // keeps it from being replaced for a moment.
    if (!retryWhileHeld(
            [&] {
                return MoveFileExA(temporary.c_str(), path.c_str(),
                                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
            },
            kHeldFileWaitMs)) {
        const DWORD error = GetLastError();
        DeleteFileA(temporary.c_str());
        SetLastError(error);
        return false;
    }
    return true;
}

bool scrambleFile(const std::string& path) {
    FileContent content;
    if (!readWholeFile(path, content)) {
        return false;
    }
    return replaceFileContent(path, scrambleBytes(std::string(content.text(), content.size)));
}

bool restoreFile(const std::string& path) {
    FileContent content;
    if (!readWholeFile(path, content)) {
        return false;
    }
    std::string plain;
    if (!restoreBytes(content.text(), content.size, plain)) {
        return false;
    }
    return replaceFileContent(path, plain);
}
