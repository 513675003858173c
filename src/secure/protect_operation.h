#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "base/scoped_handle.h"
#include "secure/secure_operation.h"

// What one protect has done so far: the open index with the records written, and every
// move and note, so that an index that cannot be written does not strand the files
// already moved: they are all put back.
//
// Every record reaches the disk before its file moves (write-ahead): whenever the protect
// stops, each file in the store has a complete record, and a record whose file never
// moved is recognised at release by the file still standing at its place.
class ProtectJournal {
  public:
    ProtectJournal(FileHandle index, const SecureRequest& request, std::string storeRoot);

    ProtectJournal(const ProtectJournal&) = delete;
    ProtectJournal& operator=(const ProtectJournal&) = delete;

    // Appends to the index and flushes it to the disk. Once a write has failed every later
    // write fails too, and the walk moves nothing more.
    bool write(const std::string& text);
    // Cuts the index back to `size` bytes: the record of a file that did not move goes.
    bool cutBackTo(unsigned long long size);
    unsigned long long size() const { return size_; }
    bool failed() const { return failed_; }
    // Closes the index; false when any write failed. `error` is the platform's error then.
    bool close(DWORD& error);

    void movedIntoStore(const std::string& source, const std::string& stored, DWORD attributes);
    void wroteNote(const std::string& note) { notes_.push_back(note); }
    // Something stays where it is (a file that could not move or have a record, a folder
    // that could not be listed): the protect is not whole.
    void leftInPlace() { ++leftInPlace_; }
    unsigned long leftCount() const { return leftInPlace_; }
    unsigned long moved() const { return static_cast<unsigned long>(moves_.size()); }
    // A file was met (moved or not).
    void met() { ++met_; }
    unsigned long metCount() const { return met_; }

    // Puts every moved file back with its attributes and deletes the notes. False when a
    // file could not be put back (it then stays in the store).
    bool undo();

    bool hideFolders() const { return request_.hideFolders; }
    const SecureRequest& request() const { return request_; }
    // The drive the store lies on, as the release forms places.
    std::string drive() const { return request_.storeFolder.substr(0, 2); }
    // Whether the folder is the store root or lies inside it: the store is never walked.
    bool isStoreFolder(const std::string& folder) const;

    // Folders listed twice, or one inside another listed before it, are walked once: a
    // second walk would record the files already moved and the notes already written.
    bool walkedAlready(const std::string& folder) const;
    void walkedWhole(const std::string& topFolder) { walked_.push_back(topFolder); }

  private:
    struct Move {
        std::string source;
        std::string stored;
        DWORD attributes;
    };

    FileHandle index_;
    const SecureRequest& request_;
    unsigned long long size_ = 0;
    bool failed_ = false;
    DWORD error_ = 0;
    unsigned long leftInPlace_ = 0;
    unsigned long met_ = 0;
    std::string storeRoot_;
    std::vector<Move> moves_;
    std::vector<std::string> notes_;
    std::vector<std::string> walked_;
};

// Protects the request's folders in order (worker thread): checks the key and every folder
// before anything is moved, writes the index while moving every file into the store, and
// stores the index. Each folder is taken in its one true form (the full long path), so
// that no spelling of the program's folder or of the store passes, and every record names
// a place the release accepts. The outcome counts the files met and carries the result
// code: 8 when something stays where it was, 13 when the index stays in plain text.
SecureOutcome protectFolders(const SecureRequest& request);

// Moves every file below the folder into the store, depth first in the order the folder is
// listed, numbering the stored files from `firstNumber` and passing over numbers whose name
// the store holds already; then removes the emptied folder (hide switch on) or leaves a
// note in it, unless something below it stayed. A file whose record the release would not
// take, and a folder that cannot be listed in full, stay where they are. A note the protect
// itself left earlier (its name and content), and the temporary of one cut short, are taken
// as the protect's own, not moved. Returns how many numbers were used.
unsigned long protectTree(const std::string& storeFolder, const std::string& folder,
                          unsigned long firstNumber, ProtectJournal& journal);
