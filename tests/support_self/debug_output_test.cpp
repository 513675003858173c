#include <gtest/gtest.h>

#include <windows.h>

#include <thread>

#include "support/debug_output.h"

namespace {

TEST(DebugOutputCaptureTest, CollectsTheTextsOfThisProcessInOrder) {
    OutputDebugStringA("before the capture\r\n");
    support::DebugOutputCapture capture;
    ASSERT_TRUE(capture.active());
    OutputDebugStringA("D:\\ソ\\表.txt - 削除\r\n");
    std::thread other([] { OutputDebugStringA("from a worker\r\n"); });
    other.join();
    EXPECT_EQ(capture.take(), "D:\\ソ\\表.txt - 削除\r\nfrom a worker\r\n");
    EXPECT_EQ(capture.take(), "");
    OutputDebugStringA("after");
    EXPECT_EQ(capture.take(), "after");
}

} // namespace
