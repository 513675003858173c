#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "sync/folder_snapshot.h"
#include "sync/pass_context.h"

// How far a pass has come, for a window that follows it. After the walks the pass plans its
// steps (each deletion and each copy, and the bytes of the copies); then it counts each step
// as it takes it, and the bytes of a copy as they are written. The worker only stores; the
// window's thread reads when it likes, so that following a pass costs the pass nothing it
// would wait for. Every figure is an atomic of its own: a reading may mix two moments, which
// a bar cannot show anyway.
class PassProgress {
  public:
    struct Figures {
        bool planned = false;
        std::uint64_t steps = 0;       // planned deletions and copies
        std::uint64_t step = 0;        // the one in hand, from 1; may pass `steps`
        std::uint64_t bytes = 0;       // planned bytes of the copies
        std::uint64_t written = 0;     // bytes of copies written so far
        std::uint64_t fileSize = 0;    // the copy in hand
        std::uint64_t fileWritten = 0; // ...and how much of it is written
    };

    // A new definition: nothing planned, nothing done.
    void reset();
    Figures read() const;

    void plan(std::uint64_t steps, std::uint64_t bytes);
    void stepTaken();
    void fileStarted(std::uint64_t size);
    void bytesWritten(std::uint64_t count);

  private:
    std::atomic<bool> planned_{false};
    std::atomic<std::uint64_t> steps_{0};
    std::atomic<std::uint64_t> step_{0};
    std::atomic<std::uint64_t> bytes_{0};
    std::atomic<std::uint64_t> written_{0};
    std::atomic<std::uint64_t> fileSize_{0};
    std::atomic<std::uint64_t> fileWritten_{0};
};

// The share of its plan a definition has done, from 0 to 1: each step weighs as much as
// kStepWeightBytes of copying, so that both many small files and one large file move it
// evenly. 0 while nothing is planned.
double passShare(const PassProgress::Figures& figures);
constexpr std::uint64_t kStepWeightBytes = 128 * 1024;

// The pass's hooks; each does nothing when the context follows no progress.

// Plans the pass once the master is chosen: what it will delete from and copy into every
// other folder, as the walks saw them.
void planPassProgress(const PassContext& context,
                      const std::vector<std::unique_ptr<FolderSnapshot>>& snapshots,
                      std::size_t master);
// Before each deletion and each copy (a folder made counts as a copy).
void noteStep(const PassContext& context);
// A file copy begins, and part of it has been written.
void noteCopyStarted(const PassContext& context, std::uint64_t size);
void noteCopiedBytes(const PassContext& context, std::uint64_t count);
