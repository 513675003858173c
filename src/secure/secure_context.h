#pragma once

#include <windows.h>

#include <string>
#include <utility>

#include "base/string_list.h"
#include "base/worker_thread.h"
#include "secure/secure_operation.h"
#include "secure/secure_results.h"

// One operation on the secure area at a time: the store it works on, its inputs, and the
// worker that runs it. Created by the secure-operation window, which sets the inputs,
// starts one protect or release, and reads the result code after the finished message.
//
// Everything is called on the user-interface thread. The operations run on the worker
// with a request made from the inputs when they start; the context keeps their outcome
// under its lock.
class SecureContext {
  public:
    // Creates the hidden store root, the hidden system store folder inside it and, once,
    // its desktop file. Existing folders stay; an existing desktop file is never rewritten.
    explicit SecureContext(const std::string& storeRoot);
    // Waits for a running operation to end: stopping it part-way could leave files moved
    // without a readable index.
    ~SecureContext();

    SecureContext(const SecureContext&) = delete;
    SecureContext& operator=(const SecureContext&) = delete;

    // Inputs, set before an operation starts.
    void setIndexScrambling(BYTE on) { indexScrambling_ = on != 0 ? 1 : 0; }
    void setHideFolders(BYTE on) { hideFolders_ = on != 0 ? 1 : 0; }
    void setWindow(HWND window) { window_ = window; }
    void setKeyText(const std::string& text);
    void setKeyText(const char* text) { setKeyText(std::string(text != nullptr ? text : "")); }
    // A protect takes the folders added so far, and the list starts empty again.
    void addFolder(const std::string& folder) { folders_.append(folder); }
    // Told of each point an operation passes (on the worker); the program sets none.
    void setCheckpoint(SecureCheckpoint checkpoint) { checkpoint_ = std::move(checkpoint); }

    // The key of the operation; after a successful release the key recorded in the index.
    // False (and an empty text) when there is none.
    bool keyText(std::string& text);

    // Read under the context's lock.
    int resultCode();

    // Start the protect or release worker. With a window: 1 once the worker runs, and the
    // window hears of its end through the finished message. Without a window: waits for
    // the worker and returns its exit code (the number of files handled). 0 when the start
    // is refused because an operation is still running on this context (which goes on
    // undisturbed), or when the worker cannot be created.
    int startProtect();
    int startRelease();

    // Which key locks the area, read from a restored copy of the index; the index itself
    // is never changed. secure::kProbeKeyFile, kProbeKeyWord, kProbeNoKey when there is no
    // index or no key record in it, or kProbeUnreadable when an index stands there but
    // cannot be read (its platform error is then `probeError`).
    int probeKeyRecord();
    DWORD probeError() const { return probeError_; }

    // What the last operation did, read under the context's lock once it has ended.
    SecureOutcome outcome();

    // Whether no worker runs any more; when it has just ended its exit code is collected.
    bool workerFinished() { return worker_.waitWorkerFinished(); }
    // The same after waiting at most `timeoutMs` for the worker to end.
    bool waitForWorker(DWORD timeoutMs) { return worker_.join(timeoutMs); }
    DWORD exitCode() const { return worker_.exitCode(); }

    const std::string& storeFolder() const { return storeFolder_; }
    std::string indexPath() const;

  private:
    static DWORD WINAPI protectThread(void* argument);
    static DWORD WINAPI releaseThread(void* argument);
    int startOperation(WorkerThread::Body body, bool takeFolders);
    SecureRequest makeRequest();
    // The worker's last act: keeps the outcome (none: the result code stays as it was) and
    // tells the window.
    DWORD finish(const SecureOutcome* outcome);

    WorkerThread worker_;
    std::string storeFolder_;
    std::string keyText_;
    StringList folders_;
    HWND window_ = nullptr;
    BYTE indexScrambling_ = 0;
    BYTE hideFolders_ = 1;
    int resultCode_ = secure::kResultNone;
    SecureOutcome outcome_;
    DWORD probeError_ = 0;
    SecureCheckpoint checkpoint_;
    // What the running (or last) operation was given; the worker reads nothing else.
    SecureRequest request_;
};
