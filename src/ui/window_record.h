#pragma once

#include <windows.h>

#include <type_traits>

// Every window of the program keeps one record with it (its state: controls it remembers,
// fonts, a worker context). The record is attached when the window is made: a window made
// with CreateWindowEx brings its own record as the creation parameter (WM_NCCREATE); a
// dialog of the dialog host gets a new one when the host hands it WM_INITDIALOG. Every
// message from then on goes to the window's handler with the record, and the record is
// deleted at WM_NCDESTROY, the window's last message.
//
// A record type has a member `HWND window`, which is set when it is attached.

// The record attached to the window; null before it is attached and after WM_NCDESTROY.
template <typename Record> Record* recordOf(HWND window) {
    return reinterpret_cast<Record*>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

// Handles one message for the window of the record; returns what the window procedure
// returns (DefWindowProcA's answer for a message it leaves alone).
template <typename Record>
using RecordHandler = LRESULT (*)(Record& record, UINT message, WPARAM wParam, LPARAM lParam);

// The window procedure of windows whose record is a `Record` handled by `Handler`.
template <typename Record, RecordHandler<Record> Handler>
LRESULT CALLBACK recordProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Record* record = recordOf<Record>(window);
    if (record == nullptr) {
        if (message == WM_NCCREATE) {
            const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
            record = static_cast<Record*>(create->lpCreateParams);
        } else if constexpr (std::is_default_constructible_v<Record>) {
            if (message == WM_INITDIALOG) {
                record = new Record;
            }
        }
        if (record == nullptr) {
            return DefWindowProcA(window, message, wParam, lParam);
        }
        record->window = window;
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(record));
    }
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrA(window, GWLP_USERDATA, 0);
        delete record;
        return DefWindowProcA(window, message, wParam, lParam);
    }
    return Handler(*record, message, wParam, lParam);
}
