#pragma once

#include <string>

// Names of the secure store on disk: the hidden store root next to the program, the
// system folder inside it with the index, the stored files and the desktop file, and the
// note left in protected folders that are not hidden.
namespace store {

inline const std::string kRootName = "_PWSD";
inline const std::string kFolderName = "VRSYS";
inline const std::string kDesktopFileName = "Desktop.ini";
inline const std::string kStoredPrefix = "Vaultrowan";
inline const std::string kStoredSuffix = ".exe";
inline const std::string kIndexName = "Vaultrowan00000.exe";
inline const std::string kNoteName = "このフォルダは保護されています。";
inline const std::string kNoteContent = "lock.";

// "[.ShellClassInfo]" with the index as the folder's icon, and no confirmation when the
// shell moves or deletes in the folder.
inline const std::string kDesktopFileText = "[.ShellClassInfo]\r\n"
                                            "ConfirmFileOp=0\r\n"
                                            "IconFile=Vaultrowan00000.exe\r\n"
                                            "IconIndex=0\r\n";

// The name of stored file `number` with its leading "\": five digits up to 99,999 and all
// digits above, so that no two stored files of one protect share a name.
std::string storedName(unsigned long number);

} // namespace store
