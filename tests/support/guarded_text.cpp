#include "support/guarded_text.h"

#include <windows.h>

#include <cstring>

namespace support {

GuardedText::GuardedText(const std::string& text) {
    SYSTEM_INFO system;
    GetSystemInfo(&system);
    const std::size_t page = system.dwPageSize;
    const std::size_t needed = text.size() + 1;
    const std::size_t readable = (needed + page - 1) / page * page;
    block_ = VirtualAlloc(nullptr, readable + page, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
    if (block_ == nullptr) {
        return;
    }
    char* guard = static_cast<char*>(block_) + readable;
    DWORD previous = 0;
    VirtualProtect(guard, page, PAGE_NOACCESS, &previous);
    text_ = guard - needed;
    std::memcpy(text_, text.data(), text.size());
    text_[text.size()] = '\0';
}

GuardedText::~GuardedText() {
    if (block_ != nullptr) {
        VirtualFree(block_, 0, MEM_RELEASE);
    }
}

} // namespace support
