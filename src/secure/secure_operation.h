#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "secure/secure_results.h"

// The moments at which an operation can be watched, each at a step where the store, the
// index and the folders must already be consistent on disk. The console runner stops the
// process hard at one of them to prove that an operation cut short loses nothing.
enum class SecurePoint {
    BeforeMove,      // protect: the file's record is on disk, the file not yet moved
    Walked,          // protect: every file met, the index not yet closed
    Scrambling,      // protect: the scrambled index written beside the plain one
    BeforeMoveBack,  // release: the notes are gone, the next file not yet moved back
    BeforeIndexGoes, // release: every file handled, the index not yet deleted or rewritten
};
// Called on the worker with the point and the number of files moved so far.
using SecureCheckpoint = std::function<void(SecurePoint point, unsigned long moved)>;

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
    // Told of each point the operation passes; none in the program itself.
    SecureCheckpoint checkpoint;
};

// What one protect or release did, and what the user must hear of it beyond its code.
struct SecureOutcome {
    int resultCode = secure::kResultNone;
    // Protect: the files met; release: the file records of the index.
    unsigned files = 0;
    // Release: the key the index records, once the given key opened the area; else empty.
    std::string key;
    // The platform's error code of the step that failed, when one did.
    DWORD systemError = 0;
    // Protect: files that stay at their places.
    unsigned long leftInPlace = 0;
    // Release: files kept in the store for a later release (their places are taken).
    unsigned long keptInStore = 0;
    // Release: places of files found neither in the store nor at their places.
    std::vector<std::string> missing;
    // Release: records that could not be read; their files stay in the store, and the index
    // that names them was put aside under `indexAside`.
    unsigned long unreadableRecords = 0;
    std::string indexAside;
    // Release: notes left where they are, changed by someone or not deletable.
    std::vector<std::string> notesLeft;
};

// Tells the request's checkpoint, if it has one.
void passPoint(const SecureRequest& request, SecurePoint point, unsigned long moved);

// Posts a progress message to the request's window, if it has one.
void postProgress(const SecureRequest& request, UINT message, WPARAM wParam, LPARAM lParam);
