// securearea [--plain] [--stop-at POINT] protect STORE_ROOT KEY HIDE FOLDER...
// securearea [--plain] [--stop-at POINT] release STORE_ROOT KEY
// securearea [--plain] probe STORE_ROOT
// securearea scramble FILE | restore FILE
//
// Runs one operation of the secure area engine on its worker, without a window, and prints
// one line: "result R files N", "probe P", or "true"/"false". The exit code is 0 whenever
// the operation ran, whatever its result code; 2 for wrong arguments. What the user would
// hear of beyond the code follows the result line, one fact a line: "error E" (the
// platform's error code), "left N" (files that stayed at their places), "kept N" (files
// kept in the store for a later release), "missing PATH" (a file found nowhere),
// "unreadable N" and "aside PATH" (records that could not be read, and where their index
// was put), "note PATH" (a note left where it is). A probe that cannot read the index
// prints "error E" too.
//
// --stop-at ends the process at once, as a crash or a kill would, when the operation
// reaches the point: nothing is printed and the exit code is 3. Points: "move:N" (protect,
// N files moved, the next one's record on disk), "walked" (protect, every file moved, the
// index not closed), "scramble" (protect, the scrambled index beside the plain one),
// "back:N" (release, N files moved back, the notes deleted), "cleanup" (release, every file
// handled, the index not yet deleted).

#include <windows.h>
#include <shellapi.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <string>
#include <vector>

#include "secure/index_container.h"
#include "secure/secure_context.h"

namespace {

const char kUsage[] = "usage: securearea [--plain] [--stop-at POINT] protect STORE_ROOT KEY HIDE "
                      "FOLDER... | release STORE_ROOT KEY | probe STORE_ROOT | scramble FILE | "
                      "restore FILE";

constexpr UINT kStoppedExitCode = 3;

struct StopPoint {
    bool set = false;
    SecurePoint point = SecurePoint::BeforeMove;
    bool counted = false;
    unsigned long moved = 0;
};

bool parseCount(const std::string& digits, unsigned long& count) {
    if (digits.empty() || digits.size() > 9 ||
        digits.find_first_not_of("0123456789") != std::string::npos) {
        return false;
    }
    count = std::stoul(digits);
    return true;
}

bool parseStopPoint(const std::string& text, StopPoint& stop) {
    stop.set = true;
    if (text == "walked" || text == "scramble" || text == "cleanup") {
        stop.point = text == "walked"     ? SecurePoint::Walked
                     : text == "scramble" ? SecurePoint::Scrambling
                                          : SecurePoint::BeforeIndexGoes;
        return true;
    }
    stop.counted = true;
    if (text.rfind("move:", 0) == 0) {
        stop.point = SecurePoint::BeforeMove;
        return parseCount(text.substr(5), stop.moved);
    }
    if (text.rfind("back:", 0) == 0) {
        stop.point = SecurePoint::BeforeMoveBack;
        return parseCount(text.substr(5), stop.moved);
    }
    return false;
}

// Ends the process on the spot, with no cleanup of any kind, like a kill from outside.
void stopAt(SecureContext& context, const StopPoint& stop) {
    if (!stop.set) {
        return;
    }
    context.setCheckpoint([stop](SecurePoint point, unsigned long moved) {
        if (point == stop.point && (!stop.counted || moved == stop.moved)) {
            TerminateProcess(GetCurrentProcess(), kStoppedExitCode);
        }
    });
}

// The arguments in the ANSI code page. The command line is split on its wide form: split
// in Shift-JIS, a name ending in a character whose second byte is "\" (ソ, 表) would have
// that byte taken for a backslash before the closing quote.
std::vector<std::string> ansiArguments() {
    std::vector<std::string> arguments;
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr) {
        return arguments;
    }
    for (int i = 1; i < count; ++i) {
        const int bytes = WideCharToMultiByte(CP_ACP, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
        std::string text(bytes > 0 ? static_cast<std::size_t>(bytes) : 1, '\0');
        WideCharToMultiByte(CP_ACP, 0, wide[i], -1, &text[0], bytes, nullptr, nullptr);
        text.resize(text.size() - 1);
        arguments.push_back(text);
    }
    LocalFree(wide);
    return arguments;
}

// The result line and every fact after it, printed at once.
void printOutcome(const SecureOutcome& outcome, int files) {
    std::string text =
        "result " + std::to_string(outcome.resultCode) + " files " + std::to_string(files) + "\n";
    if (outcome.systemError != 0) {
        text += "error " + std::to_string(outcome.systemError) + "\n";
    }
    if (outcome.leftInPlace != 0) {
        text += "left " + std::to_string(outcome.leftInPlace) + "\n";
    }
    if (outcome.keptInStore != 0) {
        text += "kept " + std::to_string(outcome.keptInStore) + "\n";
    }
    for (const std::string& place : outcome.missing) {
        text += "missing " + place + "\n";
    }
    if (outcome.unreadableRecords != 0) {
        text += "unreadable " + std::to_string(outcome.unreadableRecords) + "\n";
    }
    if (!outcome.indexAside.empty()) {
        text += "aside " + outcome.indexAside + "\n";
    }
    for (const std::string& note : outcome.notesLeft) {
        text += "note " + note + "\n";
    }
    std::fwrite(text.data(), 1, text.size(), stdout);
}

int wrongArguments(const char* why) {
    std::fprintf(stderr, "securearea: %s; %s\n", why, kUsage);
    return 2;
}

} // namespace

