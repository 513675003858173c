#pragma once

#include <string>
#include <unordered_set>
#include <vector>

#include "sync/pass_context.h"

// What a pass in preview mode does where a run would change a folder: it records the line
// of what the run would do, as the run's own operation (file_operations.h) would record its
// outcome, and changes nothing. The run's operations record nothing for an entry to delete
// that is gone or a folder to make that is there already; so do these, and an entry below a
// folder the preview plans to delete counts as gone. Texts with "*" or "?", and sources that
// are no file, get the run's error lines.

// Folders a preview plans to delete, by their full path as the pass names them.
class PlannedDeletions {
  public:
    void clear() { folders_.clear(); }
    void add(const std::string& folder) { folders_.insert(folder); }
    // Whether the path lies below a planned folder.
    bool goesWithFolder(const std::string& path) const;

  private:
    std::unordered_set<std::string> folders_;
};

// Records "【削除予定】" + path; a folder is added to the planned ones.
void planDelete(PassContext& context, PlannedDeletions& planned, const std::string& path);
// Records "【コピー予定】" + destination for a file the master's walk listed (the run's error
// line where a name holds a wildcard); `replaces` says whether the target's walk found a file
// at the destination.
void planCopy(PassContext& context, const std::string& destination, const std::string& source,
              bool replaces);
// Records "【一時ファイル削除予定】" + path for each leftover temporary copy.
void planLeftoverRemoval(PassContext& context, const std::vector<std::string>& paths);
// Records "【コピー予定】" + path unless a folder of that name is there.
void planFolder(PassContext& context, const std::string& path);
