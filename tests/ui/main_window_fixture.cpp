#include "main_window_fixture.h"

#include <commctrl.h>

#include <map>

#include "support/files.h"
#include "support/report_window.h"
#include "ui/dialog_controls.h"
#include "ui/dialog_host.h"
#include "ui/main_window.h"
#include "ui/ui_ids.h"
#include "ui/ui_resources.h"
#include "user_input.h"

namespace {

std::map<HWND, ControlRecorder*> recorders;

std::map<std::string, DialogBody> testDialogs;

template <std::size_t N> LRESULT CALLBACK testDialogProcedure(HWND, UINT, WPARAM, LPARAM);

const char* const kDialogNames[] = {"VersionInfo", "MirrorEdit", "SecureFlds", "SecureProg",
                                    "RunSoftEdit"};

template <std::size_t N>
LRESULT CALLBACK testDialogProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto found = testDialogs.find(kDialogNames[N]);
    if (found != testDialogs.end() && found->second) {
        return found->second(window, message, wParam, lParam);
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

const WNDPROC kTestProcedures[] = {&testDialogProcedure<0>, &testDialogProcedure<1>,
                                   &testDialogProcedure<2>, &testDialogProcedure<3>,
                                   &testDialogProcedure<4>};

} // namespace

RECT placeOf(HWND parent, HWND control) {
    RECT rect;
    GetWindowRect(control, &rect);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

std::string classOf(HWND window) {
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

std::vector<std::string>
controlMismatches(HWND window, const std::vector<ControlExpectation>& expected, HFONT font) {
    std::vector<std::string> mismatches;
    std::size_t index = 0;
    for (HWND child = GetWindow(window, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT), ++index) {
        const std::string where = std::to_string(GetDlgCtrlID(child));
        if (index >= expected.size()) {
            mismatches.push_back(where + ": not in the table");
            continue;
        }
        const ControlExpectation& e = expected[index];
        if (GetDlgCtrlID(child) != e.id) {
            mismatches.push_back(where + ": in the place of " + std::to_string(e.id));
            continue;
        }
        if (lstrcmpiA(classOf(child).c_str(), e.className) != 0) {
            mismatches.push_back(where + ": class " + classOf(child));
        }
        if (e.text != nullptr && textOf(child) != e.text) {
            mismatches.push_back(where + ": text " + support::utf8(textOf(child)));
        }
        const RECT rect = placeOf(window, child);
        if (rect.left != e.x || rect.top != e.y || rect.right - rect.left != e.width ||
            rect.bottom - rect.top != e.height) {
            mismatches.push_back(where + ": rectangle");
        }
        if (reinterpret_cast<HFONT>(SendMessageA(child, WM_GETFONT, 0, 0)) != font) {
            mismatches.push_back(where + ": font");
        }
    }
    if (index < expected.size()) {
        mismatches.push_back("missing controls");
    }
    return mismatches;
}

void setTestDialog(const char* name, DialogBody body) {
    for (std::size_t i = 0; i < 5; ++i) {
        if (std::string(kDialogNames[i]) == name) {
            testDialogs[name] = std::move(body);
            setDialogProcedure(name, kTestProcedures[i]);
        }
    }
}

void clearTestDialogs() {
    for (const char* name : kDialogNames) {
        setDialogProcedure(name, nullptr);
    }
    testDialogs.clear();
}

ControlRecorder::ControlRecorder(HWND control) : control_(control) {
    recorders[control] = this;
    previous_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&procedure)));
}

ControlRecorder::~ControlRecorder() {
    if (IsWindow(control_)) {
        SetWindowLongPtrA(control_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous_));
    }
    recorders.erase(control_);
}

LRESULT CALLBACK ControlRecorder::procedure(HWND window, UINT message, WPARAM wParam,
                                            LPARAM lParam) {
    ControlRecorder* self = recorders.at(window);
    if (message == WM_SETTEXT && lParam != 0) {
        self->texts_.push_back(reinterpret_cast<const char*>(lParam));
        if (self->probe_) {
            self->probe_(self->texts_.back());
        }
    } else if (message == PBM_SETPOS) {
        self->positions_.push_back(static_cast<int>(wParam));
        if (self->probe_) {
            self->probe_(std::string());
        }
    }
    return CallWindowProcA(self->previous_, window, message, wParam, lParam);
}

MainWindowTest::MainWindowTest()
    : location_{temp_.folder("プログラム表"),
                "ui_tests_" + std::to_string(GetCurrentProcessId()) + ".exe", "D:"} {}

MainWindowTest::~MainWindowTest() {
    close();
    clearTestDialogs();
}

std::string MainWindowTest::programFile(const std::string& name) const {
    return location_.folder + "\\" + name;
}

HWND MainWindowTest::start(const char* definitions) {
    if (definitions != nullptr) {
        support::writeFile(programFile("SyncDef.txt"), definitions);
    }
    HINSTANCE instance = GetModuleHandleA(nullptr);
    createSharedResources();
    registerWindowClasses(instance, &mainWindowProcedure);
    window_ = createMainWindow(instance, location_, createMainMenu());
    return window_;
}

std::string MainWindowTest::text(int id) const { return windowText(control(id)); }

std::string MainWindowTest::caption() const { return windowText(window_); }

void MainWindowTest::setEditorText(const std::string& text) const {
    SetWindowTextA(control(kIdEditor), text.c_str());
}

void MainWindowTest::click(int buttonId) const {
    PostMessageA(window_, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED),
                 reinterpret_cast<LPARAM>(control(buttonId)));
}

void MainWindowTest::menu(int commandId) const {
    PostMessageA(window_, WM_COMMAND, MAKEWPARAM(commandId, 0), 0);
}

void MainWindowTest::pressKey(UINT key, bool withControl) const {
    BYTE keys[256] = {};
    GetKeyboardState(keys);
    const BYTE before = keys[VK_CONTROL];
    keys[VK_CONTROL] = withControl ? 0x80 : 0;
    SetKeyboardState(keys);
    MSG message = {};
    message.hwnd = control(kIdEditor);
    message.message = WM_KEYDOWN;
    message.wParam = key;
    message.lParam = 1;
    if (!translateMainWindowKeys(message)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    keys[VK_CONTROL] = before;
    SetKeyboardState(keys);
}

void MainWindowTest::close() {
    if (window_ != nullptr && IsWindow(window_)) {
        DestroyWindow(window_);
    }
    window_ = nullptr;
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message != WM_QUIT) {
            DispatchMessageA(&message);
        }
    }
}

bool MainWindowTest::waitFor(const std::function<bool()>& condition, DWORD timeoutMs) const {
    return support::pumpMessagesUntil(condition, timeoutMs);
}
