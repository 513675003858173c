#include <gtest/gtest.h>

#include <string>

#include "support/files.h"
#include "support/temp_folder.h"
#include "support/unix_access.h"

namespace {

// Tests check the Linux side through these answers; an answer that cannot be false would
// make every such check pass.
TEST(UnixAccessTest, ACommandSucceedsOnlyWithExitCodeZeroAndHasEndedByThen) {
    EXPECT_TRUE(support::unixCommandSucceeds("true"));
    EXPECT_FALSE(support::unixCommandSucceeds("false"));
    EXPECT_FALSE(support::unixCommandSucceeds("exit 3"));
    EXPECT_TRUE(support::unixCommandSucceeds("test \"a b\" = 'a b'"));

    support::TempFolder temp;
    const std::string file = temp.at("遅い.txt");
    ASSERT_TRUE(support::unixCommandSucceeds("sleep 0.3 && printf done > '" +
                                             support::unixPathOf(file) + "'"));
    EXPECT_EQ(support::readFile(file), "done");
}

} // namespace
