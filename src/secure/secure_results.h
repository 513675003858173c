#pragma once

// Result codes of a secure operation, passed on unchanged by the secure-operation window.
namespace secure {
constexpr int kResultNone = 0;            // protect with no folder; or nothing read yet
constexpr int kResultDone = 1;            // the operation ran to its end
constexpr int kResultNoUsableKey = 2;     // empty key, key file missing, or "<" / ">" in it
constexpr int kResultWrongKey = 3;        // release: wrong key, key file gone, no key record
constexpr int kResultOtherDrive = 4;      // protect: a folder not on the store's drive
constexpr int kResultShortPath = 5;       // protect: a drive root, or the program's own folder
                                          // or one that holds it
constexpr int kResultAlreadySet = 6;      // protect: the index exists, the area is set
constexpr int kResultIndexNotWritten = 7; // protect: the index cannot be created or written
constexpr int kResultNotAllProtected = 8; // protect: some files could not be moved and stay open
constexpr int kResultNoIndex = 9;         // release: no index, or one a protect cut short
                                          // before it held a key (the area is not set)
constexpr int kResultNotAllRestored = 10; // release: records of stored files remain in the index
constexpr int kResultFilesMissing = 11;   // release: stored files found neither in the store nor
                                          // at their places
constexpr int kResultIndexUnreadable = 12;  // the index is there but cannot be read (busy, denied)
constexpr int kResultIndexPlain = 13;       // protect: the index could not be scrambled; the key
                                            // stands in it in plain text
constexpr int kResultNotesLeft = 14;        // release: notes that were changed or could not be
                                            // deleted stay where they are
constexpr int kResultIndexNotRemoved = 15;  // release: the index could not be deleted or rewritten
constexpr int kResultDamagedIndexKept = 16; // release: records that could not be read; the index
                                            // was put aside with the date, their files stay

// The key-record probe's answers.
constexpr int kProbeNoKey = 0;
constexpr int kProbeKeyFile = 1;
constexpr int kProbeKeyWord = 2;
constexpr int kProbeUnreadable = 3; // an index stands there but cannot be read
} // namespace secure
