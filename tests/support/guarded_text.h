#pragma once

#include <cstddef>
#include <string>

namespace support {

// A writable copy of a text whose terminating zero is the last readable byte before a
// page that cannot be read: code that reads past the end of the text crashes the test.
class GuardedText {
  public:
    explicit GuardedText(const std::string& text);
    ~GuardedText();

    GuardedText(const GuardedText&) = delete;
    GuardedText& operator=(const GuardedText&) = delete;

    char* data() { return text_; }

  private:
    void* block_ = nullptr;
    char* text_ = nullptr;
};

} // namespace support
