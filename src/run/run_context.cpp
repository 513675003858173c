#include "run/run_context.h"

#include "base/string_list.h"
#include "sync/definition_parser.h"
#include "sync/messages.h"
#include "sync/mirror_pass.h"
#include "sync/unsynced_definitions.h"

RunContext::RunContext() : heap_(HeapCreate(0, 0, 0)) {
    pass_.heap = heap_.get();
    pass_.reportIntervalMs = kReportIntervalMs;
    pass_.stop = &worker_.stopFlag();
    pass_.progress = &progress_;
}

// The pass looks at the stop request between two entries of a walk, between file operations
// and every megabyte of a copy; the wait is longer only while one call runs to its end (the
// flush of a big file, the shell's deletion of a big folder).
RunContext::~RunContext() {
    worker_.stopWorker();
}

bool RunContext::startMirrorWorker() {
    progress_.reset();
    definitionFolder_ = pass_.folders.empty() ? std::string() : *pass_.folders.begin();
    return worker_.start(&mirrorWorkerBody, this);
}

DWORD WINAPI mirrorWorkerBody(void* runContext) {
    PassContext& pass = static_cast<RunContext*>(runContext)->pass();
    runMirrorPass(pass);
    pass.folders.clear();
    pass.folderCount = 0;
    pass.withSubfolders = true;
    PostMessageA(pass.reportWindow, kMsgNextDefinition, 1, 0);
    return 0;
}

int startDefinition(RunContext& context, char* text, HWND window) {
    PassContext& pass = context.pass();
    StringList folders;
    int folderCount = 0;
    const int offset = parseSyncBlock(pass, text, window, kParseLoading, folderCount, folders);
    if (offset <= 0) {
        return offset;
    }
    if (folderCount >= 2) {
        pass.folders = std::move(folders);
        pass.folderCount = folderCount;
        if (context.startMirrorWorker()) {
            return offset;
        }
        pass.folders.clear();
        pass.folderCount = 0;
    } else {
        reportUnsyncedDefinition(pass, folderCount, folders);
    }
    pass.withSubfolders = true;
    PostMessageA(window, kMsgNextDefinition, 0, 0);
    return offset;
}
