#include "secure/store_layout.h"

namespace store {

std::string storedName(unsigned long number) {
    std::string digits = std::to_string(number);
    if (digits.size() < 5) {
        digits.insert(0, 5 - digits.size(), '0');
    }
    return "\\" + kStoredPrefix + digits + kStoredSuffix;
}

} // namespace store
