#include "secure/release_operation.h"

#include <windows.h>

#include <cstdio>

#include "base/file_system.h"
#include "base/path.h"
#include "secure/file_attributes.h"
#include "secure/index_container.h"
#include "secure/index_tags.h"
#include "secure/note_file.h"
#include "secure/secure_messages.h"
#include "secure/store_layout.h"

namespace {

// Creates the missing folders a file goes back into; false when its folder was there.
// Folders that a protect with the hide switch on removed come back this way.
bool makeFolderOf(const std::string& file) {
    const std::string folder = path::folderPart(file);
    if (folder.empty() || folderExists(folder)) {
        return false;
    }
    createFolderPath(folder);
    return true;
}

enum class Restore {
    Done,    // the file is back at its place
    Kept,    // the stored file stays in the store; its record must be kept
    Missing, // the file is neither in the store nor at its place
};

// Moves one stored file back and gives it its attributes again. The folder is looked for
// only when the move fails, so a release costs one move per file, and no folder is made
// for a stored file that is not there.
Restore restoreRecord(const std::string& source, const std::string& destination, DWORD attributes) {
    bool moved = MoveFileA(source.c_str(), destination.c_str()) != FALSE;
    if (!moved && entryExists(source) && makeFolderOf(destination)) {
        moved = MoveFileA(source.c_str(), destination.c_str()) != FALSE;
    }
    if (moved) {
        restoreFileAttributes(destination, attributes);
        return Restore::Done;
    }
    // Something now stands at the file's place, or its folder cannot be made: the stored
    // file waits for a later release, and whatever stands there is not touched.
    if (entryExists(source)) {
        return Restore::Kept;
    }
    // The stored file is not there. With a file at its place it never moved (a protect
    // cut short after writing its record) or an earlier release cut short moved it back
    // already; the attributes are the recorded ones in either case.
    if (entryExists(destination)) {
        restoreFileAttributes(destination, attributes);
        return Restore::Done;
    }
    return Restore::Missing;
}

// A name beside the store for an index that must be kept: the index's own name with the
// date and time, and a count when that is taken already.
std::string asideName(const std::string& storeRoot) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "-%04u%02u%02u-%02u%02u%02u", now.wYear, now.wMonth,
                  now.wDay, now.wHour, now.wMinute, now.wSecond);
    const std::string stem =
        storeRoot + "\\" + store::kIndexName.substr(0, store::kIndexName.size() - 4) + stamp;
    std::string name = stem + store::kStoredSuffix;
    for (int count = 2; entryExists(name); ++count) {
        name = stem + "-" + std::to_string(count) + store::kStoredSuffix;
    }
    return name;
}

bool deleteIndex(const std::string& indexPath) {
    return retryWhileHeld(
        [&] {
            if (DeleteFileA(indexPath.c_str())) {
                return true;
            }
            const DWORD error = GetLastError();
            SetFileAttributesA(indexPath.c_str(), FILE_ATTRIBUTE_NORMAL);
            SetLastError(error);
            return DeleteFileA(indexPath.c_str()) != FALSE;
        },
        kHeldFileWaitMs);
}

// The result that tells the most urgent thing: first whether the area is still set, then
// what the user lost track of.
int resultOf(const SecureOutcome& outcome, bool indexLeftAsItWas, bool recordsKept) {
    if (indexLeftAsItWas) {
        return secure::kResultIndexNotRemoved;
    }
    if (recordsKept) {
        return secure::kResultNotAllRestored;
    }
    if (outcome.unreadableRecords > 0) {
        return secure::kResultDamagedIndexKept;
    }
    if (!outcome.missing.empty()) {
        return secure::kResultFilesMissing;
    }
    if (!outcome.notesLeft.empty()) {
        return secure::kResultNotesLeft;
    }
    return secure::kResultDone;
}

} // namespace

int keyRecordOf(const std::string& indexText) {
    const IndexParts parts = indexPartsOf(completeIndexText(indexText));
    if (parts.keyElement == indexname::kKeyFile) {
        return secure::kProbeKeyFile;
    }
    if (parts.keyElement == indexname::kKeyWord) {
        return secure::kProbeKeyWord;
    }
    return secure::kProbeNoKey;
}

