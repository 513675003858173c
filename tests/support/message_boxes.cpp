#include "support/message_boxes.h"

#include <algorithm>

#include "support/report_window.h"

namespace support {

namespace {

struct Search {
    DWORD processId;
    std::vector<HWND> boxes;
};

BOOL CALLBACK collectBox(HWND window, LPARAM argument) {
    auto* search = reinterpret_cast<Search*>(argument);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    char className[64] = {};
    GetClassNameA(window, className, sizeof className);
    if (process == search->processId && std::string(className) == "#32770" &&
        IsWindowVisible(window)) {
        search->boxes.push_back(window);
    }
    return TRUE;
}

struct Controls {
    std::vector<HWND> buttons;
    std::vector<HWND> statics;
};

BOOL CALLBACK collectControl(HWND window, LPARAM argument) {
    auto* controls = reinterpret_cast<Controls*>(argument);
    char className[64] = {};
    GetClassNameA(window, className, sizeof className);
    const std::string name = className;
    if (lstrcmpiA(className, "Button") == 0 && IsWindowVisible(window)) {
        controls->buttons.push_back(window);
    } else if (lstrcmpiA(className, "Static") == 0) {
        controls->statics.push_back(window);
    }
    return TRUE;
}

SeenBox read(HWND box) {
    SeenBox seen;
    seen.caption = windowTextOf(box);
    Controls controls;
    EnumChildWindows(box, &collectControl, reinterpret_cast<LPARAM>(&controls));
    for (HWND control : controls.statics) {
        const LONG style = GetWindowLongA(control, GWL_STYLE);
        if ((style & SS_TYPEMASK) == SS_ICON) {
            const HICON icon =
                reinterpret_cast<HICON>(SendMessageA(control, STM_GETICON, 0, 0));
            if (icon != nullptr) {
                seen.anyIcon = true;
                seen.questionIcon = icon == LoadIconA(nullptr, IDI_QUESTION);
                seen.informationIcon = icon == LoadIconA(nullptr, IDI_INFORMATION);
                seen.errorIcon = icon == LoadIconA(nullptr, IDI_ERROR);
            }
        } else {
            const std::string text = windowTextOf(control);
            if (!text.empty()) {
                seen.text = text;
            }
        }
    }
    for (HWND button : controls.buttons) {
        seen.buttons.push_back(GetDlgCtrlID(button));
        // The default button carries the default push-button style.
        if ((GetWindowLongA(button, GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON) {
            seen.defaultButton = GetDlgCtrlID(button);
        }
    }
    std::sort(seen.buttons.begin(), seen.buttons.end());
    return seen;
}

} // namespace

std::string windowTextOf(HWND window) {
    char text[4096] = {};
    // WM_GETTEXT works across processes for the standard controls.
    SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text),
                        SMTO_ABORTIFHUNG, 2000, nullptr);
    return text;
}

MessageBoxWatcher::MessageBoxWatcher(DWORD processId)
    : processId_(processId), thread_([this] { watch(); }) {}

MessageBoxWatcher::~MessageBoxWatcher() {
    stop_ = true;
    thread_.join();
}

void MessageBoxWatcher::answer(int button) {
    std::lock_guard<std::mutex> guard(lock_);
    answers_.push_back(button);
}

void MessageBoxWatcher::ignoreCaption(const std::string& caption) {
    std::lock_guard<std::mutex> guard(lock_);
    ignored_.push_back(caption);
}

std::vector<SeenBox> MessageBoxWatcher::seen() const {
    std::lock_guard<std::mutex> guard(lock_);
    return seen_;
}

bool MessageBoxWatcher::waitForBoxes(std::size_t count, DWORD timeoutMs) const {
    return pumpMessagesUntil(
        [&] {
            std::lock_guard<std::mutex> guard(lock_);
            return seen_.size() >= count;
        },
        timeoutMs);
}

void MessageBoxWatcher::watch() {
    while (!stop_) {
        handled_.erase(std::remove_if(handled_.begin(), handled_.end(),
                                      [](HWND box) { return !IsWindow(box); }),
                       handled_.end());
        Search search{processId_, {}};
        EnumWindows(&collectBox, reinterpret_cast<LPARAM>(&search));
        for (HWND box : search.boxes) {
            if (std::find(handled_.begin(), handled_.end(), box) != handled_.end()) {
                continue;
            }
            // A window of the class may be found before its caption is set; it is looked
            // at again on the next round. Every box of the program has a caption.
            const std::string caption = windowTextOf(box);
            if (caption.empty()) {
                continue;
            }
            handled_.push_back(box);
            bool ignore = false;
            {
                std::lock_guard<std::mutex> guard(lock_);
                ignore = std::find(ignored_.begin(), ignored_.end(), caption) != ignored_.end();
            }
            if (!ignore) {
                handle(box);
            }
        }
        Sleep(20);
    }
}

void MessageBoxWatcher::handle(HWND box) {
    // A box is found as soon as its window exists; its caption, text and buttons may come
    // a little later, more so on a busy machine.
    SeenBox seen;
    for (int attempt = 0; attempt < 200; ++attempt) {
        seen = read(box);
        if (!seen.caption.empty() && !seen.text.empty() && !seen.buttons.empty()) {
            break;
        }
        Sleep(20);
    }
    Sleep(50);
    seen = read(box);

    int press = 0;
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (!answers_.empty()) {
            press = answers_.front();
            answers_.pop_front();
            seen.expected = true;
        }
    }
    if (press == 0) {
        for (int fallback : {IDCANCEL, IDNO, IDOK}) {
            if (std::find(seen.buttons.begin(), seen.buttons.end(), fallback) !=
                seen.buttons.end()) {
                press = fallback;
                break;
            }
        }
    }
    seen.pressed = press;
    {
        std::lock_guard<std::mutex> guard(lock_);
        seen_.push_back(seen);
    }
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(press, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(box, press)));
}

} // namespace support
