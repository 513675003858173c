#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "run/run_sequence.h"
#include "support/files.h"
#include "support/report_window.h"
#include "support/temp_folder.h"
#include "sync/messages.h"

namespace {

using support::fileTimeUtc;

const FileTime T = fileTimeUtc(2024, 6, 1, 12, 0, 0);

// The wParam of the next end of a definition the window receives after the first `seen`;
// -1 when none comes.
int nextEnd(const support::ReportWindow& window, std::size_t& seen) {
    int wParam = -1;
    support::pumpMessagesUntil(
        [&] {
            std::size_t ends = 0;
            for (const support::ReportedMessage& message : window.messages()) {
                if (message.message == kMsgNextDefinition && ends++ == seen) {
                    wParam = static_cast<int>(message.wParam);
                }
            }
            return wParam >= 0;
        },
        30000);
    ++seen;
    return wParam;
}

TEST(RunSequenceTest, DefinitionsOneAfterAnotherWithTheirProgress) {
    support::TempFolder temp;
    const std::string a = temp.folder("ソA");
    const std::vector<std::string> targets = {temp.folder("表B"), temp.folder("D"),
                                              temp.folder("E"), temp.at("C")};
    const std::string& late = targets.back(); // made only after the run has counted
    temp.file("ソA\\x.txt", "x", T);
    std::string text = "Sync." + a + "\r\nSync." + targets[0] + "\r\n\r\n" +      // a pass
                       "Sync." + a + "\r\nSync." + temp.at("無い") + "\r\n\r\n" + // skipped
                       "Sync." + a + "\r\nSync." + targets[1] + "\r\n\r\n" +      // a pass
                       "Sync." + a + "\r\nSync." + targets[2] + "\r\n\r\n" +      // a pass
                       "Sync." + a + "\r\nSync." + late + "\r\n";                 // uncounted

    support::ReportWindow window;
    RunSequence run;
    ASSERT_TRUE(run.context().created());
    ASSERT_TRUE(run.begin(text, window.handle()));
    text.clear(); // the run reads its own copy

    std::vector<int> ends;
    std::vector<int> progress;
    std::size_t seen = 0;
    bool more = true;
    while (more && ends.size() < 8) {
        const int end = nextEnd(window, seen);
        ends.push_back(end);
        ASSERT_GE(end, 0) << "no end of definition " << ends.size();
        run.definitionEnded(static_cast<WPARAM>(end));
        EXPECT_FALSE(run.context().worker().registered()); // collected
        if (end == 1) {
            progress.push_back(run.progressPercent());
        }
        if (ends.size() == 4) {
            ASSERT_TRUE(support::makeFolders(late));
        }
        more = run.loadNextDefinition();
    }
    EXPECT_EQ(ends, (std::vector<int>{1, 0, 1, 1, 1}));
    // Three definitions counted at the start: a skipped one is no pass, and a fourth pass
    // does not run past the end.
    EXPECT_EQ(progress, (std::vector<int>{33, 66, 100, 100}));
    EXPECT_FALSE(run.loadNextDefinition());

    // The skipped definition is named by the folder it lacks, before everything else.
    EXPECT_EQ(run.unsyncedDefinitions(), 1);
    std::string expected = "【未同期】" + temp.at("無い") + "\r\n";
    for (std::size_t i = 0; i < targets.size(); ++i) {
        expected += "【最新更新ファイル】" + a + "\\x.txt\r\n";
    }
    for (const std::string& target : targets) {
        EXPECT_EQ(support::readFile(target + "\\x.txt"), "x") << support::utf8(target);
        expected += "【コピー】" + target + "\\x.txt\r\n";
    }
    std::string log;
    EXPECT_TRUE(run.takeLogText(log));
    EXPECT_EQ(log, expected);
}

TEST(RunSequenceTest, ATextWithoutADefinitionStartsNothing) {
    support::TempFolder temp;
    support::ReportWindow window;
    RunSequence run;
    EXPECT_FALSE(
        run.begin("sync is not a keyword here\r\n" + temp.path() + "\r\n", window.handle()));
    EXPECT_FALSE(run.context().worker().registered());
    EXPECT_FALSE(run.loadNextDefinition());
    // A skip would be posted: nothing comes however long the window waits.
    support::pumpMessagesUntil([] { return false; }, 300);
    EXPECT_TRUE(window.messages().empty());
    std::string log = "unchanged";
    EXPECT_FALSE(run.takeLogText(log));
    EXPECT_EQ(log, "");
}

} // namespace
