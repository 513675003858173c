#include <gtest/gtest.h>

#include <string>

#include "ui/launch_options.h"

namespace {

TEST(LaunchOptionsTest, AcceptedAndRejectedArguments) {
    struct Case {
        const char* arguments;
        bool accepted;
        bool run, quiet;
        const char* rejected;
    } const cases[] = {
        {"", true, false, false, ""},
        {"   ", true, false, false, ""},
        {"/run", true, true, false, ""},
        {"/RUN", true, true, false, ""},
        {"\"/run\"", true, true, false, ""},
        {"/run /quiet", true, true, true, ""},
        {"  /Quiet\t/run ", true, true, true, ""},
        {"/quiet", false, false, false, "/quiet"},
        {"/run /rum", false, false, false, "/rum"},
        {"-run", false, false, false, "-run"},
        {"/run \"D:\\表 ソ.txt\"", false, false, false, "D:\\表 ソ.txt"},
        {"\"\"", false, false, false, ""},
    };
    for (const Case& c : cases) {
        LaunchOptions options;
        options.run = true; // whatever was there before is replaced
        std::string rejected = "before";
        EXPECT_EQ(parseLaunchArguments(c.arguments, options, rejected), c.accepted) << c.arguments;
        EXPECT_EQ(options.run, c.run) << c.arguments;
        EXPECT_EQ(options.quiet, c.quiet) << c.arguments;
        EXPECT_EQ(rejected, c.rejected) << c.arguments;
    }
}

} // namespace
