#pragma once

#include <string>

class SecureContext;

// Reads the index into memory, restored from its container form when `scrambled` is on and
// the file is a container (a plain index is taken as it is). The file on disk is never
// changed. False when it cannot be read.
bool readIndexText(const std::string& indexPath, bool scrambled, std::string& text);

// Which key the index text records: secure::kProbeKeyFile, kProbeKeyWord or kProbeNoKey.
int keyRecordOf(const std::string& indexText);

// Checks the key against the index and moves every stored file back (worker thread).
// Returns the number of file records and sets the context's result code and, once the
// key matched, its key text.
unsigned releaseFolders(SecureContext& context, const std::string& storeFolder,
                        const std::string& key);
