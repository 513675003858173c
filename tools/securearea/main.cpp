// securearea [--plain] protect STORE_ROOT KEY HIDE FOLDER...
// securearea [--plain] release STORE_ROOT KEY
// securearea [--plain] probe STORE_ROOT
// securearea scramble FILE | restore FILE
//
// Runs one operation of the secure area engine on its worker, without a window, and prints
// one line: "result R files N", "probe P", or "true"/"false". The exit code is 0 whenever
// the operation ran, whatever its result code; 2 for wrong arguments.

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

const char kUsage[] = "usage: securearea [--plain] protect STORE_ROOT KEY HIDE FOLDER... | "
                      "release STORE_ROOT KEY | probe STORE_ROOT | scramble FILE | restore FILE";

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
    if (!arguments.empty() && arguments[0] == "--plain") {
        scrambling = 0;
        arguments.erase(arguments.begin());
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
        context.setKeyText(arguments[2]);
        for (std::size_t i = 4; i < count; ++i) {
            context.addFolder(arguments[i]);
        }
        const int files = context.startProtect();
        std::printf("result %d files %d\n", context.resultCode(), files);
        return 0;
    }

    if (verb == "release") {
        if (count != 3) {
            return wrongArguments("release needs a store root and a key");
        }
        SecureContext context(arguments[1]);
        context.setIndexScrambling(scrambling);
        context.setKeyText(arguments[2]);
        const int files = context.startRelease();
        std::printf("result %d files %d\n", context.resultCode(), files);
        return 0;
    }

    if (verb == "probe") {
        if (count != 2) {
            return wrongArguments("probe needs a store root");
        }
        SecureContext context(arguments[1]);
        context.setIndexScrambling(scrambling);
        std::printf("probe %d\n", context.probeKeyRecord());
        return 0;
    }

    return wrongArguments("unknown operation");
}
