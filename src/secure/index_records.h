#pragma once

#include <windows.h>

#include <string>

// The records of the index, as the protect writes them and the release reads them. What a
// valid record is, is decided here once: the protect writes no record that the release
// would refuse, so every file that goes into the store comes back.

// One file in the store: where it came from and under which name it is kept.
struct FileRecord {
    std::string place;  // the file's path without its drive ("\Doc\a.txt")
    std::string stored; // its name in the store folder with a leading "\"
    DWORD attributes = 0;

    bool operator==(const FileRecord& other) const {
        return place == other.place && stored == other.stored && attributes == other.attributes;
    }
};

// The five lines of a file record, and the line of a note record.
std::string fileRecordText(const FileRecord& record);
std::string noteRecordText(const std::string& notePlace);

// The values of a record from its text (its start tag up to where the record ends: its end
// tag, the next record's start or the end of the index), each checked as the release acts
// on it. A value runs to its end tag or to the end of its line, so one lost tag loses
// nothing. False when a value is missing, given twice, or out of bounds: such a record
// could reach outside the store or put back the wrong file.
bool readFileRecord(const std::string& drive, const std::string& text, FileRecord& record);
bool readNoteRecord(const std::string& drive, const std::string& text, std::string& notePlace);

// Whether the record, written into the index, reads back exactly as it is.
bool recordReadsBack(const std::string& drive, const FileRecord& record);
bool noteReadsBack(const std::string& drive, const std::string& notePlace);

// The value of the first element of that name in the text, as above; `count` is how many
// elements of that name the text holds. False when there is none.
bool readElementValue(const std::string& text, const std::string& name, std::string& value,
                      unsigned& count);

// The stored name must be "\" + "Vaultrowan" + five or more digits (not the index's own
// number) + ".exe"; the place must be a path on the drive, starting at its root, without
// "." or ".." parts, wildcards, stream or other drive marks or characters no name holds,
// shorter than MAX_PATH with the drive. A damaged or forged index reaches nothing outside
// the store and the drive this way.
bool isStoredNameValue(const std::string& value);
bool isPlaceValue(const std::string& drive, const std::string& value);
