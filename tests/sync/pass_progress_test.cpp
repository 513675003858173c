#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "support/files.h"
#include "support/temp_folder.h"
#include "sync/messages.h"
#include "sync/mirror_fixture.h"
#include "sync/pass_progress.h"

namespace {

using namespace mirror_fixture;
using support::fileTimeUtc;

std::size_t stepMessages(const PassResult& result) {
    std::size_t count = 0;
    for (const support::ReportedMessage& message : result.messages) {
        if (message.message == kMsgDeleting || message.message == kMsgCopying) {
            ++count;
        }
    }
    return count;
}

// What a pass plans after its walks is what it then does: as many steps as it reports, and
// as many bytes as its copies write. Otherwise a bar stops short of its end or runs past it.
TEST(PassProgressTest, ThePlanIsWhatThePassDoes) {
    std::uint64_t steps = 0;
    for (unsigned seed = 1; seed <= 12; ++seed) {
        SCOPED_TRACE(seed);
        support::TempFolder temp;
        support::TempFolder other(support::kDriveE);
        const std::vector<std::string> roots = {temp.at("甲"), other.at("乙"), temp.at("丙")};
        const std::vector<std::vector<Item>> trees = randomTrees(seed, roots.size());
        for (std::size_t i = 0; i < roots.size(); ++i) {
            makeTree(roots[i], trees[i]);
        }
        PassProgress progress;
        PassSetup setup;
        setup.progress = &progress;
        const PassResult result = runPass(roots, seed % 4 != 0, setup);
        const PassProgress::Figures figures = progress.read();
        ASSERT_TRUE(figures.planned);
        EXPECT_EQ(figures.step, figures.steps);
        EXPECT_EQ(figures.written, figures.bytes);
        EXPECT_EQ(stepMessages(result), figures.step);
        steps += figures.steps;
    }
    EXPECT_GT(steps, 50u); // the trees differ enough to plan something
}

TEST(PassProgressTest, AKnownPlan) {
    const FileTime old = fileTimeUtc(2024, 1, 1, 9, 0, 0);
    const FileTime newer = fileTimeUtc(2024, 1, 1, 10, 0, 0);
    support::TempFolder temp;
    const std::string hundred(100, 'a');
    const std::string big(3000, 'b');
    temp.file("M\\a.txt", hundred.c_str(), newer);
    temp.file("M\\ソ\\b.bin", big.c_str(), old);
    temp.file("M\\c.txt", "same", old);
    temp.file("T\\a.txt", "older", old);
    temp.file("T\\c.txt", "same", old);
    temp.file("T\\x.txt", "extra", old);
    temp.file("T\\y\\z.txt", "extra below", old);

    PassProgress progress;
    PassSetup setup;
    setup.progress = &progress;
    // Deletions: x.txt, y and y\z.txt. Copies: a.txt, the folder ソ and ソ\b.bin.
    runPass({temp.at("M"), temp.at("T")}, true, setup);
    const PassProgress::Figures figures = progress.read();
    EXPECT_TRUE(figures.planned);
    EXPECT_EQ(figures.steps, 6u);
    EXPECT_EQ(figures.bytes, 3100u);
    EXPECT_EQ(figures.step, 6u);
    EXPECT_EQ(figures.written, 3100u);
    EXPECT_EQ(figures.fileWritten, figures.fileSize);

    progress.reset();
    EXPECT_FALSE(progress.read().planned);
    EXPECT_EQ(passShare(progress.read()), 0.0);
}

TEST(PassProgressTest, ShareWeighsStepsAndBytes) {
    constexpr std::uint64_t W = kStepWeightBytes;
    struct Case {
        const char* name;
        bool planned;
        std::uint64_t steps, step, bytes, written;
        double share;
    } const cases[] = {
        {"nothing planned yet", false, 10, 3, 0, 0, 0.0},
        {"a plan of nothing is done", true, 0, 0, 0, 0, 1.0},
        {"before the first step", true, 4, 0, 0, 0, 0.0},
        {"in the first step", true, 4, 1, 0, 0, 0.0},
        {"in the third of four", true, 4, 3, 0, 0, 0.5},
        {"half of one large file", true, 1, 1, 2 * W, W, 1.0 / 3.0},
        {"more than planned", true, 2, 5, 0, 0, 1.0},
    };
    for (const Case& c : cases) {
        PassProgress::Figures figures;
        figures.planned = c.planned;
        figures.steps = c.steps;
        figures.step = c.step;
        figures.bytes = c.bytes;
        figures.written = c.written;
        EXPECT_DOUBLE_EQ(passShare(figures), c.share) << c.name;
    }
}

} // namespace
