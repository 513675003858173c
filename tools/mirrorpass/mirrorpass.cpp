// mirrorpass [--preview] [--allow-mass-delete] [--keep-days=N] [--exit-at=POINT]
//            DEFINITION_FILE
//
// Runs every Sync definition of the file as a sync run does: the same parser, worker,
// snapshots, mirror pass and log text, with a hidden report window whose thread handles
// the worker's messages. Writes the log text to standard output exactly as the log file
// would hold it (Shift-JIS, CR LF; nothing when the run changed nothing) and exits 0.
// Wrong arguments or a file that cannot be read: one line on standard error, exit code 2.
// It writes no log file, shows no window and starts no external program of a definition.
//
// It never asks: a definition whose deletions would empty a target folder, for which a run
// asks the user, is skipped with the line "【確認で中止】" + that folder, unless
// --allow-mass-delete lets it go on.
//
// --preview runs the passes in preview mode: the same lines with "【削除予定】",
// "【コピー予定】" and "【一時ファイル削除予定】" where a run deletes, copies and removes a
// leftover copy, "【保管予定】" after those that would move an entry into a holding folder,
// and nothing changed on disk. A definition that the run would stop unless the question
// were answered Yes gets "【確認予定】" + target folder before its lines.
//
// --keep-days=N keeps the dated folders of the holding folders N days (0: for ever) instead
// of the 30 days a run keeps them when its settings say nothing.
//
// --exit-at=POINT is for the tests that cut a run off where they choose, to see what a
// killed run leaves behind. POINT is "master", "delete:N", "copy:N" or "held:N" (the master
// message, the N-th deletion, the N-th copy, or the N-th entry just moved into a holding
// folder, before whatever takes its place), optionally followed by "+MS". When that progress
// message reaches the report window, a line "mirrorpass: exit at POINT: PATH" goes to
// standard error and the process ends itself MS milliseconds later (at once without +MS)
// through TerminateProcess, exit code 3, with no cleanup of any kind. The worker waits in
// its send while the message is handled, so an immediate exit lands just before that
// deletion or copy starts, a delayed one while it (or a later one) runs. With the option,
// "mirrorpass: walking" goes to standard error when the run begins, so that a caller can
// kill the process from outside during the walks and tell that it did.

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "base/file_reader.h"
#include "base/file_system.h"
#include "base/scoped_handle.h"
#include "run/run_sequence.h"
#include "sync/messages.h"

