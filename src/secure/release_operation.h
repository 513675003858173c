#pragma once

#include <string>

#include "secure/index_file.h"
#include "secure/secure_operation.h"

// Which key the index text records: secure::kProbeKeyFile, kProbeKeyWord or kProbeNoKey.
// An index cut short counts with the records it holds.
int keyRecordOf(const std::string& indexText);

// Whether a record's values may be acted on. The stored name must be "\" + "Vaultrowan" +
// five or more digits (not the index's own number) + ".exe"; the place must be a path on
// the drive, starting at its root, without "." or ".." parts, wildcards, stream or other
// drive marks, shorter than MAX_PATH with the drive. A damaged or forged index reaches
// nothing outside the store and the drive this way.
bool isStoredNameValue(const std::string& value);
bool isPlaceValue(const std::string& drive, const std::string& value);

// Checks the request's key against the index, deletes the notes and moves every stored
// file back (worker thread). The outcome counts the file records and carries the result
// code (10 only when records of files left in the store remain in the index) and, once the
// key matched, the key the index records.
SecureOutcome releaseFolders(const SecureRequest& request);
