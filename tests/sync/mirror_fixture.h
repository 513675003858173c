#pragma once

#include <atomic>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include <windows.h>

#include "base/file_time.h"
#include "support/report_window.h"
#include "sync/pass_progress.h"

// Trees of files and folders made and read back for the mirror pass's tests, and the pass
// run as the worker runs it.
namespace mirror_fixture {

// One entry of a tree: a file with content and write time, or (content null) a folder,
// whose write time is set only when given.
struct Item {
    std::string path;
    const char* content;
    FileTime time;
};

Item file(const std::string& path, const char* content, FileTime time);
Item folder(const std::string& path, FileTime time = 0);

struct State {
    bool isFolder;
    std::string content;
    FileTime time;
    bool operator==(const State& other) const {
        return isFolder == other.isFolder && content == other.content && time == other.time;
    }
};

// Relative path to what is there: folders without times, files with content and time.
using Tree = std::map<std::string, State>;

// The tree below the root, but for the holding folder directly in it ("_Syncoravel保管"),
// where a pass keeps what it takes out of a folder.
Tree treeOf(const std::string& root);
Tree expectedTree(const std::vector<Item>& items);

// The items with every folder their paths imply.
std::vector<Item> withFolders(const std::vector<Item>& items);

// An outcome line: tag + the path of a relative entry in folder `folder` of a pass.
struct Line {
    const char* tag;
    std::size_t folder;
    std::string relative;
};

// The lines as the pass writes them, with the folders' paths.
std::vector<std::string> outcomeLines(const std::vector<Line>& lines,
                                      const std::vector<std::string>& folders);

// Makes the root and the items below it, folders' own times last.
void makeTree(const std::string& root, const std::vector<Item>& items);

struct PassResult {
    std::vector<support::ReportedMessage> messages;
    std::vector<std::string> newest;
    std::vector<std::string> deleted;
    std::vector<std::string> copied;
    std::string master;
};

// How the pass is run: in preview mode or not, how the report window answers the question
// before mass deletions (nonzero: go on), and how often progress messages may come (0: for
// every operation).
struct PassSetup {
    bool preview = false;
    LRESULT deletionAnswer = 1;
    DWORD reportIntervalMs = 0;
    // Told of the pass's plan and steps, when given.
    PassProgress* progress = nullptr;
};

// Runs the pass on a thread of its own, as the worker does, while this thread handles the
// report window's messages.
// `action`, when given, sees each message as the report window handles it.
PassResult runPass(const std::vector<std::string>& folders, bool withSubfolders,
                   const std::atomic<bool>* stop = nullptr,
                   std::function<void(const support::ReportedMessage&)> action = nullptr);

PassResult runPass(const std::vector<std::string>& folders, bool withSubfolders,
                   const PassSetup& setup);

// Loads the first definition of the text as a run loads it (folders, options, exclusions)
// and runs its pass as runPass does.
PassResult runDefinition(const std::string& text, const PassSetup& setup = PassSetup());

// Trees for `folders` folders that differ at random (the seed decides): shared and own
// folders, files missing, older, newer or equal, folders that hold files only one side has.
std::vector<std::vector<Item>> randomTrees(unsigned seed, std::size_t folders);

// The lines of a preview as a run writes them: its tags replaced by the run's, and its
// lines on what the holding folder will receive ("【保管予定】") left out.
std::vector<std::string> asRunLines(std::vector<std::string> lines);

// A run's lines without those that say what a target's holding folder received
// ("【保管】"): the preview names the entries instead.
std::vector<std::string> withoutHeldLines(std::vector<std::string> lines);

std::vector<std::string> sorted(std::vector<std::string> lines);

} // namespace mirror_fixture
