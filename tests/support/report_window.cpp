#include "support/report_window.h"

#include "sync/messages.h"

namespace support {

namespace {

const char kClassName[] = "SyncoravelTestReport";

void registerClass() {
    // Windows of several threads share the class; a static initialiser runs once.
    static const bool registered = [] {
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = DefWindowProcA;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = kClassName;
        return RegisterClassA(&windowClass) != 0;
    }();
    (void)registered;
}

} // namespace

ReportWindow::ReportWindow() {
    registerClass();
    window_ = CreateWindowExA(0, kClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                              GetModuleHandleA(nullptr), nullptr);
    if (window_ != nullptr) {
        SetWindowLongPtrA(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        SetWindowLongPtrA(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&procedure));
    }
}

ReportWindow::~ReportWindow() {
    if (window_ != nullptr) {
        DestroyWindow(window_);
    }
}

std::vector<ReportedMessage> ReportWindow::messages() const {
    std::lock_guard<std::mutex> guard(lock_);
    return messages_;
}

void ReportWindow::clear() {
    std::lock_guard<std::mutex> guard(lock_);
    messages_.clear();
}

void ReportWindow::record(UINT message, WPARAM wParam, LPARAM lParam) {
    ReportedMessage entry;
    entry.message = message;
    entry.wParam = wParam;
    entry.lParam = lParam;
    const char* text = reinterpret_cast<const char*>(lParam);
    if (text != nullptr && message >= WM_USER + 2 && message <= WM_USER + 5) {
        entry.text = text;
        if (message == WM_USER + 3) {
            entry.source = text + entry.text.size() + 1;
        }
    }
    if (message == kMsgConfirmDeletions && lParam != 0) {
        const auto* question = reinterpret_cast<const DeletionQuestion*>(lParam);
        entry.text = question->target;
        entry.source = question->master;
        entry.entries = question->entries;
        entry.deletions = question->deletions;
    }
    {
        std::lock_guard<std::mutex> guard(lock_);
        messages_.push_back(entry);
    }
    if (action_) {
        action_(entry);
    }
}

LRESULT CALLBACK ReportWindow::procedure(HWND window, UINT message, WPARAM wParam,
                                         LPARAM lParam) {
    if (message >= WM_USER && message <= 0x7FFF) {
        auto* self = reinterpret_cast<ReportWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
        if (self != nullptr) {
            self->record(message, wParam, lParam);
            if (message == kMsgConfirmDeletions) {
                return self->deletionAnswer_.load();
            }
        }
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

bool pumpMessagesUntil(const std::function<bool()>& condition, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    for (;;) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        if (condition()) {
            return true;
        }
        if (GetTickCount() - start >= timeoutMs) {
            return false;
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

} // namespace support
