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
#include "run/log_file.h"
#include "run/run_context.h"
#include "sync/messages.h"

namespace {

const char kClassName[] = "SyncoravelMirrorPassReport";

struct Run {
    RunContext context;
    std::string text;       // the definition text
    std::size_t offset = 0; // where the next definition search starts
};

Run* theRun = nullptr;

// Loads the definition at the current offset; ends the message loop after the last.
void nextDefinition(HWND window) {
    std::string rest = theRun->text.substr(theRun->offset);
    const int offset = startDefinition(theRun->context, &rest[0], window);
    if (offset > 0) {
        theRun->offset += static_cast<std::size_t>(offset);
    } else {
        PostQuitMessage(0);
    }
}

LRESULT CALLBACK reportProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kMsgNextDefinition) {
        // The worker posts this as its last act; the wait is short.
        while (!theRun->context.worker().waitWorkerFinished()) {
            Sleep(1);
        }
        nextDefinition(window);
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

bool writeAll(HANDLE output, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        DWORD written = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(text.size() - done, 1 << 20));
        if (!WriteFile(output, text.data() + done, chunk, &written, nullptr) || written == 0) {
            return false;
        }
        done += written;
    }
    return true;
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

    static Run run;
    theRun = &run;
    run.text.assign(content.text(), content.size);
    if (!run.context.created()) {
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

    nextDefinition(window);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        DispatchMessageA(&message);
    }
    DestroyWindow(window);

    std::string log;
    if (assembleLogText(run.context.pass(), log) &&
        !writeAll(GetStdHandle(STD_OUTPUT_HANDLE), log)) {
        return fail("mirrorpass: cannot write the log text%s", "");
    }
    return 0;
}
