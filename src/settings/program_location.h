#pragma once

#include <string>

// Where the program lives: its folder (which holds the settings file, the log and the
// secure store), its file name (which names the single-instance block) and its drive
// prefix (the first two characters of its path, such as "D:").
struct ProgramLocation {
    std::string folder;
    std::string fileName;
    std::string drivePrefix;
};

// Splits a module file name: the folder ends before the last "\" (a trail byte 0x5C is no
// separator), or before the last "/" when there is no "\".
ProgramLocation programLocationOf(const std::string& modulePath);

// The location of the running executable.
ProgramLocation currentProgramLocation();

// The folder and a file name joined with "\".
std::string pathInFolder(const std::string& folder, const std::string& name);
