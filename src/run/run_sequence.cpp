#include "run/run_sequence.h"

#include "run/log_file.h"
#include "sync/definition_parser.h"
#include "sync/holding_folder.h"

bool RunSequence::begin(const std::string& text, HWND reportWindow) {
    text_ = text;
    offset_ = 0;
    reportWindow_ = reportWindow;
    countedDefinitions_ = countSyncDefinitions(text_);
    completedPasses_ = 0;
    context_.pass().unsyncedDefinitions = 0;
    // Everything a run holds goes into one dated folder per target, named after its start.
    context_.pass().holdingStamp = holdingStampNow();
    running_ = true;
    stopRequested_ = false;
    return loadNextDefinition();
}

void RunSequence::definitionEnded(WPARAM passCompleted) {
    context_.worker().join(INFINITE);
    // The next definition starts from nothing; one that is skipped shows no share at all.
    context_.resetProgress();
    if (passCompleted == 1) {
        ++completedPasses_;
    }
}

bool RunSequence::loadNextDefinition() {
    if (!running_ || offset_ > text_.size()) {
        running_ = false;
        return false;
    }
    // The parser cuts the lines of the definition it reads; the text before the offset is
    // never read again, so one copy serves the whole run.
    const int offset = startDefinition(context_, &text_[0] + offset_, reportWindow_);
    if (offset <= 0) {
        running_ = false;
        return false;
    }
    offset_ += static_cast<std::size_t>(offset);
    return true;
}

int RunSequence::progressPercent(double currentShare) const {
    int position = 100;
    if (countedDefinitions_ > 0) {
        const float share = static_cast<float>(currentShare < 0.0   ? 0.0
                                               : currentShare > 1.0 ? 1.0
                                                                    : currentShare);
        position = static_cast<int>((static_cast<float>(completedPasses_) + share) * 100.0f /
                                    static_cast<float>(countedDefinitions_));
    }
    return position < 0 ? 0 : (position > 100 ? 100 : position);
}

void RunSequence::requestStop() {
    stopRequested_ = true;
    running_ = false;
    context_.worker().requestStop();
}

void RunSequence::recordStop(const std::string& where) {
    // Last in the log, after the copies: the run ended there.
    context_.pass().copyList.append("【中止】" + where);
}

void RunSequence::stop() {
    running_ = false;
    context_.worker().stopWorker();
}

bool RunSequence::takeLogText(std::string& text) {
    return assembleLogText(context_.pass(), text);
}

bool RunSequence::writeLog(const std::string& logPath, std::string& text) {
    return writeRunLog(context_.pass(), logPath, text);
}
