#include "secure/protect_operation.h"

#include <utility>

#include "base/ansi_name.h"
#include "base/file_reader.h"
#include "base/file_system.h"
#include "base/folder_identity.h"
#include "base/path.h"
#include "secure/file_attributes.h"
#include "secure/index_container.h"
#include "secure/index_file.h"
#include "secure/index_records.h"
#include "secure/index_tags.h"
#include "secure/note_file.h"
#include "secure/secure_messages.h"
#include "secure/store_layout.h"

namespace {

struct Entry {
    std::string name;
    DWORD attributes;
    // The name has an exact form in the code page, by which the code-page calls reach this
    // very entry; any other cannot be named by a record ("a." would move "a").
    bool exact;
};

// The folder's entries as listed at the start. Files moved out meanwhile, and anything
// that appears while the walk runs, cannot change what is walked. False when the folder
// could not be listed to its end (no right to read it, say): an empty list would call it
// empty. The wide listing is used, since the narrow one gives best fits for names the code
// page cannot hold, which could name another entry.
bool listEntries(const std::string& folder, std::vector<Entry>& entries) {
    WIN32_FIND_DATAW found;
    FindHandle search(FindFirstFileW((wideFromAnsi(folder) + L"\\*").c_str(), &found));
    if (!search) {
        return false; // a folder that is no drive root always holds "." and ".."
    }
    do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..") {
            continue;
        }
        Entry entry;
        entry.attributes = found.dwFileAttributes;
        entry.exact = exactAnsiName(found.cFileName, entry.name) && reachedByName(found.cFileName);
        entries.push_back(entry);
    } while (FindNextFileW(search.get(), &found));
    return GetLastError() == ERROR_NO_MORE_FILES;
}

// The folder of the running program: the store, the settings and the definition file
// lie in it.
std::string moduleFolder() {
    char name[MAX_PATH + 1] = {};
    const DWORD length = GetModuleFileNameA(nullptr, name, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return std::string();
    }
    return path::folderPart(std::string(name, length));
}

// A key the index could not give back as it was written is never used: "<" and ">" would
// be taken for tags, and line ends next to the tags are dropped when the index is read.
bool keyReadsBack(const std::string& key) {
    return key.find_first_of("<>\r\n") == std::string::npos;
}

} // namespace

ProtectJournal::ProtectJournal(FileHandle index, const SecureRequest& request,
                               std::string storeRoot)
    : index_(std::move(index)), request_(request), storeRoot_(std::move(storeRoot)) {}

// The flush makes the record part of the index on the disk before the caller moves its
// file: a cut at any later moment finds the record.
bool ProtectJournal::write(const std::string& text) {
    if (failed_ || !index_) {
        failed_ = true;
        return false;
    }
    if (!writeAll(index_.get(), text) || !FlushFileBuffers(index_.get())) {
        error_ = GetLastError();
        failed_ = true;
        return false;
    }
    size_ += text.size();
    return true;
}

bool ProtectJournal::cutBackTo(unsigned long long size) {
    LARGE_INTEGER place;
    place.QuadPart = static_cast<LONGLONG>(size);
    if (failed_ || !SetFilePointerEx(index_.get(), place, nullptr, FILE_BEGIN) ||
        !SetEndOfFile(index_.get()) || !FlushFileBuffers(index_.get())) {
        error_ = GetLastError();
        failed_ = true;
        return false;
    }
    size_ = size;
    return true;
}

bool ProtectJournal::close(DWORD& error) {
    index_.reset();
    error = error_;
    return !failed_;
}

void ProtectJournal::movedIntoStore(const std::string& source, const std::string& stored,
                                    DWORD attributes) {
    moves_.push_back(Move{source, stored, attributes});
}

bool ProtectJournal::undo() {
    bool allBack = true;
    for (auto move = moves_.rbegin(); move != moves_.rend(); ++move) {
        const std::string folder = path::folderPart(move->source);
        if (!folder.empty() && !folderExists(folder)) {
            createFolderPath(folder); // removed when the hide switch is on
        }
        if (MoveFileA(move->stored.c_str(), move->source.c_str())) {
            restoreFileAttributes(move->source, move->attributes);
        } else {
            allBack = false;
        }
    }
    moves_.clear();
    for (const std::string& note : notes_) {
        DeleteFileA(note.c_str());
    }
    notes_.clear();
    return allBack;
}

bool ProtectJournal::isStoreFolder(const std::string& folder) const {
    return path::isSameOrInside(folder, storeRoot_);
}

bool ProtectJournal::walkedAlready(const std::string& folder) const {
    for (const std::string& walked : walked_) {
        if (path::isSameOrInside(folder, walked)) {
            return true;
        }
    }
    return false;
}

