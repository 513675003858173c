#include "support/debug_output.h"

#include <cstring>

namespace support {

namespace {

constexpr DWORD kBufferSize = 4096;

} // namespace

DebugOutputCapture::DebugOutputCapture() {
    exclusive_ = CreateMutexA(nullptr, FALSE, "SyncoravelTestDebugOutput");
    if (exclusive_ == nullptr) {
        return;
    }
    const DWORD waited = WaitForSingleObject(exclusive_, 120000);
    if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) {
        CloseHandle(exclusive_);
        exclusive_ = nullptr;
        return;
    }
    mapping_ = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, kBufferSize,
                                  "DBWIN_BUFFER");
    bufferReady_ = CreateEventA(nullptr, FALSE, FALSE, "DBWIN_BUFFER_READY");
    dataReady_ = CreateEventA(nullptr, FALSE, FALSE, "DBWIN_DATA_READY");
    if (mapping_ == nullptr || bufferReady_ == nullptr || dataReady_ == nullptr) {
        return;
    }
    view_ = MapViewOfFile(mapping_, FILE_MAP_READ, 0, 0, 0);
    if (view_ == nullptr) {
        return;
    }
    active_ = true;
    SetEvent(bufferReady_);
    server_ = std::thread([this] { serve(); });
}

DebugOutputCapture::~DebugOutputCapture() {
    stop_ = true;
    if (server_.joinable()) {
        server_.join();
    }
    if (view_ != nullptr) {
        UnmapViewOfFile(view_);
    }
    for (HANDLE handle : {dataReady_, bufferReady_, mapping_}) {
        if (handle != nullptr) {
            CloseHandle(handle);
        }
    }
    if (exclusive_ != nullptr) {
        ReleaseMutex(exclusive_);
        CloseHandle(exclusive_);
    }
}

void DebugOutputCapture::serve() {
    while (!stop_) {
        if (WaitForSingleObject(dataReady_, 20) != WAIT_OBJECT_0) {
            continue;
        }
        const auto* block = static_cast<const char*>(view_);
        DWORD process = 0;
        std::memcpy(&process, block, sizeof process);
        const char* text = block + sizeof process;
        const std::string piece(text, strnlen(text, kBufferSize - sizeof process));
        if (process == GetCurrentProcessId()) {
            std::lock_guard<std::mutex> guard(lock_);
            collected_ += piece;
        }
        SetEvent(bufferReady_);
    }
}

std::string DebugOutputCapture::take() {
    // Texts reach the buffer one after another, so once a marker written now has arrived,
    // everything written before it has too.
    static std::atomic<unsigned> markers{0};
    const std::string marker = "\x01mark" + std::to_string(++markers) + "\x01";
    if (active_) {
        OutputDebugStringA(marker.c_str());
        const DWORD start = GetTickCount();
        for (;;) {
            {
                std::lock_guard<std::mutex> guard(lock_);
                if (collected_.find(marker) != std::string::npos) {
                    break;
                }
            }
            if (GetTickCount() - start > 5000) {
                break;
            }
            Sleep(1);
        }
    }
    std::lock_guard<std::mutex> guard(lock_);
    std::string result;
    result.swap(collected_);
    const std::size_t at = result.find(marker);
    if (at != std::string::npos) {
        result.erase(at, marker.size());
    }
    return result;
}

} // namespace support
