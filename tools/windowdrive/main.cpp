// windowdrive VERB ARGUMENTS, against the one running Syncoravel of this Wine desktop:
//   wait                    until its main window is shown, and prints its screen rectangle
//                           as "X Y WIDTH HEIGHT"
//   open COMMAND [LINES]    selects the first LINES lines of the definition editor, chooses
//                           the menu command and, once the dialog is shown, prints its
//                           screen rectangle as "X Y WIDTH HEIGHT"
//   shown CAPTION           waits for the dialog with that caption and prints its screen
//                           rectangle as "X Y WIDTH HEIGHT"
//   gone CAPTION            waits until no dialog with that caption is shown
//   type ID TEXT            puts the text into the control ID of the open dialog
//   press ID                clicks the button ID of the open dialog
//   close                   closes the open dialog as its close box does
//   quit                    closes the main window
//   command COMMAND         chooses the menu command and returns at once
//   box                     waits for a message box and prints its screen rectangle
//   answer ID               presses the button ID (IDYES 6, IDNO 7, ...) of the message box
// "The open dialog" is the frontmost one when a dialog opened another.
// Exit code 0 on success, 1 when a window does not appear, 2 for wrong arguments.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

HWND visibleWindowOf(const char* className) {
    HWND window = nullptr;
    while ((window = FindWindowExA(nullptr, window, className, nullptr)) != nullptr) {
        if (IsWindowVisible(window)) {
            return window;
        }
    }
    return nullptr;
}

HWND waitForWindow(const char* className) {
    for (int i = 0; i < 300; ++i) {
        if (HWND window = visibleWindowOf(className)) {
            return window;
        }
        Sleep(100);
    }
    std::fprintf(stderr, "no %s window\n", className);
    return nullptr;
}

HWND visibleDialogWithCaption(const char* caption) {
    HWND window = nullptr;
    while ((window = FindWindowExA(nullptr, window, "NORMALDLG", caption)) != nullptr) {
        if (IsWindowVisible(window)) {
            return window;
        }
    }
    return nullptr;
}

void printRect(HWND window) {
    RECT rect;
    GetWindowRect(window, &rect);
    std::printf("%ld %ld %ld %ld\n", rect.left, rect.top, rect.right - rect.left,
                rect.bottom - rect.top);
}

int shown(const char* caption) {
    for (int i = 0; i < 300; ++i) {
        if (HWND dialog = visibleDialogWithCaption(caption)) {
            Sleep(700); // let it paint
            printRect(dialog);
            return 0;
        }
        Sleep(100);
    }
    std::fprintf(stderr, "no dialog \"%s\"\n", caption);
    return 1;
}

int gone(const char* caption) {
    for (int i = 0; i < 600; ++i) {
        if (visibleDialogWithCaption(caption) == nullptr) {
            return 0;
        }
        Sleep(100);
    }
    std::fprintf(stderr, "dialog \"%s\" stays\n", caption);
    return 1;
}

int press(int id) {
    HWND dialog = visibleWindowOf("NORMALDLG");
    HWND button = dialog != nullptr ? GetDlgItem(dialog, id) : nullptr;
    if (button == nullptr) {
        return 1;
    }
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
    return 0;
}

int open(HWND main, int command, int lines) {
    if (lines > 0) {
        HWND editor = GetDlgItem(main, 1000);
        const LRESULT end = SendMessageA(editor, EM_LINEINDEX, lines, 0);
        SendMessageA(editor, EM_SETSEL, 0, end);
    }
    PostMessageA(main, WM_COMMAND, MAKEWPARAM(command, 0), 0);
    HWND dialog = waitForWindow("NORMALDLG");
    if (dialog == nullptr) {
        return 1;
    }
    Sleep(700); // let it paint
    printRect(dialog);
    return 0;
}

int box() {
    HWND found = waitForWindow("#32770");
    if (found == nullptr) {
        return 1;
    }
    Sleep(700); // let it paint
    printRect(found);
    return 0;
}

int answer(int id) {
    HWND found = visibleWindowOf("#32770");
    if (found == nullptr) {
        return 1;
    }
    PostMessageA(found, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
    for (int i = 0; i < 100 && IsWindow(found); ++i) {
        Sleep(100);
    }
    return IsWindow(found) ? 1 : 0;
}

int closeDialog() {
    HWND dialog = visibleWindowOf("NORMALDLG");
    if (dialog == nullptr) {
        return 1;
    }
    PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
    for (int i = 0; i < 100 && IsWindow(dialog); ++i) {
        Sleep(100);
    }
    return IsWindow(dialog) ? 1 : 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr,
                     "usage: windowdrive wait|open COMMAND [LINES]|shown CAPTION|gone CAPTION|"
                     "type ID TEXT|press ID|close|quit|command COMMAND|box|answer ID\n");
        return 2;
    }
    const std::string verb = argv[1];
    if (verb == "close") {
        return closeDialog();
    }
    if (verb == "shown" && argc == 3) {
        return shown(argv[2]);
    }
    if (verb == "gone" && argc == 3) {
        return gone(argv[2]);
    }
    if (verb == "press" && argc == 3) {
        return press(std::atoi(argv[2]));
    }
    if (verb == "box") {
        return box();
    }
    if (verb == "answer" && argc == 3) {
        return answer(std::atoi(argv[2]));
    }
    HWND main = waitForWindow("NORMAL0");
    if (main == nullptr) {
        return 1;
    }
    if (verb == "wait") {
        printRect(main);
        return 0;
    }
    if (verb == "open" && argc >= 3) {
        return open(main, std::atoi(argv[2]), argc >= 4 ? std::atoi(argv[3]) : 0);
    }
    if (verb == "type" && argc == 4) {
        HWND dialog = visibleWindowOf("NORMALDLG");
        HWND control = dialog != nullptr ? GetDlgItem(dialog, std::atoi(argv[2])) : nullptr;
        if (control == nullptr) {
            return 1;
        }
        SendMessageA(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(argv[3]));
        return 0;
    }
    if (verb == "quit") {
        PostMessageA(main, WM_CLOSE, 0, 0);
        return 0;
    }
    if (verb == "command" && argc == 3) {
        PostMessageA(main, WM_COMMAND, MAKEWPARAM(std::atoi(argv[2]), 0), 0);
        return 0;
    }
    std::fprintf(stderr, "unknown verb or arguments\n");
    return 2;
}
