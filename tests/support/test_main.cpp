#include <windows.h>

#include <cstdio>

#include <gtest/gtest.h>

#include "support/recycle_bin.h"

namespace {

// Under Wine a crashed program is handed to the debugger, whose exit code is not always an
// error; a crash must fail the test program, so it ends here with a code of its own.
LONG WINAPI endOnCrash(EXCEPTION_POINTERS* exception) {
    const EXCEPTION_RECORD* record = exception->ExceptionRecord;
    std::fflush(stdout);
    std::fprintf(stderr, "\nCRASH: exception 0x%08lx at %p in thread %lu\n",
                 static_cast<unsigned long>(record->ExceptionCode), record->ExceptionAddress,
                 GetCurrentThreadId());
    std::fflush(stderr);
    TerminateProcess(GetCurrentProcess(), 3);
    return EXCEPTION_EXECUTE_HANDLER;
}

} // namespace

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
    SetUnhandledExceptionFilter(&endOnCrash);
    return RUN_ALL_TESTS();
}
