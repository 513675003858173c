// preview DEFINITION-FILE
//
// Opens the preview window over a definition file as the program's menu item does and says
// in milliseconds what a user waits for: the plan (the walks, on the window's worker), the
// first paint of the list once its lines are set, a jump to the last line and one back to
// the first, a page down (the mean of a hundred), each painted before the clock stops, and
// the close. Exit code 1 when the list never got its lines.
#include <windows.h>
#include <commctrl.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "ui/application.h"
#include "ui/sync_preview_window.h"
#include "ui/ui_resources.h"

namespace {

using Clock = std::chrono::steady_clock;

double millisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

enum class Phase { waitingForLines, waitingForPaint, painted, measured };

struct Measure {
    Phase phase = Phase::waitingForLines;
    Clock::time_point opened;
    Clock::time_point listed;
    Clock::time_point closing;
    HWND list = nullptr;
    int lines = 0;
    double planMs = 0;
    double firstPaintMs = 0;
    double endMs = 0;
    double homeMs = 0;
    double pageMs = 0;
};

Measure measure;
HHOOK hook = nullptr;

double paintedAfter(Clock::time_point start) {
    UpdateWindow(measure.list);
    return millisecondsSince(start);
}

// On the window's thread, outside the message retrieval: the list has painted its first
// lines; scroll it as a user would and close the window.
void CALLBACK scrollAndClose(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    Clock::time_point start = Clock::now();
    SendMessageA(measure.list, LVM_ENSUREVISIBLE, measure.lines - 1, FALSE);
    measure.endMs = paintedAfter(start);
    start = Clock::now();
    SendMessageA(measure.list, LVM_ENSUREVISIBLE, 0, FALSE);
    measure.homeMs = paintedAfter(start);
    constexpr int kPages = 100;
    start = Clock::now();
    for (int i = 0; i < kPages; ++i) {
        SendMessageA(measure.list, WM_VSCROLL, SB_PAGEDOWN, 0);
        UpdateWindow(measure.list);
    }
    measure.pageMs = millisecondsSince(start) / kPages;
    measure.closing = Clock::now();
    PostMessageA(GetParent(measure.list), WM_CLOSE, 0, 0);
}

// Sees each message the window's thread takes: the list's count set by the end of the plan,
// then the list's first paint (done once the next message is taken).
LRESULT CALLBACK watch(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION && wParam == PM_REMOVE) {
        const MSG& message = *reinterpret_cast<const MSG*>(lParam);
        if (measure.phase == Phase::waitingForLines && message.hwnd != nullptr) {
            HWND list = GetDlgItem(GetAncestor(message.hwnd, GA_ROOT), kIdPreviewList);
            const int count = list != nullptr ? static_cast<int>(SendMessageA(
                                                    list, LVM_GETITEMCOUNT, 0, 0))
                                              : 0;
            if (count > 0) {
                measure.list = list;
                measure.lines = count;
                measure.listed = Clock::now();
                measure.planMs = std::chrono::duration<double, std::milli>(measure.listed -
                                                                           measure.opened)
                                     .count();
                measure.phase = Phase::waitingForPaint;
            }
        }
        if (measure.phase == Phase::waitingForPaint && message.message == WM_PAINT &&
            message.hwnd == measure.list) {
            measure.phase = Phase::painted;
        } else if (measure.phase == Phase::painted) {
            measure.firstPaintMs = millisecondsSince(measure.listed);
            measure.phase = Phase::measured;
            SetTimer(nullptr, 0, 0, scrollAndClose);
        }
    }
    return CallNextHookEx(hook, code, wParam, lParam);
}

bool readFile(const char* path, std::string& text) {
    FILE* file = std::fopen(path, "rb");
    if (file == nullptr) {
        return false;
    }
    char block[4096];
    std::size_t got = 0;
    while ((got = std::fread(block, 1, sizeof block, file)) > 0) {
        text.append(block, got);
    }
    std::fclose(file);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    std::string text;
    if (argc != 2 || !readFile(argv[1], text)) {
        std::fprintf(stderr, "preview: give a readable definition file\n");
        return 2;
    }
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    // The window's class, its dialog procedure and the fonts, as the program sets them up.
    if (!createSharedResources() || !registerWindowClasses(GetModuleHandleA(nullptr), DefWindowProcA)) {
        std::fprintf(stderr, "preview: the program's window classes could not be set up\n");
        return 1;
    }
    registerDialogs();
    hook = SetWindowsHookExA(WH_GETMESSAGE, watch, nullptr, GetCurrentThreadId());
    measure.opened = Clock::now();
    showSyncPreview(nullptr, text, {}, 30);
    const double closeMs = millisecondsSince(measure.closing);
    UnhookWindowsHookEx(hook);
    releaseSharedResources();
    if (measure.lines == 0) {
        std::fprintf(stderr, "preview: the list never got its lines\n");
        return 1;
    }
    std::printf("lines %d\n", measure.lines);
    std::printf("plan (walks and comparison) %.0f ms\n", measure.planMs);
    std::printf("first paint of the lines    %.1f ms\n", measure.firstPaintMs);
    std::printf("jump to the last line       %.1f ms\n", measure.endMs);
    std::printf("jump to the first line      %.1f ms\n", measure.homeMs);
    std::printf("one page down               %.1f ms\n", measure.pageMs);
    std::printf("close                       %.1f ms\n", closeMs);
    return 0;
}
