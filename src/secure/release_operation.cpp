#include "secure/release_operation.h"

#include <windows.h>

#include "base/file_system.h"
#include "base/path.h"
#include "secure/file_attributes.h"
#include "secure/index_container.h"
#include "secure/index_query.h"
#include "secure/index_tags.h"
#include "secure/secure_messages.h"
#include "secure/store_layout.h"

namespace {

const std::string kKeyFilePath = "/vaultrowan/sckeyf";
const std::string kKeyWordPath = "/vaultrowan/sckeyw";
const std::string kNotesPath = "/vaultrowan/notetag";
const std::string kFilesPath = "/vaultrowan/file";

// Attribute bits written as plain decimal digits; blanks around them are allowed.
bool parseAttributes(const std::string& text, DWORD& attributes) {
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) {
        return false;
    }
    const std::size_t last = text.find_last_not_of(' ');
    const std::string digits = text.substr(first, last - first + 1);
    if (digits.size() > 10 || digits.find_first_not_of("0123456789") != std::string::npos) {
        return false;
    }
    unsigned long long value = 0;
    for (char digit : digits) {
        value = value * 10 + static_cast<unsigned>(digit - '0');
    }
    if (value > 0xFFFFFFFFull) {
        return false;
    }
    attributes = static_cast<DWORD>(value);
    return true;
}

// Only the note files themselves are deleted, whatever a damaged record says.
bool isNoteValue(const std::string& drive, const std::string& value) {
    const std::size_t separator = path::lastSeparator(value);
    return separator != std::string::npos && isPlaceValue(drive, value) &&
           value.compare(separator + 1, std::string::npos, store::kNoteName) == 0;
}

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

bool deleteFile(const std::string& path) {
    if (DeleteFileA(path.c_str())) {
        return true;
    }
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_READONLY) == 0) {
        return false;
    }
    SetFileAttributesA(path.c_str(), attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
    return DeleteFileA(path.c_str()) != FALSE;
}

enum class Restore {
    Done,    // the file is back at its place
    Kept,    // the stored file stays in the store; its record must be kept
    Dropped, // nothing in the store to restore
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
    return Restore::Dropped;
}

// A stretch of a name: the digits between the stored-name prefix and suffix.
bool isNumberPart(const std::string& digits) {
    return digits.size() >= 5 && digits.find_first_not_of("0123456789") == std::string::npos &&
           digits.find_first_not_of('0') != std::string::npos; // 00000 is the index itself
}

} // namespace

bool isStoredNameValue(const std::string& value) {
    const std::size_t fixed = 1 + store::kStoredPrefix.size() + store::kStoredSuffix.size();
    if (value.size() <= fixed || value[0] != '\\' ||
        value.compare(1, store::kStoredPrefix.size(), store::kStoredPrefix) != 0 ||
        value.compare(value.size() - store::kStoredSuffix.size(), std::string::npos,
                      store::kStoredSuffix) != 0) {
        return false;
    }
    return isNumberPart(value.substr(1 + store::kStoredPrefix.size(), value.size() - fixed));
}

bool isPlaceValue(const std::string& drive, const std::string& value) {
    if (value.size() < 2 || value[0] != '\\' || drive.size() + value.size() >= MAX_PATH ||
        path::hasWildcard(value)) {
        return false;
    }
    // ":" would name a stream or another drive, "/" is a separator of its own; neither
    // byte, nor a control character, is ever the second byte of a character.
    for (char c : value) {
        if (c == ':' || c == '/' || static_cast<unsigned char>(c) < 0x20) {
            return false;
        }
    }
    // Each part between separators: not empty, not "." or "..".
    std::size_t partStart = 1;
    for (std::size_t i = 1; i <= value.size();) {
        if (i == value.size() || value[i] == '\\') {
            const std::string part = value.substr(partStart, i - partStart);
            if (part.empty() || part == "." || part == "..") {
                return false;
            }
            partStart = i + 1;
            ++i;
        } else {
            i += (path::isLeadByte(value[i]) && i + 1 < value.size()) ? 2 : 1;
        }
    }
    return true;
}

