#pragma once

#include <string>

// Writes one whole text to a file in one go: the file is created anew or truncated, and an
// existing file keeps its attributes (hidden, system). The log, the definition file and
// the secure store's files are written this way.
class TextFileWriter {
  public:
    // Replaces any held text with a copy of this one.
    bool setText(const std::string& text);

    bool hasText() const { return hasText_; }

    // Only with a text held. Opens the path exclusively, writes the whole text
    // and lets the text go; returns whether the write succeeded. A file that cannot be
    // opened leaves the text held, so it can be written elsewhere.
    bool writeTo(const std::string& path);

  private:
    bool hasText_ = false;
    std::string text_;
};
