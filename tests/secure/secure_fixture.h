#pragma once

#include <windows.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "secure/secure_operation.h"
#include "support/temp_folder.h"

namespace securetest {

// One file of a tree: its bytes and attribute bits.
struct FileState {
    std::string content;
    DWORD attributes = 0;

    bool operator==(const FileState& other) const {
        return content == other.content && attributes == other.attributes;
    }
};

// Every file below a folder by its path relative to it, and every folder.
struct TreeState {
    std::map<std::string, FileState> files;
    std::set<std::string> folders;
};

TreeState treeState(const std::string& root);

// A program folder of its own with the store root "_PWSD" in it.
class StoreFixture {
  public:
    const support::TempFolder& temp() const { return temp_; }
    std::string root() const { return temp_.at("_PWSD"); }
    std::string storeFolder() const { return root() + "\\VRSYS"; }
    std::string index() const { return storeFolder() + "\\Vaultrowan00000.exe"; }
    // Stored files ("Vaultrowan", digits, ".exe") in the store, without the index, sorted.
    std::vector<std::string> storedFiles() const;

  private:
    support::TempFolder temp_;
};

// The note file's name.
extern const std::string kNoteName;

// What one operation on a store gave: the count it returned, its result code, and what it
// reported beyond the code.
struct Ran {
    int files = -1;
    int result = -1;
    SecureOutcome outcome;
};

// A protect or release on the fixture's store through a context of its own, waited for.
Ran protectIn(const StoreFixture& fixture, const std::string& key,
              const std::vector<std::string>& folders, BYTE hide = 0, BYTE scrambling = 1);
Ran releaseIn(const StoreFixture& fixture, const std::string& key, BYTE scrambling = 1);

// The index as text, whatever form it is stored in.
std::string plainIndexOf(const StoreFixture& fixture);

} // namespace securetest