namespace {

const char kClassName[] = "SyncoravelMirrorPassReport";
const char kExitAtOption[] = "--exit-at=";
const char kPreviewOption[] = "--preview";
const char kAllowMassDeleteOption[] = "--allow-mass-delete";
const char kKeepDaysOption[] = "--keep-days=";

bool allowMassDelete = false;

// Tells a deliberate exit apart from the end of a run (0) and from wrong arguments (2).
constexpr UINT kExitedAtPoint = 3;

RunSequence* theRun = nullptr;

// Where --exit-at cuts the run off; message 0 when it is not given.
struct ExitPoint {
    UINT message = 0;
    unsigned long ordinal = 1;
    DWORD delayMs = 0;
    std::string text;
};

ExitPoint exitPoint;
unsigned long seenOfKind = 0;

void writeError(const std::string& line) {
    writeAll(GetStdHandle(STD_ERROR_HANDLE), line + "\n");
}

// Parses "master", "delete:N", "copy:N" or "held:N", each with an optional "+MS".
bool parseExitPoint(const std::string& text, ExitPoint& point) {
    std::string kind = text;
    point.text = text;
    const std::size_t plus = kind.find('+');
    if (plus != std::string::npos) {
        char* end = nullptr;
        const unsigned long delay = std::strtoul(kind.c_str() + plus + 1, &end, 10);
        if (plus + 1 == kind.size() || *end != '\0') {
            return false;
        }
        point.delayMs = static_cast<DWORD>(delay);
        kind.erase(plus);
    }
    const std::size_t colon = kind.find(':');
    const std::string name = kind.substr(0, colon);
    if (colon != std::string::npos) {
        char* end = nullptr;
        point.ordinal = std::strtoul(kind.c_str() + colon + 1, &end, 10);
        if (colon + 1 == kind.size() || *end != '\0' || point.ordinal == 0) {
            return false;
        }
    }
    if (name == "master" && colon == std::string::npos) {
        point.message = kMsgMasterFolder;
    } else if (name == "delete" && colon != std::string::npos) {
        point.message = kMsgDeleting;
    } else if (name == "copy" && colon != std::string::npos) {
        point.message = kMsgCopying;
    } else if (name == "held" && colon != std::string::npos) {
        point.message = kMsgHolding;
    } else {
        return false;
    }
    return true;
}

void exitNow() {
    TerminateProcess(GetCurrentProcess(), kExitedAtPoint);
}

DWORD WINAPI exitLater(void* delay) {
    Sleep(static_cast<DWORD>(reinterpret_cast<std::uintptr_t>(delay)));
    exitNow();
    return 0;
}

// Counts the progress messages of the chosen kind and, at the chosen one, arranges the end.
void watchForExitPoint(UINT message, LPARAM lParam) {
    if (message != exitPoint.message || ++seenOfKind != exitPoint.ordinal) {
        return;
    }
    writeError(std::string("mirrorpass: exit at ") + exitPoint.text + ": " +
               reinterpret_cast<const char*>(lParam));
    if (exitPoint.delayMs == 0) {
        exitNow();
    }
    // Lives until the process ends, which is what it is for.
    static KernelHandle timer;
    timer.reset(CreateThread(nullptr, 0, &exitLater,
                             reinterpret_cast<void*>(std::uintptr_t{exitPoint.delayMs}), 0,
                             nullptr));
    if (!timer) {
        exitNow(); // better early than never: the caller counts on the exit
    }
}

LRESULT CALLBACK reportProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kMsgNextDefinition) {
        theRun->definitionEnded(wParam);
        if (!theRun->loadNextDefinition()) {
            PostQuitMessage(0);
        }
        return 0;
    }
    if (message == kMsgConfirmDeletions) {
        return allowMassDelete ? 1 : 0;
    }
    if ((message >= kMsgDeleting && message <= kMsgRunCommand) || message == kMsgHolding) {
        watchForExitPoint(message, lParam);
        return 0; // progress is for the main window; commands are not started here
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// A count of days: decimal digits only.
bool parseDays(const char* text, int& days) {
    if (*text == '\0' || std::strlen(text) > 6) {
        return false;
    }
    for (const char* c = text; *c != '\0'; ++c) {
        if (*c < '0' || *c > '9') {
            return false;
        }
    }
    days = std::atoi(text);
    return true;
}

int fail(const char* format, const char* argument) {
    std::fprintf(stderr, format, argument);
    std::fputc('\n', stderr);
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    int file = 1;
    bool preview = false;
    int keepDays = kDefaultHoldingDays;
    for (; file < argc && std::strncmp(argv[file], "--", 2) == 0; ++file) {
        if (std::strcmp(argv[file], kPreviewOption) == 0) {
            preview = true;
        } else if (std::strcmp(argv[file], kAllowMassDeleteOption) == 0) {
            allowMassDelete = true;
        } else if (std::strncmp(argv[file], kKeepDaysOption, sizeof kKeepDaysOption - 1) == 0) {
            if (!parseDays(argv[file] + sizeof kKeepDaysOption - 1, keepDays)) {
                return fail("mirrorpass: not a number of days: %s", argv[file]);
            }
        } else if (std::strncmp(argv[file], kExitAtOption, sizeof kExitAtOption - 1) == 0) {
            if (!parseExitPoint(argv[file] + sizeof kExitAtOption - 1, exitPoint)) {
                return fail("mirrorpass: not an exit point: %s", argv[file]);
            }
        } else {
            return fail("mirrorpass: unknown option: %s", argv[file]);
        }
    }
    if (argc != file + 1) {
        return fail("usage: mirrorpass DEFINITION_FILE%s", "");
    }
    FileContent content;
    if (!readWholeFile(argv[file], content)) {
        return fail("mirrorpass: cannot read %s", argv[file]);
    }

    static RunSequence run;
    theRun = &run;
    if (!run.context().created()) {
        return fail("mirrorpass: cannot create the run's heap%s", "");
    }
    run.context().pass().preview = preview;
    run.context().pass().holdingDays = keepDays;

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

    if (exitPoint.message != 0) {
        // Each deletion and copy must reach the window for its count to name the moment.
        run.context().pass().reportIntervalMs = 0;
        writeError("mirrorpass: walking");
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
