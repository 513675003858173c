#pragma once

#include <cstddef>
#include <string>

#include "base/file_time.h"
#include "sync/folder_snapshot.h"
#include "sync/messages.h"
#include "sync/pass_context.h"

// Before any deletion of a definition, a run asks (kMsgConfirmDeletions) about each target
// folder from which the pass would remove more than this share of the entries, and at
// least this many: a master on the wrong medium would empty the other folders. A "no"
// skips the definition with the line "【確認で中止】" + target folder. A preview never
// asks.
constexpr std::size_t kMassDeletionPercent = 50;
constexpr std::size_t kMassDeletionMinimum = 50;

// Whether removing `deletions` of a folder's `entries` needs the question.
bool isMassDeletion(std::size_t entries, std::size_t deletions);

// The question as the user reads it.
std::string deletionQuestionText(const DeletionQuestion& question);

// What the pass decides, for a plan made before it acts: the entries it would delete from
// the target (those below a deleted folder included), and whether a file of the target with
// this write time is older than the master's and so copied over.
std::size_t plannedDeletions(const FolderSnapshot& master, const FolderSnapshot& target);
bool copyIsDue(FileTime targetTime, FileTime masterTime);

// Makes every folder of the loaded definition equal to its master folder: the one holding
// the newest file (on an exact tie, the one with most entries). Entries the master lacks go
// to the recycle bin, files missing or older (in whole units of 4 seconds) are copied from
// the master. Reports to the context's report window (the master folder, each deletion and
// each copy, all sent) and records the newest file and every outcome in the context's
// lists. In preview mode (see PassContext) it changes nothing and records what a run would
// do. Runs on the worker thread; ends early, between file operations, on a stop
// request of the context.
void runMirrorPass(PassContext& context);
