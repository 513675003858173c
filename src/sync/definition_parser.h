#pragma once

#include <windows.h>

#include <string>

#include "base/string_list.h"
#include "sync/pass_context.h"

// The parser's two modes: loading collects a definition's folders, applies its option and
// starts its commands; counting (any other value) only counts its existing folders.
constexpr int kParseCounting = 0;
constexpr int kParseLoading = 1;

// Reads the next Sync definition at or after `text`: from the first "Sync." (in any case,
// anywhere in its line) over every following line that begins exactly with "Sync.".
// Returns the offset from `text` to the first line after the definition, or 0 when the
// text holds no "Sync." at all. `folderCount` receives the number of existing folders; in
// loading mode `folders` receives them, "Sync.Option.NoSubDirectory" clears the context's
// subfolder switch, and each "Sync.Run." line is sent to the report window, which starts
// the command before parsing goes on. A folder line in label form ("[USBメモ]\仕事") names
// the folder on the one ready drive with that label (see drive_label.h); in loading mode the
// context keeps the folder lines that named no existing folder, and a label that several
// drives carry gets its line in the unsynced list.
//
// The text must be a private, zero-terminated copy: line ends inside it are overwritten
// with zero bytes.
int parseSyncBlock(PassContext& context, char* text, HWND reportWindow, int mode,
                   int& folderCount, StringList& folders);

// The number of definitions of the text with at least two existing folders.
int countSyncDefinitions(const std::string& text);
