#pragma once

#include <string>

#include "base/string_list.h"
#include "sync/pass_context.h"

// A definition that a run does not mirror, because fewer than two of its folders exist (the
// stick not plugged in, a typing error), is named instead of passed over: its lines go to
// the context's unsynced list, which opens the log, and to the report window as the run
// goes (kMsgUnsynced).

// Records a line on a folder line that cannot be used, and shows it.
void recordUnsynced(PassContext& context, const std::string& line);

// After a loading parse of a definition with `folderCount` existing folders (`folders`):
// when it has folder lines but fewer than two existing folders, records "【未同期】" + each
// folder line that named no existing folder, as written, or, when it names nothing but one
// existing folder, that folder with a note; counts the definition among the run's unsynced
// ones and returns true. A definition of only "Sync.Run." lines has nothing to mirror and
// is not named.
bool reportUnsyncedDefinition(PassContext& context, int folderCount, const StringList& folders);