unsigned long protectTree(const std::string& storeFolder, const std::string& folder,
                          unsigned long firstNumber, ProtectJournal& journal) {
    // Walking the store would move stored files again under new names, endlessly.
    if (journal.isStoreFolder(folder) || journal.walkedAlready(folder)) {
        return 0;
    }
    std::vector<Entry> entries;
    if (!listEntries(folder, entries)) {
        journal.leftInPlace(); // whatever it holds stays, and it is not called protected
        return 0;
    }
    const unsigned long leftBefore = journal.leftCount();
    const std::string drive = journal.drive();
    bool ownNoteFound = false;
    unsigned long number = firstNumber;
    for (const Entry& entry : entries) {
        if (journal.failed()) {
            return number - firstNumber;
        }
        if (!entry.exact) {
            journal.leftInPlace(); // no record could name it, nor a folder below it
            continue;
        }
        const std::string source = folder + "\\" + entry.name;
        if ((entry.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            // A linked folder leads out of the tree, possibly back into it.
            if ((entry.attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
                number += protectTree(storeFolder, source, number, journal);
            }
            continue;
        }
        // A note an earlier protect left (one cut short, or one whose release could not
        // delete it), or the temporary of one, would otherwise be stored and come back as
        // a file of the user's.
        if (entry.name == store::kNoteName && isProgramNote(source)) {
            ownNoteFound = true;
            continue;
        }
        if (isLeftoverNoteTemporary(source)) {
            DeleteFileA(source.c_str());
            continue;
        }
        journal.met();
        FileRecord record{folder.substr(2) + "\\" + entry.name, store::storedName(number),
                          entry.attributes};
        // A file the release could not put back is not taken: its place would not read
        // back from the index (too long for the release, say).
        if (!recordReadsBack(drive, record)) {
            journal.leftInPlace();
            continue;
        }
        // Names the store holds already belong to files another index names (one put
        // aside after damage): they are passed over, never taken.
        while (entryExists(storeFolder + record.stored)) {
            record.stored = store::storedName(++number);
        }
        const std::string destination = storeFolder + record.stored;
        ++number;
        const unsigned long long before = journal.size();
        if (!journal.write(fileRecordText(record))) {
            return number - firstNumber;
        }
        passPoint(journal.request(), SecurePoint::BeforeMove, journal.moved());
        // A file that cannot be moved stays where it is, and so does not keep its record:
        // the record would name a stored file that holds nothing, or another file.
        if (!MoveFileA(source.c_str(), destination.c_str())) {
            journal.leftInPlace();
            journal.cutBackTo(before);
            continue;
        }
        journal.movedIntoStore(source, destination, entry.attributes);
        SetFileAttributesA(destination.c_str(), FILE_ATTRIBUTE_HIDDEN);
    }
    if (journal.failed()) {
        return number - firstNumber;
    }

    const std::string note = folder + "\\" + store::kNoteName;
    // A folder that still holds a file of the user's is not protected, and must not say so.
    const bool whole = journal.leftCount() == leftBefore;
    if (journal.hideFolders() || !whole) {
        if (ownNoteFound) {
            DeleteFileA(note.c_str());
        }
        if (journal.hideFolders()) {
            RemoveDirectoryA(folder.c_str()); // fails while something that stayed is left
        }
        return number - firstNumber;
    }
    // A note its release could not find is not left at all.
    const std::string notePlace = folder.substr(2) + "\\" + store::kNoteName;
    if (!noteReadsBack(drive, notePlace)) {
        return number - firstNumber;
    }
    // The record first: a note file without its record would outlive every release.
    const unsigned long long before = journal.size();
    if (!journal.write(noteRecordText(notePlace))) {
        return number - firstNumber;
    }
    if (ownNoteFound || writeNoteFile(note)) {
        journal.wroteNote(note);
    } else {
        journal.cutBackTo(before);
    }
    return number - firstNumber;
}

namespace {

SecureOutcome failed(int resultCode, DWORD systemError = 0) {
    SecureOutcome outcome;
    outcome.resultCode = resultCode;
    outcome.systemError = systemError;
    return outcome;
}

} // namespace

SecureOutcome protectFolders(const SecureRequest& request) {
    const std::string& storeFolder = request.storeFolder;
    const std::string& key = request.key;
    // The key, then every folder, before anything is written or moved.
    std::string keyElement;
    if (key.size() >= 3 && key[1] == ':' && key[2] == '\\') {
        if (!fileExists(key)) {
            return failed(secure::kResultNoUsableKey);
        }
        keyElement = indexname::kKeyFile;
    } else if (!key.empty()) {
        keyElement = indexname::kKeyWord;
    } else {
        return failed(secure::kResultNoUsableKey);
    }
    if (!keyReadsBack(key)) {
        return failed(secure::kResultNoUsableKey);
    }
    // Every folder in its one true form: records name places as the release finds them,
    // and no spelling of a folder hides what it is.
    std::vector<std::string> folders;
    for (const std::string& given : request.folders) {
        if (given.empty() || !path::sameDrive(given, storeFolder)) {
            return failed(secure::kResultOtherDrive);
        }
        const std::string folder = folderSpelling(given);
        if (!path::sameDrive(folder, storeFolder)) {
            return failed(secure::kResultOtherDrive);
        }
        if (folder.size() < 4) {
            return failed(secure::kResultShortPath);
        }
        folders.push_back(folder);
    }
    // The program's own folder holds the store, the settings and the definition file: a
    // protect of it, or of a folder holding it, would move them away from the program.
    const std::string storeRoot = folderSpelling(path::folderPart(storeFolder));
    const std::string programFolders[] = {path::folderPart(storeRoot), moduleFolder()};
    for (const std::string& folder : folders) {
        for (const std::string& program : programFolders) {
            if (!program.empty() && FolderPlace::isSameOrInside(program, folder)) {
                return failed(secure::kResultShortPath);
            }
        }
        if (FolderPlace::isSameOrInside(folder, storeRoot)) {
            return failed(secure::kResultShortPath);
        }
    }
    // A key file inside a protected folder would be moved into the store with the rest,
    // and the area could never be opened again.
    if (keyElement == indexname::kKeyFile) {
        for (const std::string& folder : folders) {
            if (FolderPlace::isSameOrInside(key, folder)) {
                return failed(secure::kResultNoUsableKey);
            }
        }
    }

    // The index exists exactly while the area is set. One that a protect cut short right
    // after creating it names no key and no file: it locks nothing and goes.
    const std::string indexPath = storeFolder + "\\" + store::kIndexName;
    if (fileExists(indexPath)) {
        std::string text;
        DWORD error = 0;
        if (readIndexText(indexPath, request.indexScrambling, text, error) != IndexRead::Read ||
            !indexNeverSet(text)) {
            return failed(secure::kResultAlreadySet);
        }
        SetFileAttributesA(indexPath.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (!DeleteFileA(indexPath.c_str())) {
            return failed(secure::kResultAlreadySet, GetLastError());
        }
    }
    // A plain copy that a protect cut short while scrambling left beside the index.
    DeleteFileA((indexPath + kTemporarySuffix).c_str());
    // Hidden from its creation on, so that an index cut short is hidden as well.
    FileHandle index(CreateFileA(indexPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                 FILE_ATTRIBUTE_HIDDEN, nullptr));
    if (!index) {
        return failed(secure::kResultIndexNotWritten, GetLastError());
    }

    // The store folder lies in the store root, which the walk must never enter.
    ProtectJournal journal(std::move(index), request, storeRoot);
    journal.write(kIndexHeaderLine + indextag::startLine(indexname::kRoot) +
                  indextag::valueLine(keyElement, key));

    unsigned long number = 1;
    for (std::size_t j = 0; j < folders.size() && !journal.failed(); ++j) {
        // A listed folder that is not there holds nothing to protect.
        const DWORD attributes = GetFileAttributesA(folders[j].c_str());
        const DWORD missing = GetLastError();
        if (attributes != INVALID_FILE_ATTRIBUTES ||
            (missing != ERROR_FILE_NOT_FOUND && missing != ERROR_PATH_NOT_FOUND)) {
            number += protectTree(storeFolder, folders[j], number, journal);
            journal.walkedWhole(folders[j]);
        }
        postProgress(request, kMsgProtectProgress, j + 1, static_cast<LPARAM>(folders.size()));
    }
    passPoint(request, SecurePoint::Walked, journal.moved());
    journal.write(indextag::endLine(indexname::kRoot));

    // An index that could not be written whole would leave the moved files without a
    // readable record: everything goes back, and the area is not set.
    DWORD writeError = 0;
    if (!journal.close(writeError)) {
        if (journal.undo()) {
            DeleteFileA(indexPath.c_str());
        }
        return failed(secure::kResultIndexNotWritten, writeError);
    }

    SecureOutcome outcome;
    bool plain = false;
    if (request.indexScrambling) {
        // The scrambled index takes the plain one's place in one step: a cut leaves one
        // of the two, both complete. One left plain is said: it holds the key as typed.
        FileContent content;
        const unsigned long moved = journal.moved();
        plain =
            !readWholeFile(indexPath, content) ||
            !replaceFileContent(indexPath, scrambleBytes(std::string(content.text(), content.size)),
                                [&] { passPoint(request, SecurePoint::Scrambling, moved); });
        if (plain) {
            outcome.systemError = GetLastError();
        }
    }
    SetFileAttributesA(indexPath.c_str(), FILE_ATTRIBUTE_HIDDEN);
    outcome.leftInPlace = journal.leftCount();
    outcome.resultCode = journal.leftCount() > 0 ? secure::kResultNotAllProtected
                         : plain                 ? secure::kResultIndexPlain
                                                 : secure::kResultDone;
    outcome.files = static_cast<unsigned>(journal.metCount());
    return outcome;
}
