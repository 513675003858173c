#include "sync/pass_progress.h"

#include "sync/mirror_pass.h"

void PassProgress::reset() {
    planned_ = false;
    steps_ = 0;
    step_ = 0;
    bytes_ = 0;
    written_ = 0;
    fileSize_ = 0;
    fileWritten_ = 0;
}

PassProgress::Figures PassProgress::read() const {
    Figures figures;
    figures.planned = planned_.load();
    figures.steps = steps_.load();
    figures.step = step_.load();
    figures.bytes = bytes_.load();
    figures.written = written_.load();
    figures.fileSize = fileSize_.load();
    figures.fileWritten = fileWritten_.load();
    return figures;
}

void PassProgress::plan(std::uint64_t steps, std::uint64_t bytes) {
    steps_ = steps;
    bytes_ = bytes;
    planned_ = true;
}

void PassProgress::stepTaken() {
    step_.fetch_add(1, std::memory_order_relaxed);
    fileSize_.store(0, std::memory_order_relaxed);
    fileWritten_.store(0, std::memory_order_relaxed);
}

void PassProgress::fileStarted(std::uint64_t size) {
    fileWritten_.store(0, std::memory_order_relaxed);
    fileSize_.store(size, std::memory_order_relaxed);
}

void PassProgress::bytesWritten(std::uint64_t count) {
    written_.fetch_add(count, std::memory_order_relaxed);
    fileWritten_.fetch_add(count, std::memory_order_relaxed);
}

double passShare(const PassProgress::Figures& figures) {
    if (!figures.planned) {
        return 0.0;
    }
    const double whole =
        static_cast<double>(figures.steps) * kStepWeightBytes + static_cast<double>(figures.bytes);
    if (whole <= 0.0) {
        return 1.0; // nothing to do is done
    }
    // The step in hand is not done yet; the bytes of its copy say how far it has come.
    const std::uint64_t stepsDone = figures.step > 0 ? figures.step - 1 : 0;
    const double done =
        static_cast<double>(stepsDone) * kStepWeightBytes + static_cast<double>(figures.written);
    return done >= whole ? 1.0 : done / whole;
}

void planPassProgress(const PassContext& context,
                      const std::vector<std::unique_ptr<FolderSnapshot>>& snapshots,
                      std::size_t master) {
    if (context.progress == nullptr) {
        return;
    }
    std::uint64_t steps = 0;
    std::uint64_t bytes = 0;
    for (std::size_t i = 0; i < snapshots.size(); ++i) {
        if (i == master) {
            continue;
        }
        const TargetPlan plan = planForTarget(*snapshots[master], *snapshots[i]);
        steps += plan.deletions + plan.copies;
        bytes += plan.bytes;
    }
    context.progress->plan(steps, bytes);
}

void noteStep(const PassContext& context) {
    if (context.progress != nullptr) {
        context.progress->stepTaken();
    }
}

void noteCopyStarted(const PassContext& context, std::uint64_t size) {
    if (context.progress != nullptr) {
        context.progress->fileStarted(size);
    }
}

void noteCopiedBytes(const PassContext& context, std::uint64_t count) {
    if (context.progress != nullptr) {
        context.progress->bytesWritten(count);
    }
}
