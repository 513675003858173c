#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "secure/secure_results.h"

// What one protect or release is given. The operation runs on a worker thread and reads
// nothing else: whoever starts it fills the request beforehand.
struct SecureRequest {
    // The system folder of the store, which holds the index and the stored files.
    std::string storeFolder;
    // A password, or the full path of a key file.
    std::string key;
    // The index is kept in its scrambled container form.
    bool indexScrambling = false;
    // Protect: a folder emptied into the store is removed instead of getting a note.
    bool hideFolders = true;
    // Protect: the folders, in order.
    std::vector<std::string> folders;
    // Receives the progress messages, posted; none means nothing is posted.
    HWND progressWindow = nullptr;
};

// What one protect or release did.
struct SecureOutcome {
    int resultCode = secure::kResultNone;
    // Protect: the files met; release: the file records of the index.
    unsigned files = 0;
    // Release: the key the index records, once the given key opened the area; else empty.
    std::string key;
};

// Posts a progress message to the request's window, if it has one.
void postProgress(const SecureRequest& request, UINT message, WPARAM wParam, LPARAM lParam);
