#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <memory>
#include <thread>
#include <string>
#include <vector>

#include "base/file_system.h"
#include "run/run_context.h"
#include "support/files.h"
#include "support/report_window.h"
#include "support/temp_folder.h"
#include "support/unix_access.h"
#include "sync/messages.h"

namespace {

using support::fileTimeUtc;

const FileTime T = fileTimeUtc(2024, 6, 1, 12, 0, 0);

bool received(const support::ReportWindow& window, WPARAM wParam) {
    for (const support::ReportedMessage& message : window.messages()) {
        if (message.message == kMsgNextDefinition && message.wParam == wParam) {
            return true;
        }
    }
    return false;
}

TEST(RunContextTest, TheWorkerRunsThePassThenResetsTheDefinitionAndPostsItsEnd) {
    support::TempFolder temp;
    const std::string a = temp.folder("ソA");
    const std::string b = temp.folder("表B");
    temp.file("ソA\\x.txt", "x", T);
    temp.file("ソA\\sub\\y.txt", "y", T);

    support::ReportWindow window;
    RunContext context;
    ASSERT_TRUE(context.created());
    EXPECT_NE(context.pass().heap, nullptr);
    PassContext& pass = context.pass();
    pass.reportWindow = window.handle();
    pass.folders.append(a);
    pass.folders.append(b);
    pass.folderCount = 2;
    pass.withSubfolders = false;

    ASSERT_TRUE(context.startMirrorWorker());
    ASSERT_TRUE(support::pumpMessagesUntil([&] { return received(window, 1); }, 30000));
    ASSERT_TRUE(
        support::pumpMessagesUntil([&] { return context.worker().waitWorkerFinished(); }, 10000));
    EXPECT_EQ(context.worker().exitCode(), 0u);

    const std::vector<support::ReportedMessage> messages = window.messages();
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_EQ(messages[0].message, kMsgMasterFolder);
    EXPECT_EQ(messages[1].message, kMsgCopying);
    EXPECT_EQ(messages[2].message, kMsgNextDefinition); // the worker's last act
    EXPECT_EQ(messages[2].lParam, 0);
    EXPECT_TRUE(pass.folders.empty());
    EXPECT_EQ(pass.folderCount, 0);
    EXPECT_TRUE(pass.withSubfolders);
    EXPECT_EQ(std::vector<std::string>(pass.copyList.begin(), pass.copyList.end()),
              std::vector<std::string>{"【コピー】" + b + "\\x.txt"}); // not sub\y.txt
    EXPECT_EQ(pass.newestList.count(), 1u);
}

TEST(RunContextTest, DefinitionsAreLoadedOneAfterAnother) {
    support::TempFolder temp;
    const std::string a = temp.folder("A");
    const std::string b = temp.folder("B");
    temp.file("A\\x.txt", "x", T);
    const std::string text =
        "Sync." + a + "\r\nSync." + b + "\r\n\r\n" + "Sync.Option.NoSubDirectory\r\nSync." + a +
        "\r\nSync." + temp.at("missing") + "\r\n\r\n" + "Sync." + a + "\r\nSync." + b + "\r\n";

    support::ReportWindow window;
    RunContext context;
    std::string copy = text;
    std::size_t offset = 0;

    // First: two existing folders, a pass on the worker.
    int step = startDefinition(context, &copy[offset], window.handle());
    ASSERT_GT(step, 0);
    offset += static_cast<std::size_t>(step);
    EXPECT_TRUE(context.worker().registered());
    ASSERT_TRUE(support::pumpMessagesUntil([&] { return received(window, 1); }, 30000));
    ASSERT_TRUE(
        support::pumpMessagesUntil([&] { return context.worker().waitWorkerFinished(); }, 10000));
    EXPECT_EQ(support::readFile(b + "\\x.txt"), "x");

    // Second: one existing folder, skipped at once; its option does not outlive it.
    window.clear();
    copy = text;
    step = startDefinition(context, &copy[offset], window.handle());
    ASSERT_GT(step, 0);
    offset += static_cast<std::size_t>(step);
    EXPECT_FALSE(context.worker().registered());
    EXPECT_TRUE(context.pass().withSubfolders);
    EXPECT_TRUE(context.pass().folders.empty());
    ASSERT_TRUE(support::pumpMessagesUntil([&] { return received(window, 0); }, 10000));

    // Third, then the end of the text.
    window.clear();
    copy = text;
    step = startDefinition(context, &copy[offset], window.handle());
    ASSERT_GT(step, 0);
    offset += static_cast<std::size_t>(step);
    ASSERT_TRUE(support::pumpMessagesUntil([&] { return received(window, 1); }, 30000));
    ASSERT_TRUE(
        support::pumpMessagesUntil([&] { return context.worker().waitWorkerFinished(); }, 10000));
    copy = text;
    EXPECT_EQ(startDefinition(context, &copy[offset], window.handle()), 0);
    EXPECT_EQ(offset, text.size());
}

TEST(RunContextTest, DestroyingItDuringABigCopyEndsThePassPromptlyAndCleanly) {
    support::TempFolder temp;
    const std::string a = temp.folder("A");
    const std::string b = temp.folder("B");
    temp.file("B\\big.bin", "the old file", T - 1);
    // Eight gigabytes whose blocks are never written.
    ASSERT_TRUE(support::makeSparseFile(a + "\\big.bin", 8ull << 30));
    ASSERT_TRUE(support::setWriteTime(a + "\\big.bin", T));

    support::ReportWindow window;
    auto context = std::make_unique<RunContext>();
    context->pass().reportWindow = window.handle();
    context->pass().folders.append(a);
    context->pass().folders.append(b);
    context->pass().folderCount = 2;
    ASSERT_TRUE(context->startMirrorWorker());
    const bool copying = support::pumpMessagesUntil(
        [&] {
            for (const std::string& name : support::listFolder(b)) {
                if (isTemporaryFileName(name.c_str())) {
                    return true;
                }
            }
            return false;
        },
        60000);
    ASSERT_TRUE(copying);

    // As at a forced quit: the run context goes while the pass is copying.
    const DWORD start = GetTickCount();
    context.reset();
    const DWORD took = GetTickCount() - start;

    EXPECT_LT(took, 3000u) << "the worker had to be terminated";
    // The worker ran to its end on its own: its last act is the posted end message.
    EXPECT_TRUE(support::pumpMessagesUntil([&] { return received(window, 1); }, 5000));
    ASSERT_EQ(support::fileSize(b + "\\big.bin"), 12u);
    EXPECT_EQ(support::readFile(b + "\\big.bin"), "the old file");
    EXPECT_EQ(support::listFolder(b), std::vector<std::string>{"big.bin"});
}

// However long the worker is held in one call (here its message to a window whose thread
// is busy, as a flush or a shell deletion would hold it), destroying the run context waits
// for it: the worker is never terminated, so it reaches its end and posts it, and no thread
// of the pass is left behind.
TEST(RunContextTest, DestroyingItWaitsForAWorkerHeldInALongCall) {
    support::TempFolder temp;
    const std::string a = temp.folder("A");
    const std::string b = temp.folder("B");
    for (int i = 0; i < 20; ++i) {
        temp.file("A\\f" + std::to_string(i) + ".txt", "new", T);
    }

    // The report window lives on a thread of its own, which the test keeps busy.
    std::atomic<bool> holdWindow{true};
    std::atomic<bool> held{false};
    std::atomic<bool> ended{false};
    std::atomic<bool> quit{false};
    std::atomic<HWND> windowHandle{nullptr};
    std::thread windowThread([&] {
        support::ReportWindow window;
        window.onMessage([&](const support::ReportedMessage& message) {
            if (message.message == kMsgCopying && holdWindow.exchange(false)) {
                held = true;
                Sleep(4000);
            }
            if (message.message == kMsgNextDefinition) {
                ended = true;
            }
        });
        windowHandle = window.handle();
        support::pumpMessagesUntil([&] { return quit.load(); }, 120000);
    });
    ASSERT_TRUE(support::pumpMessagesUntil([&] { return windowHandle.load() != nullptr; }, 10000));

    auto context = std::make_unique<RunContext>();
    context->pass().reportWindow = windowHandle.load();
    context->pass().folders.append(a);
    context->pass().folders.append(b);
    context->pass().folderCount = 2;
    ASSERT_TRUE(context->startMirrorWorker());
    ASSERT_TRUE(support::pumpMessagesUntil([&] { return held.load(); }, 60000));

    const DWORD start = GetTickCount();
    context.reset();
    const DWORD took = GetTickCount() - start;

    // The worker went on to its end after the call and posted it.
    EXPECT_GE(took, 2000u) << "the worker was not waited for";
    EXPECT_TRUE(support::pumpMessagesUntil([&] { return ended.load(); }, 10000))
        << "the worker was terminated";
    quit = true;
    windowThread.join();
    // Nothing half done: every file in B is whole.
    for (const std::string& name : support::listFolder(b)) {
        EXPECT_FALSE(isTemporaryFileName(name.c_str())) << name;
        EXPECT_EQ(support::readFile(b + "\\" + name), "new") << name;
    }
}

} // namespace

