#pragma once

#include <windows.h>

#include <string>

// The note a protect leaves in a folder it emptied (hide switch off): a file of the
// program's, named and filled as the store layout says. It is the program's only while it
// holds exactly what was written; a note the user changed is the user's file.

// Writes the note whole or not at all: through a temporary beside it, which then takes the
// note's name, never replacing a file that stands there. False when it could not be
// written; nothing of it is left then.
bool writeNoteFile(const std::string& notePath);

// Whether the file holds exactly what a note holds.
bool isProgramNote(const std::string& path);

// The temporary a note is written through, and whether the file at the path is one that a
// write cut short left: it bears that name and holds the start of a note's content.
std::string noteTemporaryOf(const std::string& notePath);
bool isLeftoverNoteTemporary(const std::string& path);

enum class NoteRemoval {
    Removed, // deleted, or not there at all
    Changed, // it no longer holds what the note held: it is left
    Kept,    // it could not be deleted
};

// Deletes the note (and a temporary a cut write left beside it) when it is still the
// program's; waits a few seconds for another program's hold. `error` is the platform's
// error when it could not be deleted.
NoteRemoval removeNoteFile(const std::string& notePath, DWORD& error);
