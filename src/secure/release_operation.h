#pragma once

#include <string>

#include "secure/secure_operation.h"

// Reads the index into memory, restored from its container form when `scrambled` is on and
// the file is a container (a plain index is taken as it is). The file on disk is never
// changed. False when it cannot be read.
bool readIndexText(const std::string& indexPath, bool scrambled, std::string& text);

// Which key the index text records: secure::kProbeKeyFile, kProbeKeyWord or kProbeNoKey.
int keyRecordOf(const std::string& indexText);

// Checks the request's key against the index and moves every stored file back (worker
// thread). The outcome counts the file records and carries the result code and, once the
// key matched, the key the index records.
SecureOutcome releaseFolders(const SecureRequest& request);
