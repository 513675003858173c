#pragma once

#include <windows.h>

#include <utility>

// An uncopyable owner of one handle; the traits say which value means "none" and how the
// handle is released.
template <typename Traits> class ScopedHandle {
  public:
    using Type = typename Traits::Type;

    ScopedHandle() = default;
    explicit ScopedHandle(Type handle) : handle_(handle) {}
    ~ScopedHandle() { reset(); }

    ScopedHandle(const ScopedHandle&) = delete;
    ScopedHandle& operator=(const ScopedHandle&) = delete;
    ScopedHandle(ScopedHandle&& other) noexcept : handle_(other.release()) {}
    ScopedHandle& operator=(ScopedHandle&& other) noexcept {
        if (this != &other) {
            reset(other.release());
        }
        return *this;
    }

    Type get() const { return handle_; }
    bool valid() const { return handle_ != Traits::invalid(); }
    explicit operator bool() const { return valid(); }

    // Releases the current handle (if any) and takes the new one.
    void reset(Type handle = Traits::invalid()) {
        if (valid()) {
            Traits::close(handle_);
        }
        handle_ = handle;
    }

    // Gives the handle up without releasing it.
    Type release() { return std::exchange(handle_, Traits::invalid()); }

  private:
    Type handle_ = Traits::invalid();
};

struct KernelHandleTraits {
    using Type = HANDLE;
    static Type invalid() { return nullptr; }
    static void close(Type h) { CloseHandle(h); }
};

// CreateFile reports failure as INVALID_HANDLE_VALUE, not as null.
struct FileHandleTraits {
    using Type = HANDLE;
    static Type invalid() { return INVALID_HANDLE_VALUE; }
    static void close(Type h) { CloseHandle(h); }
};

struct FindHandleTraits {
    using Type = HANDLE;
    static Type invalid() { return INVALID_HANDLE_VALUE; }
    static void close(Type h) { FindClose(h); }
};

struct HeapHandleTraits {
    using Type = HANDLE;
    static Type invalid() { return nullptr; }
    static void close(Type h) { HeapDestroy(h); }
};

using KernelHandle = ScopedHandle<KernelHandleTraits>;
using FileHandle = ScopedHandle<FileHandleTraits>;
using FindHandle = ScopedHandle<FindHandleTraits>;
using PrivateHeap = ScopedHandle<HeapHandleTraits>;

// Window-manager and graphics objects.
template <typename T> struct GdiObjectTraits {
    using Type = T;
    static Type invalid() { return nullptr; }
    static void close(Type h) { DeleteObject(h); }
};

struct MenuTraits {
    using Type = HMENU;
    static Type invalid() { return nullptr; }
    static void close(Type h) { DestroyMenu(h); }
};

struct IconTraits {
    using Type = HICON;
    static Type invalid() { return nullptr; }
    static void close(Type h) { DestroyIcon(h); }
};

struct AcceleratorTraits {
    using Type = HACCEL;
    static Type invalid() { return nullptr; }
    static void close(Type h) { DestroyAcceleratorTable(h); }
};

struct MappedViewTraits {
    using Type = void*;
    static Type invalid() { return nullptr; }
    static void close(Type view) { UnmapViewOfFile(view); }
};

using FontHandle = ScopedHandle<GdiObjectTraits<HFONT>>;
using BrushHandle = ScopedHandle<GdiObjectTraits<HBRUSH>>;
using MenuHandle = ScopedHandle<MenuTraits>;
using IconHandle = ScopedHandle<IconTraits>;
using AcceleratorHandle = ScopedHandle<AcceleratorTraits>;
using MappedView = ScopedHandle<MappedViewTraits>;
