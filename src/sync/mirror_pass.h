#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "sync/folder_snapshot.h"
#include "sync/messages.h"
#include "sync/pass_context.h"

// Before any deletion of a definition, a run asks (kMsgConfirmDeletions) about each target
// folder from which the pass would remove more than this share of the entries, and at
// least this many, or a folder it could not list: a master on the wrong medium would empty
// the other folders. A "no" skips the definition with the line "【確認で中止】" + target
// folder. A preview never asks; it records "【確認予定】" + target folder instead.
constexpr std::size_t kMassDeletionPercent = 50;
constexpr std::size_t kMassDeletionMinimum = 50;

// Whether removing `deletions` of a folder's `entries` needs the question.
bool isMassDeletion(std::size_t entries, std::size_t deletions);

// The question as the user reads it.
std::string deletionQuestionText(const DeletionQuestion& question);

// What the pass would do to one target as the walks saw it, for a plan made before it acts:
// the deletions and the copies it would start (a folder made counts as a copy), and the
// bytes of those copies.
struct TargetPlan {
    std::uint64_t deletions = 0;
    std::uint64_t copies = 0;
    std::uint64_t bytes = 0;
};
TargetPlan planForTarget(const FolderSnapshot& master, const FolderSnapshot& target);

// Makes every folder of the loaded definition equal to its master folder: the one holding
// the newest file or, when other folders' own newest files come within 2 seconds of it, the
// first with most entries among those tied folders. Entries the master lacks go to the
// recycle bin, files missing or older (in whole units of 4 seconds) are copied from the
// master. Reports to the context's report window (the master folder, each deletion and
// each copy, all sent) and records the newest file and every outcome in the context's
// lists. In preview mode (see PassContext) it changes nothing and records what a run would
// do. Runs on the worker thread; ends early, between file operations, on a stop request of
// the context.
void runMirrorPass(PassContext& context);
