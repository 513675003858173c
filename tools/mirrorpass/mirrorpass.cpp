// mirrorpass DEFINITION_FILE
//
// Runs every Sync definition of the file as a sync run does: the same parser, worker,
// snapshots, mirror pass and log text, with a hidden report window whose thread handles
// the worker's messages. Writes the log text to standard output exactly as the log file
// would hold it (Shift-JIS, CR LF; nothing when the run changed nothing) and exits 0.
// Wrong arguments or a file that cannot be read: one line on standard error, exit code 2.
// It writes no log file, shows no window and starts no external program of a definition.

#include <windows.h>

#include <cstdio>
#include <string>

#include "base/file_reader.h"
#include "base/file_system.h"
#include "run/run_sequence.h"
#include "sync/messages.h"

namespace {

const char kClassName[] = "SyncoravelMirrorPassReport";

RunSequence* theRun = nullptr;

LRESULT CALLBACK reportProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kMsgNextDefinition) {
        theRun->definitionEnded(wParam);
        if (!theRun->loadNextDefinition()) {
            PostQuitMessage(0);
        }
        return 0;
    }
    if (message >= kMsgDeleting && message <= kMsgRunCommand) {
        return 0; // progress is for the main window; commands are not started here
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

int fail(const char* format, const char* argument) {
    std::fprintf(stderr, format, argument);
    std::fputc('\n', stderr);
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        return fail("usage: mirrorpass DEFINITION_FILE%s", "");
    }
    FileContent content;
    if (!readWholeFile(argv[1], content)) {
        return fail("mirrorpass: cannot read %s", argv[1]);
    }

    static RunSequence run;
    theRun = &run;
    if (!run.context().created()) {
        return fail("mirrorpass: cannot create the run's heap%s", "");
    }

    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = &reportProcedure;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = kClassName;
    RegisterClassA(&windowClass);
    HWND window = CreateWindowExA(0, kClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
    if (window == nullptr) {
        return fail("mirrorpass: cannot create the report window%s", "");
    }

    if (!run.begin(std::string(content.text(), content.size), window)) {
        PostQuitMessage(0);
    }
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        DispatchMessageA(&message);
    }
    DestroyWindow(window);

    std::string log;
    if (run.takeLogText(log) && !writeAll(GetStdHandle(STD_OUTPUT_HANDLE), log)) {
        return fail("mirrorpass: cannot write the log text%s", "");
    }
    return 0;
}
