#pragma once

#include <windows.h>
#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>

#include "base/scoped_handle.h"

// Owners for what the shell hands out: the dropped-files block, which only DragFinish may
// release, and the item list the folder browser returns, which lives in the COM heap.
struct DropTraits {
    using Type = HDROP;
    static Type invalid() { return nullptr; }
    static void close(Type h) { DragFinish(h); }
};

struct ItemIdListTraits {
    using Type = PIDLIST_ABSOLUTE;
    static Type invalid() { return nullptr; }
    static void close(Type h) { CoTaskMemFree(h); }
};

using DropHandle = ScopedHandle<DropTraits>;
using ItemIdList = ScopedHandle<ItemIdListTraits>;

// COM for one shell call on this thread (the folder browser needs it, and so may a
// handler that opens an address). A thread that already has it keeps it as it was.
class ComApartment {
  public:
    ComApartment() : initialised_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
    ~ComApartment() {
        if (initialised_) {
            CoUninitialize();
        }
    }

    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

  private:
    bool initialised_;
};
