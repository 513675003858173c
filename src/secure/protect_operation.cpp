#include "secure/protect_operation.h"

#include <utility>

#include "base/file_reader.h"
#include "base/file_system.h"
#include "base/path.h"
#include "base/text_file_writer.h"
#include "secure/file_attributes.h"
#include "secure/index_container.h"
#include "secure/index_file.h"
#include "secure/index_tags.h"
#include "secure/secure_messages.h"
#include "secure/store_layout.h"

namespace {

struct Entry {
    std::string name;
    DWORD attributes;
};

// The folder's entries as listed at the start. Files moved out meanwhile, and anything
// that appears while the walk runs, cannot change what is walked.
std::vector<Entry> listEntries(const std::string& folder) {
    std::vector<Entry> entries;
    WIN32_FIND_DATAA found;
    FindHandle search(FindFirstFileA((folder + "\\*").c_str(), &found));
    if (!search) {
        return entries;
    }
    do {
        const std::string name = found.cFileName;
        if (name != "." && name != "..") {
            entries.push_back(Entry{name, found.dwFileAttributes});
        }
    } while (FindNextFileA(search.get(), &found));
    return entries;
}

// Whether the first `length` bytes of the text end on a character boundary.
bool endsOnCharacter(const std::string& text, std::size_t length) {
    std::size_t i = 0;
    while (i < length) {
        i += (path::isLeadByte(text[i]) && i + 1 < text.size()) ? 2 : 1;
    }
    return i == length;
}

bool sameText(const char* a, const char* b, std::size_t length) {
    return CompareStringA(LOCALE_SYSTEM_DEFAULT, NORM_IGNORECASE, a, static_cast<int>(length), b,
                          static_cast<int>(length)) == CSTR_EQUAL;
}

// Whether the path is the folder or lies below it, letters compared without regard to case.
bool isSameOrBelow(const std::string& path, const std::string& folder) {
    const std::size_t length = folder.size();
    if (length == 0 || path.size() < length) {
        return false;
    }
    if (path.size() > length && (path[length] != '\\' || !endsOnCharacter(path, length))) {
        return false;
    }
    return sameText(path.data(), folder.data(), length);
}

std::string fileRecord(const std::string& storeValue, const std::string& secureValue,
                       DWORD attributes) {
    return indextag::startLine(indexname::kFile) +
           indextag::valueLine(indexname::kStore, storeValue) +
           indextag::valueLine(indexname::kSecure, secureValue) +
           indextag::valueLine(indexname::kAttributes, std::to_string(attributes)) +
           indextag::endLine(indexname::kFile);
}

// Whether the file holds exactly what a note holds.
bool isOwnNote(const std::string& path) {
    FileContent content;
    return readWholeFile(path, content) && content.size == store::kNoteContent.size() &&
           store::kNoteContent.compare(0, std::string::npos, content.text(), content.size) == 0;
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
        failed_ = true;
        return false;
    }
    size_ = size;
    return true;
}

bool ProtectJournal::close() {
    index_.reset();
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
    return isSameOrBelow(folder, storeRoot_);
}

