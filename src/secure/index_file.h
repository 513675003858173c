#pragma once

#include <string>

// The index as the readers take it from disk. A protect writes it record by record while
// it moves the files, so a protect cut short (a crash, a kill, a power cut) leaves an index
// whose root element is not closed; every record in it was complete on disk before its
// file moved, so the complete ones are exactly the files that may have moved.

// Reads the index into memory, restored from its container form when `scrambled` is on and
// the file is a container (a plain index is taken as it is). The file on disk is never
// changed. False when it cannot be read.
bool readIndexText(const std::string& indexPath, bool scrambled, std::string& text);

// The text as a complete index: an index whose root element is not closed keeps every
// complete line up to the cut, loses a file record that the cut left open, and gets its
// root end tag. Any other text is returned as it is.
std::string completeIndexText(const std::string& text);

// Whether the text is an index a protect created and was cut short in before it wrote a
// key: empty, or the first lines of an index up to an unfinished key line. Such an index
// locks nothing, so the area counts as not set. Garbage and foreign files never count.
bool indexNeverSet(const std::string& text);