// A forced quit asks the worker to stop and waits for it while serving its messages, as the
// run does. In every phase the worker must reach a stop check and end on its own promptly.
TEST(RunContextTest, AStopRequestInEveryPhaseEndsTheWorkerOnItsOwn) {
    struct Phase {
        const char* name;
        // Linux commands that fill the master {0} and the target {1}.
        const char* tree;
        // When the stop comes: at the first message of this kind, or (0) at a first
        // leftover gone from the target, or (WM_NULL) shortly after the start.
        UINT stopAt;
    };
    const std::vector<Phase> phases = {
        {"walks",
         "cd {0} && seq -f d%g 300 | xargs mkdir && for d in d*; do "
         "(cd $d && seq -f f%g.txt 300 | xargs touch); done",
         WM_NULL},
        {"leftover copies",
         "touch {0}/x.txt && cd {1} && for i in $(seq 0 2999); do "
         "printf '~SCV%04X.TMP\\n' $i; done | xargs touch",
         0},
        // The target's files years older than the master's one, so that the master is
        // the folder with one file and the target has 3,000 deletions ahead: with the two
        // trees tied, the fuller target became the master and the pass went from its one
        // deletion straight to copying, racing the stop.
        {"deletions",
         "cd {1} && seq -f f%g.txt 3000 | xargs touch -d 2020-01-01 && touch {0}/x.txt",
         kMsgDeleting},
    };
    for (const Phase& phase : phases) {
        SCOPED_TRACE(phase.name);
        support::TempFolder temp;
        const std::string a = temp.folder("A");
        const std::string b = temp.folder("B");
        ASSERT_TRUE(support::unixCommandSucceeds(phase.tree, {a, b}));
        const std::size_t targetEntries = support::listFolder(b).size();

        support::ReportWindow window;
        RunContext context;
        context.pass().reportWindow = window.handle();
        context.pass().folders.append(a);
        context.pass().folders.append(b);
        context.pass().folderCount = 2;
        ASSERT_TRUE(context.startMirrorWorker());
        const auto seen = [&](UINT kind) {
            for (const support::ReportedMessage& message : window.messages()) {
                if (message.message == kind) {
                    return true;
                }
            }
            return false;
        };
        if (phase.stopAt == WM_NULL) {
            support::pumpMessagesUntil([] { return false; }, 300);
        } else if (phase.stopAt == 0) {
            ASSERT_TRUE(support::pumpMessagesUntil(
                [&] { return support::listFolder(b).size() < targetEntries; }, 60000));
        } else {
            ASSERT_TRUE(support::pumpMessagesUntil([&] { return seen(phase.stopAt); }, 60000));
        }

        const DWORD start = GetTickCount();
        context.worker().requestStop();
        const bool ended = context.worker().join(3000, true);
        const DWORD took = GetTickCount() - start;

        EXPECT_TRUE(ended) << "the worker would have been terminated";
        EXPECT_LT(took, 3000u);
        // Its last act, which a terminated worker never reaches.
        EXPECT_TRUE(support::pumpMessagesUntil([&] { return received(window, 1); }, 5000));
        if (phase.stopAt != kMsgDeleting) {
            EXPECT_FALSE(seen(kMsgMasterFolder)) << "the stop came after the walks";
        }
        // Far from everything was done.
        if (phase.stopAt != WM_NULL) {
            EXPECT_GT(support::listFolder(b).size(), targetEntries / 2);
        }
        EXPECT_FALSE(seen(kMsgCopying));
    }
}
