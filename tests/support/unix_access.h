#pragma once

#include <string>
#include <vector>

namespace support {

// Takes every permission off a folder for as long as the object lives, so that listing it
// fails as it does for a folder of another user. The test launcher runs test programs
// without the administrator's right to read anything, so this works as root too.
class UnreadableFolder {
  public:
    explicit UnreadableFolder(const std::string& path);
    ~UnreadableFolder();

    UnreadableFolder(const UnreadableFolder&) = delete;
    UnreadableFolder& operator=(const UnreadableFolder&) = delete;

    // Whether listing the folder really fails now.
    bool effective() const { return effective_; }

  private:
    std::string path_;
    bool effective_ = false;
};

// Takes the right to add or remove names off a folder for as long as the object lives: its
// files can still be read and written where they are, but no file can be made, renamed or
// deleted in it.
class UnwritableFolder {
  public:
    explicit UnwritableFolder(const std::string& path);
    ~UnwritableFolder();

    UnwritableFolder(const UnwritableFolder&) = delete;
    UnwritableFolder& operator=(const UnwritableFolder&) = delete;

    // Whether making a file in the folder really fails now.
    bool effective() const { return effective_; }

  private:
    std::string path_;
    bool effective_ = false;
};

// Runs a Linux command line (through /bin/sh) from inside Wine and waits for it; false
// when it could not be started. The path of a Windows file on the Linux side is given by
// unixPathOf.
bool runUnixCommand(const std::string& commandLine);
// The same, true only when the command ended with exit code 0 (a test on the Linux side).
bool unixCommandSucceeds(const std::string& commandLine);
// The same with Windows paths: "{0}", "{1}"… in the command stand for the Linux paths of
// paths[0], paths[1]…, each as one quoted shell word.
bool unixCommandSucceeds(std::string commandLine, const std::vector<std::string>& paths);
std::string unixPathOf(const std::string& windowsPath);

// The Windows path under which Wine shows a Linux path (such as a build output).
std::string windowsPathOfUnix(const char* unixPath);

} // namespace support
