#pragma once

#include <string>

// Writes one whole text to a file in one go. The text goes to a temporary file beside the
// target first, which then takes the target's place in one step, so the file is always
// either its old content or the whole new one: a full or vanished drive, or a crash, leaves
// the old file as it was. An existing file keeps its attributes (hidden, system). The log,
// the definition file and the secure store's files are written this way.
class TextFileWriter {
  public:
    // Replaces any held text with a copy of this one.
    bool setText(const std::string& text);

    bool hasText() const { return hasText_; }

    // Only with a text held. Writes the whole text and lets it go; returns whether the file
    // now holds it. On failure the text stays held, so that it can be written elsewhere,
    // nothing of the attempt is left beside the file, and the thread's last error tells why.
    // A read-only file or a folder under the path is not replaced.
    bool writeTo(const std::string& path);

  private:
    bool hasText_ = false;
    std::string text_;
};
