#pragma once

#include <cstddef>
#include <deque>
#include <string>
#include <utility>

// A list of texts, appended at the tail and consumed from the head. Folder lists and the
// outcome lines of a run are kept in these.
class StringList {
  public:
    using const_iterator = std::deque<std::string>::const_iterator;

    void append(std::string text) { items_.push_back(std::move(text)); }

    // Moves the first text into `text`; false when the list is empty.
    bool takeFirst(std::string& text) {
        if (items_.empty()) {
            return false;
        }
        text = std::move(items_.front());
        items_.pop_front();
        return true;
    }

    std::size_t count() const { return items_.size(); }
    bool empty() const { return items_.empty(); }
    void clear() { items_.clear(); }

    const std::string& at(std::size_t index) const { return items_.at(index); }
    const_iterator begin() const { return items_.begin(); }
    const_iterator end() const { return items_.end(); }

  private:
    std::deque<std::string> items_;
};
