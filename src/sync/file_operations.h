#pragma once

#include <string>

// Creates the folder and every missing folder above it. Returns whether the creation of
// the path itself succeeded (false when it already existed).
bool createFolderPath(const std::string& path);
