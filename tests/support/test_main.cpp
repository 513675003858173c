#include <windows.h>

#include <cstdio>

#include <gtest/gtest.h>

#include "support/recycle_bin.h"

// Every test runs in the code page of the product's users; in any other a Japanese name
// would test nothing.
int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    if (GetACP() != 932) {
        std::fprintf(stderr, "the ANSI code page is %u, not 932: run the tests through the "
                             "project's Wine launcher\n",
                     GetACP());
        return 1;
    }
    if (!support::RecycleBin::available()) {
        std::fprintf(stderr, "no recycle bin in the test environment: deletions would be "
                             "final\n");
        return 1;
    }
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    return RUN_ALL_TESTS();
}
