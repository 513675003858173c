#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "base/scoped_handle.h"
#include "secure/secure_operation.h"

// What one protect has done so far: the open index with the records not yet written, and
// every move and note, so that an index that cannot be written does not strand the files
// already moved: they are all put back.
class ProtectJournal {
  public:
    ProtectJournal(FileHandle index, bool hideFolders, std::string storeRoot);

    ProtectJournal(const ProtectJournal&) = delete;
    ProtectJournal& operator=(const ProtectJournal&) = delete;

    // Appends to the index. Once a write has failed every later write fails too, and the
    // walk moves nothing more.
    bool write(const std::string& text);
    bool failed() const { return failed_; }
    // Closes the index; false when any write failed.
    bool close();

    void movedIntoStore(const std::string& source, const std::string& stored, DWORD attributes);
    void wroteNote(const std::string& note) { notes_.push_back(note); }

    // Puts every moved file back with its attributes and deletes the notes. False when a
    // file could not be put back (it then stays in the store).
    bool undo();

    bool hideFolders() const { return hideFolders_; }
    // Whether the folder is the store root or lies inside it: the store is never walked.
    bool isStoreFolder(const std::string& folder) const;

  private:
    struct Move {
        std::string source;
        std::string stored;
        DWORD attributes;
    };

    FileHandle index_;
    bool failed_ = false;
    bool hideFolders_;
    std::string storeRoot_;
    std::vector<Move> moves_;
    std::vector<std::string> notes_;
};

// Protects the request's folders in order (worker thread): checks the key and every folder
// before anything is moved, writes the index while moving every file into the store, and
// stores the index. The outcome counts the files met (a file that could not be moved
// stays in place without a record) and carries the result code.
SecureOutcome protectFolders(const SecureRequest& request);

// Moves every file below the folder into the store, depth first in the order the folder is
// listed, numbering the stored files from `firstNumber`; then removes the emptied folder
// (hide switch on) or leaves a note in it. Returns how many numbers were used: one per
// file met, moved or not.
unsigned long protectTree(const std::string& storeFolder, const std::string& folder,
                          unsigned long firstNumber, ProtectJournal& journal);
