#pragma once

#include <windows.h>

#include <string>
#include <vector>

// The index as the readers take it from disk. A protect writes it record by record while
// it moves the files, so a protect cut short (a crash, a kill, a power cut) leaves an index
// whose root element is not closed; every record in it was complete on disk before its
// file moved, so the complete ones are exactly the files that may have moved.

enum class IndexRead {
    Read,
    Missing,    // no index: the area is not set
    Unreadable, // an index stands there but cannot be read: the area may well be set
};

// Reads the index into memory, restored from its container form when `scrambled` is on and
// the file is a container (a plain index is taken as it is). The file on disk is never
// changed. Others may read the file meanwhile, and one that holds it without sharing is
// waited for a few seconds. `error` is the platform's error when it cannot be read.
IndexRead readIndexText(const std::string& indexPath, bool scrambled, std::string& text,
                        DWORD& error);

// The text as a complete index: an index whose root element is not closed keeps every
// complete line up to the cut, loses a file record that the cut left open, and gets its
// root end tag. Any other text is returned as it is.
std::string completeIndexText(const std::string& text);

// Whether the text is an index a protect created and was cut short in before it wrote a
// key: empty, or the first lines of an index up to an unfinished key line. Such an index
// locks nothing, so the area counts as not set. Garbage and foreign files never count.
bool indexNeverSet(const std::string& text);

// The parts of a complete index: its key and its records, each record's text running from
// its start tag to where the next record starts (or the root ends), so that a lost end tag
// costs nothing. Text between the parts that holds a tag belongs to no record: it counts
// as a part that cannot be read.
struct IndexParts {
    std::string keyElement; // indexname::kKeyFile or kKeyWord; empty without a key
    std::string key;
    std::vector<std::string> files;
    std::vector<std::string> notes;
    unsigned unreadable = 0;
};
IndexParts indexPartsOf(const std::string& completeText);
