#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "base/scoped_handle.h"
#include "base/string_list.h"
#include "run/worker_thread.h"

// Result codes of a secure operation, passed on unchanged by the secure-operation window.
namespace secure {
constexpr int kResultNone = 0;            // protect with no folder; or nothing read yet
constexpr int kResultDone = 1;            // the operation ran to its end
constexpr int kResultNoUsableKey = 2;     // empty key, key file missing, or "<" / ">" in it
constexpr int kResultWrongKey = 3;        // release: wrong key, key file gone, no key record
constexpr int kResultOtherDrive = 4;      // protect: a folder not on the store's drive
constexpr int kResultShortPath = 5;       // protect: a folder path shorter than four characters
constexpr int kResultAlreadySet = 6;      // protect: the index exists, the area is set
constexpr int kResultIndexNotWritten = 7; // protect: the index cannot be created or written
constexpr int kResultNoIndex = 9;         // release: no index, or it cannot be read
constexpr int kResultNotAllRestored = 10; // release: some stored files stay in the store

// The key-record probe's answers.
constexpr int kProbeNoKey = 0;
constexpr int kProbeKeyFile = 1;
constexpr int kProbeKeyWord = 2;
} // namespace secure

// One operation on the secure area at a time: the store it works on, its inputs, and the
// worker that runs it. Created by the secure-operation window, which sets the inputs,
// starts one protect or release, and reads the result code after the finished message.
//
// Everything is called on the user-interface thread except the operations themselves,
// which run on the worker and reach the context through the worker-side accessors.
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
    void addFolder(const std::string& folder) { folders_.append(folder); }

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
    // is never changed. secure::kProbeKeyFile, kProbeKeyWord, or kProbeNoKey when there
    // is no readable index or no key record in it.
    int probeKeyRecord() const;

    // Whether no worker runs any more; when it has just ended its exit code is collected.
    bool workerFinished() { return worker_.waitWorkerFinished(); }
    DWORD exitCode() const { return worker_.exitCode(); }

    const std::string& storeFolder() const { return storeFolder_; }
    std::string indexPath() const;

    // Worker side: what the operations read and report through.
    void setResultCode(int code);
    bool indexScrambling() const { return indexScrambling_ != 0; }
    bool hideFolders() const { return hideFolders_ != 0; }
    HWND window() const { return window_; }
    void post(UINT message, WPARAM wParam, LPARAM lParam) const;

  private:
    static DWORD WINAPI protectThread(void* argument);
    static DWORD WINAPI releaseThread(void* argument);
    int startOperation(WorkerThread::Body body);
    DWORD finish(DWORD exitCode);

    WorkerThread worker_;
    KernelHandle ended_; // set by the worker as its last act
    std::string storeFolder_;
    std::string keyText_;
    StringList folders_;
    HWND window_ = nullptr;
    BYTE indexScrambling_ = 0;
    BYTE hideFolders_ = 1;
    int resultCode_ = secure::kResultNone;
};
