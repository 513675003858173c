#pragma once

#include "sync/pass_context.h"

// Makes every folder of the loaded definition equal to its master folder: the one holding
// the newest file (on an exact tie, the one with most entries). Entries the master lacks go
// to the recycle bin, files missing or older (in whole units of 4 seconds) are copied from
// the master. Reports to the context's report window (the master folder, each deletion and
// each copy, all sent) and records the newest file and every outcome in the context's
// lists. Runs on the worker thread; ends early, between file operations, on a stop
// request of the context.
void runMirrorPass(PassContext& context);
