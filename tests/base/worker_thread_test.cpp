#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>

#include "base/worker_thread.h"
#include "support/report_window.h"

namespace {

struct Gate {
    WorkerThread* worker = nullptr;
    std::atomic<bool> open{false};
    std::atomic<bool> started{false};
    std::atomic<bool> endedOnItsOwn{false};
};

DWORD WINAPI waitForGate(void* argument) {
    auto* gate = static_cast<Gate*>(argument);
    gate->started = true;
    while (!gate->open) {
        Sleep(1);
    }
    return 42;
}

// Ends as soon as it is asked to.
DWORD WINAPI cooperative(void* argument) {
    auto* gate = static_cast<Gate*>(argument);
    gate->started = true;
    while (!gate->worker->stopRequested()) {
        Sleep(1);
    }
    gate->endedOnItsOwn = true;
    return 7;
}

// Sees the stop request only after a long call of a second and a half, as a flush of a big
// file or a shell operation on a big tree would keep it.
DWORD WINAPI slowToStop(void* argument) {
    auto* gate = static_cast<Gate*>(argument);
    gate->started = true;
    while (!gate->worker->stopRequested()) {
        Sleep(1);
    }
    Sleep(1500);
    gate->endedOnItsOwn = true;
    return 5;
}

// Sends one message to a window of the thread that started it, then ends.
struct Sender {
    HWND window = nullptr;
    std::atomic<bool> answered{false};
};

DWORD WINAPI sendsToItsStarter(void* argument) {
    auto* sender = static_cast<Sender*>(argument);
    SendMessageA(sender->window, WM_USER + 7, 0, 0);
    sender->answered = true;
    return 9;
}

TEST(WorkerThreadTest, JoinWaitsOnTheThreadAndServesWhatItSendsWhenAsked) {
    WorkerThread worker;
    EXPECT_TRUE(worker.join(0)); // no worker at all

    Gate gate;
    ASSERT_TRUE(worker.start(&waitForGate, &gate));
    EXPECT_FALSE(worker.join(100)); // still running at the end of the time
    EXPECT_TRUE(worker.registered());
    gate.open = true;
    EXPECT_TRUE(worker.join(INFINITE));
    EXPECT_FALSE(worker.registered());
    EXPECT_EQ(worker.exitCode(), 42u);

    // A worker that has ended but was not collected yet is collected without a wait.
    Gate ended;
    ended.open = true;
    ASSERT_TRUE(worker.start(&waitForGate, &ended));
    HANDLE thread = OpenThread(SYNCHRONIZE, FALSE, worker.threadId());
    ASSERT_NE(thread, nullptr);
    EXPECT_EQ(WaitForSingleObject(thread, 10000), WAIT_OBJECT_0);
    CloseHandle(thread);
    EXPECT_TRUE(worker.registered());
    EXPECT_TRUE(worker.join(0, true));
    EXPECT_FALSE(worker.registered());
    EXPECT_EQ(worker.exitCode(), 42u);

    // A worker that waits in SendMessage for this thread ends only when the wait serves it.
    support::ReportWindow window;
    Sender sender;
    sender.window = window.handle();
    ASSERT_TRUE(worker.start(&sendsToItsStarter, &sender));
    EXPECT_FALSE(worker.join(300));
    EXPECT_FALSE(sender.answered);
    EXPECT_TRUE(worker.join(10000, true));
    EXPECT_TRUE(sender.answered);
    EXPECT_EQ(worker.exitCode(), 9u);
    ASSERT_EQ(window.messages().size(), 1u);
    EXPECT_EQ(window.messages()[0].message, static_cast<UINT>(WM_USER + 7));
}

TEST(WorkerThreadTest, FinishedTestCollectsTheExitCode) {
    WorkerThread worker;
    EXPECT_TRUE(worker.waitWorkerFinished()); // no worker at all

    Gate gate;
    ASSERT_TRUE(worker.start(&waitForGate, &gate));
    EXPECT_TRUE(worker.registered());
    EXPECT_NE(worker.threadId(), 0u);
    EXPECT_FALSE(worker.waitWorkerFinished());
    gate.open = true;
    ASSERT_TRUE(support::pumpMessagesUntil([&] { return worker.waitWorkerFinished(); }, 10000));
    EXPECT_EQ(worker.exitCode(), 42u);
    EXPECT_FALSE(worker.registered());
    EXPECT_TRUE(worker.waitWorkerFinished());
    EXPECT_EQ(worker.exitCode(), 42u);
}

// No thread is ever terminated: one killed inside a call can leave a lock held for good,
// and the threads it started go on using its stack. A stop asks, then waits however long
// the worker takes to reach its next check.
TEST(WorkerThreadTest, StoppingAsksAndWaitsForTheWorkerToEndOnItsOwn) {
    WorkerThread worker;
    Gate polite;
    polite.worker = &worker;
    ASSERT_TRUE(worker.start(&cooperative, &polite));
    ASSERT_TRUE(support::pumpMessagesUntil([&] { return polite.started.load(); }, 10000));
    worker.stopWorker();
    EXPECT_TRUE(polite.endedOnItsOwn);
    EXPECT_FALSE(worker.registered());

    Gate slow;
    slow.worker = &worker;
    ASSERT_TRUE(worker.start(&slowToStop, &slow));
    EXPECT_FALSE(worker.stopRequested()); // a new worker starts without the old request
    ASSERT_TRUE(support::pumpMessagesUntil([&] { return slow.started.load(); }, 10000));
    const DWORD asked = GetTickCount();
    worker.stopWorker();
    EXPECT_TRUE(slow.endedOnItsOwn) << "the worker was terminated";
    EXPECT_GE(GetTickCount() - asked, 1400u);
    EXPECT_FALSE(worker.registered());
}

TEST(WorkerThreadTest, StartingStopsAWorkerThatIsStillRegistered) {
    WorkerThread worker;
    Gate first;
    first.worker = &worker;
    ASSERT_TRUE(worker.start(&slowToStop, &first));
    ASSERT_TRUE(support::pumpMessagesUntil([&] { return first.started.load(); }, 10000));
    const DWORD firstId = worker.threadId();
    HANDLE firstThread = OpenThread(SYNCHRONIZE, FALSE, firstId);

    Gate second;
    ASSERT_TRUE(worker.start(&waitForGate, &second));
    EXPECT_TRUE(first.endedOnItsOwn);
    EXPECT_NE(worker.threadId(), firstId);
    if (firstThread != nullptr) {
        EXPECT_EQ(WaitForSingleObject(firstThread, 0), WAIT_OBJECT_0);
        CloseHandle(firstThread);
    }
    second.open = true;
    ASSERT_TRUE(support::pumpMessagesUntil([&] { return worker.waitWorkerFinished(); }, 10000));
    EXPECT_EQ(worker.exitCode(), 42u);
}

} // namespace
