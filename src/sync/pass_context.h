#pragma once

#include <windows.h>

#include <atomic>
#include <string>

#include "base/string_list.h"
#include "sync/exclusion_filter.h"

class CopyFinisher;
class HoldingFolder;

// How many days a dated folder of a holding folder is kept when the settings say nothing.
constexpr int kDefaultHoldingDays = 30;
class PassProgress;

// What the parser fills in for one definition and what its mirror pass reads and records.
// The run context holds one for the whole life of the program.
struct PassContext {
    // Private heap of the run context; snapshot tables are allocated from it. None means
    // the process heap.
    HANDLE heap = nullptr;

    // Receives the parser's and the pass's messages; set by every parse.
    HWND reportWindow = nullptr;

    // The pass sends a deletion or copy message at most once in this many milliseconds;
    // one that comes sooner is held, and the latest held one is sent when the time has come
    // or its phase ends. Each message waits for the window, which costs as much as a small
    // copy. 0 sends every one.
    DWORD reportIntervalMs = 0;

    // The existing folders of the current definition, in line order.
    StringList folders;
    int folderCount = 0;

    // Off while the current definition carries the no-subfolder option.
    bool withSubfolders = true;

    // What a loading parse found of the definition it read that a run cannot use: its folder
    // lines that named no existing folder, as written, and how many named a label that
    // several drives carry (each already has its line in the unsynced list).
    StringList missingFolders;
    int ambiguousFolders = 0;

    // What the current definition leaves alone; set by every parse that loads.
    ExclusionFilter exclusions;

    // Off for a run. On, the pass decides everything as a run does but changes nothing:
    // where a run would delete, copy or make a folder it records the line of what it would
    // do ("【削除予定】", "【コピー予定】"), and it leaves leftover temporary copies alone.
    bool preview = false;

    // The master folder the last pass chose; empty when it chose none.
    std::string masterFolder;

    // Outcome lines of a run. The unsynced list names the definitions the run did not
    // mirror and the folder lines it could not use (see unsynced_definitions.h).
    StringList unsyncedList;
    StringList deleteList;
    StringList copyList;
    StringList newestList;

    // Definitions of the run not mirrored for want of two existing folders.
    int unsyncedDefinitions = 0;

    // Where a pass keeps what it takes out of a folder (see holding_folder.h): the name of
    // the run's dated folder ("YYYYMMDD-HHMMSS"; empty: the time the pass begins), the days
    // a dated folder is kept (0: until the user removes it), and the holding folder of the
    // target the pass is working on, if any.
    std::string holdingStamp;
    int holdingDays = kDefaultHoldingDays;
    HoldingFolder* holding = nullptr;

    // Set while the pass's copies are finished on a thread of their own; every line of the
    // copy list then goes through it, in order.
    CopyFinisher* copyFinisher = nullptr;

    // Told of the pass's plan and of each of its steps, for a window that follows the run
    // (pass_progress.h); none for a pass nobody follows.
    PassProgress* progress = nullptr;

    // Set when the program wants the worker gone (a forced quit): the pass ends between two
    // file operations and a copy in progress is abandoned, so the worker need not be
    // terminated in the middle of a file-system call. None means the pass always runs to
    // its end.
    const std::atomic<bool>* stop = nullptr;

    bool stopRequested() const { return stop != nullptr && stop->load(); }
};