SecureOutcome releaseFolders(const SecureRequest& request) {
    const std::string& storeFolder = request.storeFolder;
    SecureOutcome outcome;
    const std::string drive = storeFolder.substr(0, 2);
    const std::string indexPath = storeFolder + "\\" + store::kIndexName;

    // The key is checked on a restored copy in memory: after a wrong key the index on
    // disk is still in its container form.
    std::string text;
    switch (readIndexText(indexPath, request.indexScrambling, text, outcome.systemError)) {
    case IndexRead::Missing:
        outcome.systemError = 0;
        outcome.resultCode = secure::kResultNoIndex;
        return outcome;
    case IndexRead::Unreadable:
        outcome.resultCode = secure::kResultIndexUnreadable;
        return outcome;
    case IndexRead::Read:
        break;
    }
    if (indexNeverSet(text)) {
        outcome.resultCode = secure::kResultNoIndex;
        return outcome;
    }
    const IndexParts parts = indexPartsOf(completeIndexText(text));
    if (parts.keyElement.empty() ||
        (parts.keyElement == indexname::kKeyFile && !fileExists(parts.key)) ||
        (parts.keyElement == indexname::kKeyWord && parts.key != request.key)) {
        outcome.resultCode = secure::kResultWrongKey;
        return outcome;
    }
    outcome.key = parts.key;

    const unsigned notes = static_cast<unsigned>(parts.notes.size());
    const unsigned files = static_cast<unsigned>(parts.files.size());
    const LPARAM items = static_cast<LPARAM>(files) + static_cast<LPARAM>(notes);

    // The notes go first, while the index still names every stored file: a file of the
    // user's that bore the note's name comes back to a free place, and a release cut
    // short leaves no note that a later release would not know of.
    for (unsigned j = 0; j < notes; ++j) {
        std::string place;
        if (readNoteRecord(drive, parts.notes[j], place)) {
            DWORD error = 0;
            if (removeNoteFile(drive + place, error) != NoteRemoval::Removed) {
                outcome.notesLeft.push_back(drive + place);
                if (error != 0) {
                    outcome.systemError = error;
                }
            }
        }
        postProgress(request, kMsgReleaseProgress, j + 1, items);
    }

    // Records of files that stay in the store, as the protect wrote them.
    std::string keptRecords;
    unsigned long movedBack = 0;
    for (unsigned i = 0; i < files; ++i) {
        FileRecord record;
        if (readFileRecord(drive, parts.files[i], record)) {
            passPoint(request, SecurePoint::BeforeMoveBack, movedBack);
            switch (restoreRecord(storeFolder + record.stored, drive + record.place,
                                  record.attributes)) {
            case Restore::Done:
                ++movedBack;
                break;
            case Restore::Kept:
                keptRecords += fileRecordText(record);
                ++outcome.keptInStore;
                break;
            case Restore::Missing:
                outcome.missing.push_back(drive + record.place);
                break;
            }
        } else {
            // Acting on a record that cannot be read could reach outside the store, and
            // guessing would restore the wrong file: its file stays where it is.
            ++outcome.unreadableRecords;
        }
        postProgress(request, kMsgReleaseProgress, notes + i + 1, items);
    }
    outcome.unreadableRecords += parts.unreadable;
    passPoint(request, SecurePoint::BeforeIndexGoes, movedBack);

    // The index goes once nothing is left that it alone names. Records that could not be
    // read keep the whole index, put aside under a dated name so that the area can be set
    // again; records of files that could not go back yet are written into a new index
    // under the same key, so that a later release tries them again.
    bool indexLeftAsItWas = false;
    if (outcome.unreadableRecords > 0) {
        const std::string aside = asideName(path::folderPart(storeFolder));
        if (retryWhileHeld([&] { return MoveFileA(indexPath.c_str(), aside.c_str()) != FALSE; },
                           kHeldFileWaitMs)) {
            outcome.indexAside = aside;
        } else {
            outcome.systemError = GetLastError();
            indexLeftAsItWas = true;
        }
    }
    if (!indexLeftAsItWas && !keptRecords.empty()) {
        const std::string rewritten = kIndexHeaderLine + indextag::startLine(indexname::kRoot) +
                                      indextag::valueLine(parts.keyElement, parts.key) +
                                      keptRecords + indextag::endLine(indexname::kRoot);
        if (replaceFileContent(indexPath,
                               request.indexScrambling ? scrambleBytes(rewritten) : rewritten)) {
            SetFileAttributesA(indexPath.c_str(), FILE_ATTRIBUTE_HIDDEN);
        } else {
            outcome.systemError = GetLastError();
            indexLeftAsItWas = true;
        }
    } else if (!indexLeftAsItWas && outcome.unreadableRecords == 0) {
        if (!deleteIndex(indexPath)) {
            outcome.systemError = GetLastError();
            indexLeftAsItWas = true;
        }
    }
    if (!indexLeftAsItWas) {
        // A protect cut short while it scrambled the index leaves the plain copy beside it.
        DeleteFileA((indexPath + kTemporarySuffix).c_str());
    }

    outcome.resultCode = resultOf(outcome, indexLeftAsItWas, !keptRecords.empty());
    outcome.files = files;
    return outcome;
}
