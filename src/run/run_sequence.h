#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

#include "run/run_context.h"

// The definitions of one run, taken one after another: the run's own copy of the
// definition text, where the next definition starts in it, how many definitions were
// counted at the start and how many passes have completed since. The main window's run
// controller and the console runner drive a run through it; it shows nothing itself.
//
// Each definition is loaded on the thread of the report window, which receives the
// parser's and the pass's messages; the worker's last message (kMsgNextDefinition) ends
// the definition there.
class RunSequence {
  public:
    RunSequence() = default;

    RunSequence(const RunSequence&) = delete;
    RunSequence& operator=(const RunSequence&) = delete;

    RunContext& context() { return context_; }
    const RunContext& context() const { return context_; }

    // Starts a run over a copy of the text with `reportWindow` as report window: counts the
    // definitions with at least two existing folders and loads the first definition (see
    // startDefinition). False, with nothing running, when the text holds no definition.
    bool begin(const std::string& text, HWND reportWindow);

    // The end of the current definition, as its kMsgNextDefinition says: wParam 1 after a
    // pass, 0 for a skipped definition. The worker posts the message as its last act; it
    // is collected here, so the wait is short.
    void definitionEnded(WPARAM passCompleted);

    // Loads the next definition. False when the text holds no further one: the run is over.
    bool loadNextDefinition();

    // The definitions of the run not mirrored for want of two existing folders so far.
    int unsyncedDefinitions() const { return context_.pass().unsyncedDefinitions; }

    // The completed passes out of the definitions counted at the start, in percent (0 to
    // 100): more passes than counted can complete when folders appear during the run.
    // `currentShare` (0 to 1) is how far the pass in progress has come.
    int progressPercent(double currentShare = 0.0) const;

    // Asks the run to stop and returns at once: a running worker ends its pass at its next
    // stop check (within about a second, or when the one call it is in has returned) and
    // posts kMsgNextDefinition as ever; definitionEnded collects it, and loadNextDefinition
    // then loads nothing. A second request does no harm.
    void requestStop();
    bool stopRequested() const { return stopRequested_; }
    // The line that ends the log of a stopped run: "【中止】" + where it was stopped.
    void recordStop(const std::string& where);

    // Whether a worker is registered: its kMsgNextDefinition is still to come or to be
    // collected.
    bool workerRunning() const { return context_.worker().registered(); }

    // Ends the run and waits until the worker has ended on its own (it is never
    // terminated), handling the messages it sends to this thread meanwhile.
    void stop();

    // The end of a run: the outcome lines as the log text (see assembleLogText), and the
    // same written to the log path when there is one (see writeRunLog).
    bool takeLogText(std::string& text);
    bool writeLog(const std::string& logPath, std::string& text);

  private:
    RunContext context_;
    std::string text_;
    // Where the next definition search starts in text_; the run is over when it has none.
    std::size_t offset_ = 0;
    bool running_ = false;
    bool stopRequested_ = false;
    HWND reportWindow_ = nullptr;
    int countedDefinitions_ = 0;
    int completedPasses_ = 0;
};