unsigned long protectTree(const std::string& storeFolder, const std::string& folder,
                          unsigned long firstNumber, ProtectJournal& journal) {
    // Walking the store would move stored files again under new names, endlessly.
    if (journal.isStoreFolder(folder)) {
        return 0;
    }
    const unsigned long unmovedBefore = journal.unmoved();
    bool ownNoteFound = false;
    unsigned long number = firstNumber;
    for (const Entry& entry : listEntries(folder)) {
        if (journal.failed()) {
            return number - firstNumber;
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
        // delete it) would otherwise be stored and come back as a file of the user's.
        if (entry.name == store::kNoteName && isOwnNote(source)) {
            ownNoteFound = true;
            continue;
        }
        const std::string secureValue = store::storedName(number);
        const std::string destination = storeFolder + secureValue;
        ++number;
        const unsigned long long before = journal.size();
        if (!journal.write(
                fileRecord(folder.substr(2) + "\\" + entry.name, secureValue, entry.attributes))) {
            return number - firstNumber;
        }
        passPoint(journal.request(), SecurePoint::BeforeMove, journal.moved());
        // A file that cannot be moved stays where it is, and so does not keep its record:
        // the record would name a stored file that holds nothing, or another file.
        if (!MoveFileA(source.c_str(), destination.c_str())) {
            journal.couldNotMove();
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
    const bool whole = journal.unmoved() == unmovedBefore;
    if (journal.hideFolders() || !whole) {
        if (ownNoteFound) {
            DeleteFileA(note.c_str());
        }
        if (journal.hideFolders()) {
            RemoveDirectoryA(folder.c_str()); // fails while a file that could not move is left
        }
        return number - firstNumber;
    }
    // The record first: a note file without its record would outlive every release.
    if (!journal.write(
            indextag::valueLine(indexname::kNote, folder.substr(2) + "\\" + store::kNoteName))) {
        return number - firstNumber;
    }
    TextFileWriter writer;
    writer.setText(store::kNoteContent);
    if (writer.writeTo(note)) {
        journal.wroteNote(note);
    }
    return number - firstNumber;
}

namespace {

SecureOutcome failed(int resultCode) {
    SecureOutcome outcome;
    outcome.resultCode = resultCode;
    return outcome;
}

} // namespace

SecureOutcome protectFolders(const SecureRequest& request) {
    const std::string& storeFolder = request.storeFolder;
    const std::vector<std::string>& folders = request.folders;
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
    for (const std::string& folder : folders) {
        if (folder.empty() || folder[0] != storeFolder[0]) {
            return failed(secure::kResultOtherDrive);
        }
        if (folder.size() < 4) {
            return failed(secure::kResultShortPath);
        }
    }
    // The program's own folder holds the store, the settings and the definition file: a
    // protect of it, or of a folder holding it, would move them away from the program.
    const std::string storeRoot = path::folderPart(storeFolder);
    const std::string programFolders[] = {path::folderPart(storeRoot), moduleFolder()};
    for (const std::string& folder : folders) {
        for (const std::string& program : programFolders) {
            if (isSameOrBelow(program, folder)) {
                return failed(secure::kResultShortPath);
            }
        }
        if (isSameOrBelow(folder, storeRoot)) {
            return failed(secure::kResultShortPath);
        }
    }
    // A key file inside a protected folder would be moved into the store with the rest,
    // and the area could never be opened again.
    if (keyElement == indexname::kKeyFile) {
        for (const std::string& folder : folders) {
            if (isSameOrBelow(key, folder)) {
                return failed(secure::kResultNoUsableKey);
            }
        }
    }

    // The index exists exactly while the area is set. One that a protect cut short right
    // after creating it names no key and no file: it locks nothing and goes.
    const std::string indexPath = storeFolder + "\\" + store::kIndexName;
    if (fileExists(indexPath)) {
        std::string text;
        if (!readIndexText(indexPath, request.indexScrambling, text) || !indexNeverSet(text)) {
            return failed(secure::kResultAlreadySet);
        }
        SetFileAttributesA(indexPath.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (!DeleteFileA(indexPath.c_str())) {
            return failed(secure::kResultAlreadySet);
        }
    }
    // A plain copy that a protect cut short while scrambling left beside the index.
    DeleteFileA((indexPath + kTemporarySuffix).c_str());
    // Hidden from its creation on, so that an index cut short is hidden as well.
    FileHandle index(CreateFileA(indexPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                 FILE_ATTRIBUTE_HIDDEN, nullptr));
    if (!index) {
        return failed(secure::kResultIndexNotWritten);
    }

    // The store folder lies in the store root, which the walk must never enter.
    ProtectJournal journal(std::move(index), request, storeRoot);
    journal.write(kIndexHeaderLine + indextag::startLine(indexname::kRoot) +
                  indextag::valueLine(keyElement, key));

    unsigned long number = 1;
    for (std::size_t j = 0; j < folders.size() && !journal.failed(); ++j) {
        number += protectTree(storeFolder, folders[j], number, journal);
        postProgress(request, kMsgProtectProgress, j + 1, static_cast<LPARAM>(folders.size()));
    }
    passPoint(request, SecurePoint::Walked, journal.moved());
    journal.write(indextag::endLine(indexname::kRoot));

    // An index that could not be written whole would leave the moved files without a
    // readable record: everything goes back, and the area is not set.
    if (!journal.close()) {
        if (journal.undo()) {
            DeleteFileA(indexPath.c_str());
        }
        return failed(secure::kResultIndexNotWritten);
    }

    if (request.indexScrambling) {
        // The scrambled index takes the plain one's place in one step: a cut leaves one
        // of the two, both complete.
        FileContent plain;
        if (readWholeFile(indexPath, plain)) {
            const unsigned long moved = journal.moved();
            replaceFileContent(indexPath, scrambleBytes(std::string(plain.text(), plain.size)),
                               [&] { passPoint(request, SecurePoint::Scrambling, moved); });
        }
    }
    SetFileAttributesA(indexPath.c_str(), FILE_ATTRIBUTE_HIDDEN);
    SecureOutcome outcome;
    outcome.resultCode =
        journal.unmoved() == 0 ? secure::kResultDone : secure::kResultNotAllProtected;
    outcome.files = static_cast<unsigned>(number - 1);
    return outcome;
}
