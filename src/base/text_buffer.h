#pragma once

#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

// Room for at most 1,283 characters and the terminating zero.
constexpr std::size_t kDefaultTextBufferSize = 1284;

// A zero-filled byte buffer for platform calls that fill in text. Its last byte is never
// handed out as room, so what a call leaves behind is always terminated.
class TextBuffer {
  public:
    explicit TextBuffer(std::size_t size = kDefaultTextBufferSize) { reserve(size); }

    // Discards the content and makes room for `size` bytes, all zero.
    void reserve(std::size_t size) { bytes_.assign(size == 0 ? 1 : size, '\0'); }

    char* data() { return bytes_.data(); }
    const char* data() const { return bytes_.data(); }

    // The size given to reserve: what a platform call may be told it can fill.
    std::size_t size() const { return bytes_.size(); }

    // The text up to the first zero byte, never beyond the buffer.
    std::string text() const { return std::string(bytes_.data(), strnlen(bytes_.data(), size())); }

  private:
    std::vector<char> bytes_;
};