int main() {
    // Lines end in LF alone, so scripts on either side of Wine read them alike.
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    std::vector<std::string> arguments = ansiArguments();
    BYTE scrambling = 1;
    StopPoint stop;
    while (!arguments.empty() && (arguments[0] == "--plain" || arguments[0] == "--stop-at")) {
        if (arguments[0] == "--plain") {
            scrambling = 0;
            arguments.erase(arguments.begin());
            continue;
        }
        if (arguments.size() < 2 || !parseStopPoint(arguments[1], stop)) {
            return wrongArguments("--stop-at needs move:N, walked, scramble, back:N or cleanup");
        }
        arguments.erase(arguments.begin(), arguments.begin() + 2);
    }
    if (arguments.empty()) {
        return wrongArguments("no operation given");
    }
    const std::string verb = arguments[0];
    const std::size_t count = arguments.size();

    if (verb == "scramble" || verb == "restore") {
        if (count != 2) {
            return wrongArguments("one file expected");
        }
        const bool done =
            verb == "scramble" ? scrambleFile(arguments[1]) : restoreFile(arguments[1]);
        std::printf("%s\n", done ? "true" : "false");
        return 0;
    }

    if (verb == "protect") {
        if (count < 5) {
            return wrongArguments("protect needs a store root, a key, 0 or 1, and folders");
        }
        if (arguments[3] != "0" && arguments[3] != "1") {
            return wrongArguments("HIDE must be 0 or 1");
        }
        SecureContext context(arguments[1]);
        context.setIndexScrambling(scrambling);
        context.setHideFolders(arguments[3] == "1" ? 1 : 0);
        stopAt(context, stop);
        context.setKeyText(arguments[2]);
        for (std::size_t i = 4; i < count; ++i) {
            context.addFolder(arguments[i]);
        }
        const int files = context.startProtect();
        printOutcome(context.outcome(), files);
        return 0;
    }

    if (verb == "release") {
        if (count != 3) {
            return wrongArguments("release needs a store root and a key");
        }
        SecureContext context(arguments[1]);
        context.setIndexScrambling(scrambling);
        context.setKeyText(arguments[2]);
        stopAt(context, stop);
        const int files = context.startRelease();
        printOutcome(context.outcome(), files);
        return 0;
    }

    if (verb == "probe") {
        if (count != 2) {
            return wrongArguments("probe needs a store root");
        }
        SecureContext context(arguments[1]);
        context.setIndexScrambling(scrambling);
        const int probe = context.probeKeyRecord();
        std::string text = "probe " + std::to_string(probe) + "\n";
        if (context.probeError() != 0) {
            text += "error " + std::to_string(context.probeError()) + "\n";
        }
        std::fwrite(text.data(), 1, text.size(), stdout);
        return 0;
    }

    return wrongArguments("unknown operation");
}
