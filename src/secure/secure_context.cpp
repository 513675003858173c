#include "secure/secure_context.h"

#include <utility>

#include "base/file_system.h"
#include "base/text_file_writer.h"
#include "secure/protect_operation.h"
#include "secure/release_operation.h"
#include "secure/secure_messages.h"
#include "secure/store_layout.h"

SecureContext::SecureContext(const std::string& storeRoot) {
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
    worker_.join(INFINITE);
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

std::string SecureContext::indexPath() const {
    return storeFolder_ + "\\" + store::kIndexName;
}

SecureRequest SecureContext::makeRequest() {
    SecureRequest request;
    request.storeFolder = storeFolder_;
    keyText(request.key);
    request.indexScrambling = indexScrambling_ != 0;
    request.hideFolders = hideFolders_ != 0;
    request.progressWindow = window_;
    request.checkpoint = checkpoint_;
    return request;
}

int SecureContext::startProtect() {
    return startOperation(&protectThread, true);
}

int SecureContext::startRelease() {
    return startOperation(&releaseThread, false);
}

int SecureContext::startOperation(WorkerThread::Body body, bool takeFolders) {
    // The holder would stop a registered worker before starting another one; a secure
    // worker stopped part-way could leave files moved without a record, so a start while
    // one runs is refused instead.
    if (!worker_.waitWorkerFinished()) {
        return 0;
    }
    request_ = makeRequest();
    std::string folder;
    while (takeFolders && folders_.takeFirst(folder)) {
        request_.folders.push_back(folder);
    }
    if (!worker_.start(body, this)) {
        for (const std::string& untaken : request_.folders) {
            folders_.append(untaken);
        }
        return 0;
    }
    if (window_ != nullptr) {
        return 1;
    }
    worker_.join(INFINITE);
    return static_cast<int>(worker_.exitCode());
}

DWORD SecureContext::finish(const SecureOutcome* outcome) {
    DWORD files = 0;
    if (outcome != nullptr) {
        CriticalSectionLock guard(worker_.lock());
        resultCode_ = outcome->resultCode;
        if (!outcome->key.empty()) {
            keyText_ = outcome->key;
        }
        outcome_ = *outcome;
        files = outcome->files;
    }
    postProgress(request_, kMsgSecureFinished, 0, 0);
    return files;
}

DWORD WINAPI SecureContext::protectThread(void* argument) {
    auto* context = static_cast<SecureContext*>(argument);
    if (context->request_.folders.empty()) {
        return context->finish(nullptr);
    }
    const SecureOutcome outcome = protectFolders(context->request_);
    return context->finish(&outcome);
}

DWORD WINAPI SecureContext::releaseThread(void* argument) {
    auto* context = static_cast<SecureContext*>(argument);
    const SecureOutcome outcome = releaseFolders(context->request_);
    return context->finish(&outcome);
}

int SecureContext::probeKeyRecord() {
    std::string text;
    probeError_ = 0;
    switch (readIndexText(indexPath(), indexScrambling_ != 0, text, probeError_)) {
    case IndexRead::Missing:
        probeError_ = 0;
        return secure::kProbeNoKey;
    case IndexRead::Unreadable:
        return secure::kProbeUnreadable;
    case IndexRead::Read:
        break;
    }
    return keyRecordOf(text);
}

SecureOutcome SecureContext::outcome() {
    CriticalSectionLock guard(worker_.lock());
    return outcome_;
}
