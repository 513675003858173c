#pragma once

#include <string>

#include "secure/index_file.h"
#include "secure/index_records.h"
#include "secure/secure_operation.h"

// Which key the index text records: secure::kProbeKeyFile, kProbeKeyWord or kProbeNoKey.
// An index cut short counts with the records it holds.
int keyRecordOf(const std::string& indexText);

// Checks the request's key against the index, deletes the notes and moves every stored
// file back (worker thread). The outcome counts the file records and carries the result
// code and, once the key matched, the key the index records. Nothing in the store is left
// without a record that names it: records of files that cannot go back yet are written
// back into the index, and an index with records that cannot be read is put aside whole.
SecureOutcome releaseFolders(const SecureRequest& request);
