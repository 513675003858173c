#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "base/file_time.h"
#include "base/scoped_handle.h"
#include "support/temp_folder.h"

// Starting the console tools of the build as child processes, and taking stock of the
// folders they work on.
namespace tool_process {

// The tool built beside the tests; the build gives its Linux path.
std::string toolPath();

struct Started {
    KernelHandle process;
    KernelHandle thread;
};

// Starts the tool with the arguments; its standard output goes to `output` (or nowhere),
// its standard error to the file `errors`.
bool startTool(const std::string& arguments, HANDLE output, const std::string& errors,
               Started& started);

struct ToolResult {
    bool ran = false;
    DWORD exitCode = 0;
    std::string output;
    std::string errors;
};

// Runs the tool to its end (two minutes at most) and collects what it wrote.
ToolResult runTool(const support::TempFolder& temp, const std::string& arguments);

// Writes the definition text to a file of the temporary folder; returns its path.
std::string definitionFile(const support::TempFolder& temp, const std::string& text);

// A file that another process may still be writing, read as far as it goes.
std::string readWhileWritten(const std::string& path);

// What a comparison needs of an entry: size, time, and its content or, for a big file, its
// first and last bytes. A folder is only a folder: its time is the file system's business.
struct FileFacts {
    unsigned long long size = 0;
    FileTime time = 0;
    std::string content;
    bool folder = false;
    bool operator==(const FileFacts& other) const {
        return size == other.size && time == other.time && content == other.content &&
               folder == other.folder;
    }
    bool operator!=(const FileFacts& other) const { return !(*this == other); }
};

// Every entry below the folder, by its path relative to it ("sub\\a.txt"), but for the
// holding folder directly in it ("_Syncoravel保管"), which a pass keeps for itself.
std::map<std::string, FileFacts> factsOf(const std::string& folder);

// The folders in that holding folder (full paths, sorted by name): one per run that put
// something there.
std::vector<std::string> datedFoldersOf(const std::string& folder);

// A file whose blocks, but for a mark at each end, are never written: made at once, and
// copied slowly enough to be caught in the middle.
bool makeBigFile(const std::string& path, unsigned long long size, FileTime time,
                 const std::string& head = "HEAD", const std::string& tail = "TAIL");

} // namespace tool_process