int keyRecordOf(const std::string& indexText) {
    IndexQuery query;
    query.load(completeIndexText(indexText));
    if (query.select(kKeyFilePath)) {
        return secure::kProbeKeyFile;
    }
    if (query.select(kKeyWordPath)) {
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
    if (!readIndexText(indexPath, request.indexScrambling, text) || indexNeverSet(text)) {
        outcome.resultCode = secure::kResultNoIndex;
        return outcome;
    }
    IndexQuery document;
    document.load(completeIndexText(text)); // selects never change the document

    std::string recordedKey;
    std::string keyElement;
    if (document.select(kKeyFilePath)) {
        recordedKey = document.value();
        keyElement = indexname::kKeyFile;
        if (!fileExists(recordedKey)) {
            outcome.resultCode = secure::kResultWrongKey;
            return outcome;
        }
    } else if (document.select(kKeyWordPath)) {
        recordedKey = document.value();
        keyElement = indexname::kKeyWord;
        if (recordedKey != request.key) {
            outcome.resultCode = secure::kResultWrongKey;
            return outcome;
        }
    } else {
        outcome.resultCode = secure::kResultWrongKey;
        return outcome;
    }
    outcome.key = recordedKey;

    const unsigned notes = document.select(kNotesPath) ? document.count() : 0;
    unsigned files = 0;
    bool recordUnreadable = false;
    if (document.select(kFilesPath)) {
        files = document.count();
    } else if (document.select("/vaultrowan/secure")) {
        // No record can be told apart, yet a stored name stands in the index: deleting it
        // would leave stored files that nothing leads back to.
        recordUnreadable = true;
    }
    const LPARAM items = static_cast<LPARAM>(files) + static_cast<LPARAM>(notes);

    // The notes go first, while the index still names every stored file: a file of the
    // user's that bore the note's name comes back to a free place, and a release cut
    // short leaves no note that a later release would not know of.
    for (unsigned j = 0; j < notes; ++j) {
        if (document.select(kNotesPath + "[" + std::to_string(j) + "]") &&
            isNoteValue(drive, document.value())) {
            deleteFile(drive + document.value());
        }
        postProgress(request, kMsgReleaseProgress, j + 1, items);
    }

    // Records of files that stay in the store, as they stood in the index.
    std::string keptRecords;
    unsigned long movedBack = 0;
    IndexQuery record;
    for (unsigned i = 0; i < files; ++i) {
        if (document.select(kFilesPath + "[" + std::to_string(i) + "]")) {
            const std::string inner = document.value();
            record.load(indextag::start(indexname::kFile) + inner +
                        indextag::end(indexname::kFile));
            const bool hasSecure =
                record.select("/file/secure") && isStoredNameValue(record.value());
            const std::string source = storeFolder + record.value();
            const bool hasStore =
                record.select("/file/store") && isPlaceValue(drive, record.value());
            const std::string destination = drive + record.value();
            DWORD attributes = 0;
            const bool hasAttributes = record.select("/file/file-attribute") &&
                                       parseAttributes(record.value(), attributes);

            // A record with a field missing or out of bounds is passed over: acting on it
            // could reach outside the store, and guessing would restore the wrong file.
            if (hasSecure && hasStore && hasAttributes) {
                passPoint(request, SecurePoint::BeforeMoveBack, movedBack);
                const Restore restored = restoreRecord(source, destination, attributes);
                movedBack += restored == Restore::Done ? 1 : 0;
                if (restored == Restore::Kept) {
                    keptRecords += indextag::startLine(indexname::kFile) + inner + "\r\n" +
                                   indextag::endLine(indexname::kFile);
                }
            }
        } else {
            recordUnreadable = true;
        }
        postProgress(request, kMsgReleaseProgress, notes + i + 1, items);
    }
    passPoint(request, SecurePoint::BeforeIndexGoes, movedBack);

    // The index goes once nothing is left to restore. Records that failed are written
    // back under the same key, so a later release tries them again; a record that could
    // not even be read keeps the whole index as it was.
    if (keptRecords.empty() && !recordUnreadable) {
        deleteFile(indexPath);
        // A protect cut short while it scrambled the index leaves the plain copy beside it.
        DeleteFileA((indexPath + kTemporarySuffix).c_str());
    } else if (!recordUnreadable) {
        const std::string rewritten = kIndexHeaderLine + indextag::startLine(indexname::kRoot) +
                                      indextag::valueLine(keyElement, recordedKey) + keptRecords +
                                      indextag::endLine(indexname::kRoot);
        if (replaceFileContent(indexPath,
                               request.indexScrambling ? scrambleBytes(rewritten) : rewritten)) {
            SetFileAttributesA(indexPath.c_str(), FILE_ATTRIBUTE_HIDDEN);
        }
    }

    const bool recordsRemain = !keptRecords.empty() || recordUnreadable;
    outcome.resultCode = recordsRemain ? secure::kResultNotAllRestored : secure::kResultDone;
    outcome.files = files;
    return outcome;
}
