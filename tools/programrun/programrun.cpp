// programrun PROGRAM
//
// Starts the program (its folder is the current one, so it reads the definition file
// there), waits for its main window, presses the run button as a user does and waits for
// the box that reports the end of the run. It answers that box with No (no log file is
// opened), closes the main window and waits for the process to end. Then it writes one line
// to standard output:
//
//   window S run S total S box TEXT
//
// seconds from the start to the visible main window, from the press to the end-of-run box,
// from the start to that box, and the box's text on one line. A box that comes before the
// press is answered with No as well and counted in nothing. Exit code 0; 1 when the program
// cannot be started, shows no window or no box within ten minutes, or does not end; 2 for
// wrong arguments.

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "base/scoped_handle.h"

namespace {

// The main window's class and the control numbers of its definition editor's run button;
// the program's own headers belong to its window layer, which no runner includes.
const char kMainClass[] = "NORMAL0";
const char kBoxClass[] = "#32770";
constexpr int kRunButton = 1001;

constexpr DWORD kPatienceMs = 600000;
constexpr DWORD kPollMs = 2;

struct Search {
    DWORD process;
    const char* className;
    bool visibleOnly;
    HWND found;
};

BOOL CALLBACK findWindow(HWND window, LPARAM argument) {
    auto* search = reinterpret_cast<Search*>(argument);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    char className[32] = {};
    GetClassNameA(window, className, sizeof className);
    if (process == search->process && std::string(className) == search->className &&
        (!search->visibleOnly || IsWindowVisible(window))) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

HWND windowOf(DWORD process, const char* className) {
    Search search{process, className, true, nullptr};
    EnumWindows(&findWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

double secondsSince(const LARGE_INTEGER& start) {
    LARGE_INTEGER now;
    LARGE_INTEGER frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(now.QuadPart - start.QuadPart) /
           static_cast<double>(frequency.QuadPart);
}

// Waits until the process shows a window of the class, or gives up.
HWND waitForWindow(HANDLE process, DWORD id, const char* className) {
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < kPatienceMs) {
        if (HWND window = windowOf(id, className)) {
            return window;
        }
        if (WaitForSingleObject(process, kPollMs) == WAIT_OBJECT_0) {
            return nullptr;
        }
    }
    return nullptr;
}

// The box's text: its static control holds the message.
std::string boxText(HWND box) {
    std::string text;
    for (HWND child = GetWindow(box, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        char className[32] = {};
        GetClassNameA(child, className, sizeof className);
        if (std::string(className) != "Static") {
            continue;
        }
        char part[1024] = {};
        GetWindowTextA(child, part, sizeof part);
        text += part;
    }
    for (char& c : text) {
        if (c == '\r' || c == '\n') {
            c = ' ';
        }
    }
    return text;
}

void answerNo(HWND box) {
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDNO, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(box, IDNO)));
}

int fail(const char* what) {
    std::fprintf(stderr, "programrun: %s\n", what);
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: programrun PROGRAM\n");
        return 2;
    }
    std::string line = std::string("\"") + argv[1] + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    LARGE_INTEGER started;
    QueryPerformanceCounter(&started);
    if (!CreateProcessA(argv[1], &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &info)) {
        return fail("the program cannot be started");
    }
    CloseHandle(info.hThread);
    KernelHandle process(info.hProcess);
    const DWORD id = info.dwProcessId;

    const HWND main = waitForWindow(process.get(), id, kMainClass);
    if (main == nullptr) {
        return fail("no main window");
    }
    const double windowSeconds = secondsSince(started);
    // A box of the start (a first start's notice, say) is not part of the run.
    while (HWND early = windowOf(id, kBoxClass)) {
        answerNo(early);
        Sleep(50);
    }

    LARGE_INTEGER pressed;
    QueryPerformanceCounter(&pressed);
    PostMessageA(main, WM_COMMAND, MAKEWPARAM(kRunButton, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(main, kRunButton)));
    const HWND box = waitForWindow(process.get(), id, kBoxClass);
    if (box == nullptr) {
        return fail("no end-of-run box");
    }
    const double runSeconds = secondsSince(pressed);
    const double totalSeconds = secondsSince(started);
    const std::string text = boxText(box);

    answerNo(box);
    const DWORD start = GetTickCount();
    while (windowOf(id, kBoxClass) != nullptr && GetTickCount() - start < 10000) {
        Sleep(10);
    }
    PostMessageA(main, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(process.get(), 60000) != WAIT_OBJECT_0) {
        TerminateProcess(process.get(), 1);
        return fail("the program did not end");
    }
    std::printf("window %.3f run %.3f total %.3f box %s\n", windowSeconds, runSeconds, totalSeconds,
                text.c_str());
    return 0;
}
