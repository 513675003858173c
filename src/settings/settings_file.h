#pragma once

#include <windows.h>

#include <string>

#include "base/string_list.h"
#include "settings/program_location.h"

// The settings file "Pairwarden.ini" in the program folder: the definition file last
// opened, the protected folders with their option value, and the main window's size.
// Every write replaces a whole section; nothing is cached between calls, and no
// operation reports a failure.
class SettingsFile {
  public:
    explicit SettingsFile(const ProgramLocation& location);

    const std::string& path() const { return path_; }

    // The definition file to open at start-up: the stored one when it names an existing
    // file, else "SyncDef.txt" in the program folder.
    std::string ReadDefSyncFile() const;
    void WriteDefSyncFile(const std::string& definitionFile) const;

    // Appends the protected folders (full paths, in their one true form: full, long, the
    // drive letter in upper case) that still exist or whose parent folder exists; returns
    // the number of numbered entries found, skipped ones included.
    int ReadSecurePaths(StringList& folders) const;

    // Stores the folders of the program's drive, its letter in either case (the list is
    // emptied), and hands the others to `rejected`; returns the number of folders handed in.
    // Without lists, or with an empty list, the section is emptied.
    int WriteSecurePaths(int type, StringList* folders, StringList* rejected) const;

    int ReadSecureType() const;

    // How many days the dated folders of a holding folder are kept ([HoldFolder]
    // KeepDays=; 0 keeps them until the user removes them): `fallback` when the key is
    // missing or is not a plain number of days.
    int ReadHoldFolderDays(int fallback) const;

    // Enlarges the window to the stored outer size (never below its client area) and
    // stores its outer size.
    void LoadWindowSize(HWND window) const;
    void SaveWindowSize(HWND window) const;

  private:
    void markHidden() const;
    std::string readText(const char* section, const std::string& key) const;

    ProgramLocation location_;
    std::string path_;
};

// The window-size section's name and file for any settings path: ".ini" is appended when
// the path does not end in it, and the section is the file name without its extension,
// followed by "-WH-Size".
std::string windowSizeSettingsPath(const std::string& settingsPath);
std::string windowSizeSectionName(const std::string& settingsPath);
