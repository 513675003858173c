#include "secure/secure_context.h"

#include <vector>

#include "run/text_file_writer.h"
#include "secure/protect_operation.h"
#include "secure/release_operation.h"
#include "secure/secure_messages.h"
#include "secure/store_layout.h"
#include "sync/file_operations.h"
#include "sync/path_tests.h"

namespace {

// How often a start without a window looks whether its worker has ended.
constexpr DWORD kWaitSliceMs = 1000;

} // namespace

SecureContext::SecureContext(const std::string& storeRoot)
    : ended_(CreateEventA(nullptr, TRUE, TRUE, nullptr)) {
    if (!fileExists(storeRoot)) {
        createFolderPath(storeRoot);
        SetFileAttributesA(storeRoot.c_str(), FILE_ATTRIBUTE_HIDDEN);
    }
    storeFolder_ = storeRoot + "\\" + store::kFolderName;
    createFolderPath(storeFolder_);
    SetFileAttributesA(storeFolder_.c_str(), FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_HIDDEN);

    // The shell honours the desktop file of a system folder: no confirmations inside the
    // store. The user may have changed it, so an existing one is left alone.
    const std::string desktopFile = storeFolder_ + "\\" + store::kDesktopFileName;
    if (!fileExists(desktopFile)) {
        TextFileWriter writer;
        writer.setText(store::kDesktopFileText);
        if (writer.writeTo(desktopFile)) {
            SetFileAttributesA(desktopFile.c_str(), FILE_ATTRIBUTE_HIDDEN);
        }
    }
}

SecureContext::~SecureContext() {
    if (ended_) {
        WaitForSingleObject(ended_.get(), INFINITE);
    }
    while (!worker_.waitWorkerFinished()) {
        Sleep(1);
    }
}

void SecureContext::setKeyText(const std::string& text) {
    CriticalSectionLock guard(worker_.lock());
    keyText_ = text;
}

bool SecureContext::keyText(std::string& text) {
    CriticalSectionLock guard(worker_.lock());
    text = keyText_;
    return !text.empty();
}

int SecureContext::resultCode() {
    CriticalSectionLock guard(worker_.lock());
    return resultCode_;
}

void SecureContext::setResultCode(int code) {
    CriticalSectionLock guard(worker_.lock());
    resultCode_ = code;
}

std::string SecureContext::indexPath() const {
    return storeFolder_ + "\\" + store::kIndexName;
}

void SecureContext::post(UINT message, WPARAM wParam, LPARAM lParam) const {
    if (window_ != nullptr) {
        PostMessageA(window_, message, wParam, lParam);
    }
}

int SecureContext::startProtect() {
    return startOperation(&protectThread);
}

int SecureContext::startRelease() {
    return startOperation(&releaseThread);
}

int SecureContext::startOperation(WorkerThread::Body body) {
    // The holder would stop a registered worker before starting another one; a secure
    // worker stopped part-way could leave files moved without a record, so a start while
    // one runs is refused instead.
    if (!ended_ || !worker_.waitWorkerFinished()) {
        return 0;
    }
    ResetEvent(ended_.get());
    if (!worker_.start(body, this)) {
        SetEvent(ended_.get());
        return 0;
    }
    if (window_ != nullptr) {
        return 1;
    }
    while (WaitForSingleObject(ended_.get(), kWaitSliceMs) == WAIT_TIMEOUT) {
    }
    // The event is the worker's last act; its thread ends right after.
    while (!worker_.waitWorkerFinished()) {
        Sleep(1);
    }
    return static_cast<int>(worker_.exitCode());
}

DWORD SecureContext::finish(DWORD exitCode) {
    post(kMsgSecureFinished, 0, 0);
    SetEvent(ended_.get());
    return exitCode;
}

DWORD WINAPI SecureContext::protectThread(void* argument) {
    auto* context = static_cast<SecureContext*>(argument);
    if (context->folders_.empty()) {
        return context->finish(0); // the result code keeps its value
    }
    std::vector<std::string> folders;
    folders.reserve(context->folders_.count());
    std::string folder;
    while (context->folders_.takeFirst(folder)) {
        folders.push_back(folder);
    }
    std::string key;
    context->keyText(key);
    return context->finish(protectFolders(*context, context->storeFolder_, folders, key));
}

DWORD WINAPI SecureContext::releaseThread(void* argument) {
    auto* context = static_cast<SecureContext*>(argument);
    std::string key;
    context->keyText(key);
    return context->finish(releaseFolders(*context, context->storeFolder_, key));
}

int SecureContext::probeKeyRecord() const {
    std::string text;
    if (!readIndexText(indexPath(), indexScrambling(), text)) {
        return secure::kProbeNoKey;
    }
    return keyRecordOf(text);
}
