#include "ui/sync_preview_window.h"

#include <commctrl.h>

#include <atomic>
#include <algorithm>
#include <vector>

#include "base/scoped_handle.h"
#include "base/worker_thread.h"
#include "run/run_preview.h"
#include "sync/messages.h"
#include "ui/dialog_host.h"
#include "ui/ui_resources.h"

namespace {

// Posted by the worker as its last act; lParam 1 when it ran to its end.
constexpr UINT kMsgPreviewDone = WM_APP + 1;

constexpr int kMargin = 8;
constexpr int kStatusHeight = 18;
constexpr int kButtonWidth = 80;
constexpr int kButtonHeight = 24;

struct PreviewState {
    HWND window = nullptr;
    std::string text;
    // The folders of a protected area: emptied into the store now, released by a run first.
    std::vector<std::string> protectedFolders;
    int holdingDays = 0;
    FontHandle font;
    // The worker fills `found`; the window reads it only after the worker's last message.
    std::vector<DefinitionPreview> found;
    bool complete = false;
    WorkerThread worker;
    bool computing = false;
    bool closeWhenStopped = false;
    // The list's lines: the list view asks for each line it shows, so that a plan of any
    // size costs the window nothing but this table.
    std::vector<std::string> lines;
};

PreviewState* state = nullptr;

DWORD WINAPI previewWorker(void* argument) {
    PreviewState& preview = *static_cast<PreviewState*>(argument);
    const bool complete =
        previewDefinitions(preview.text, preview.window, &preview.worker.stopFlag(), preview.found,
                           preview.holdingDays);
    PostMessageA(preview.window, kMsgPreviewDone, 0, complete ? 1 : 0);
    return 0;
}

std::string countsLine(std::size_t deletions, std::size_t copies, std::size_t errors,
                       std::size_t held) {
    std::string line = "削除予定 " + std::to_string(deletions) + " 件、コピー予定 " +
                       std::to_string(copies) + " 件、エラー " + std::to_string(errors) + " 件";
    if (held > 0) {
        line += "、保管予定 " + std::to_string(held) + " 件";
    }
    return line;
}

void buildLines(PreviewState& preview) {
    std::size_t deletions = 0;
    std::size_t copies = 0;
    std::size_t errors = 0;
    std::size_t held = 0;
    std::size_t mirrored = 0;
    std::size_t unsynced = 0;
    // The preview sees these folders as they are now; a run releases them before it looks.
    for (const std::string& folder : preview.protectedFolders) {
        preview.lines.push_back("【保護領域】" + folder +
                                " は保護中なので、中身を移した今の状態で調べています"
                                "（同期では解除してから調べます）");
    }
    for (const DefinitionPreview& definition : preview.found) {
        if (definition.unsynced) {
            // Its lines name the folders it lacks; it has no master and no counts.
            preview.lines.insert(preview.lines.end(), definition.lines.begin(),
                                 definition.lines.end());
            preview.lines.push_back("");
            ++unsynced;
            continue;
        }
        preview.lines.push_back("【マスターフォルダ】" + (definition.master.empty()
                                                              ? std::string("（なし）")
                                                              : definition.master));
        preview.lines.insert(preview.lines.end(), definition.lines.begin(), definition.lines.end());
        std::string counts =
            countsLine(definition.deletions, definition.copies, definition.errors, definition.held);
        if (definition.questions != 0) {
            counts += "（実行すると削除の前に確認します。「いいえ」ならこの定義は同期しません）";
        }
        preview.lines.push_back(counts);
        preview.lines.push_back("");
        deletions += definition.deletions;
        copies += definition.copies;
        errors += definition.errors;
        held += definition.held;
        ++mirrored;
    }
    std::string total = "【合計】" + std::to_string(mirrored) + " 定義：" +
                        countsLine(deletions, copies, errors, held);
    if (unsynced > 0) {
        total += "、同期しない定義 " + std::to_string(unsynced) + " 件";
    }
    preview.lines.push_back(total);
    preview.found.clear();
}

void setStatus(const std::string& text) {
    SetDlgItemTextA(state->window, kIdPreviewStatus, text.c_str());
}

void layout(HWND window) {
    RECT client;
    GetClientRect(window, &client);
    const int width = client.right - client.left;
    const int height = client.bottom - client.top;
    MoveWindow(GetDlgItem(window, kIdPreviewStatus), kMargin, kMargin, width - 2 * kMargin,
               kStatusHeight, TRUE);
    const int listTop = kMargin + kStatusHeight + kMargin / 2;
    const int buttonTop = height - kMargin - kButtonHeight;
    MoveWindow(GetDlgItem(window, kIdPreviewList), kMargin, listTop, width - 2 * kMargin,
               std::max(0, buttonTop - kMargin - listTop), TRUE);
    MoveWindow(GetDlgItem(window, kIdPreviewClose), width - kMargin - kButtonWidth, buttonTop,
               kButtonWidth, kButtonHeight, TRUE);
    HWND list = GetDlgItem(window, kIdPreviewList);
    RECT listClient;
    GetClientRect(list, &listClient);
    SendMessageA(list, LVM_SETCOLUMNWIDTH, 0, std::max<LONG>(listClient.right, 4000));
}

HWND createChild(HWND window, DWORD extendedStyle, const char* className, const char* text,
                 DWORD style, int id) {
    HWND child = CreateWindowExA(
        extendedStyle, className, text, WS_CHILD | WS_VISIBLE | style, 0, 0, 10, 10, window,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleA(nullptr), nullptr);
    SendMessageA(child, WM_SETFONT, reinterpret_cast<WPARAM>(state->font.get()), FALSE);
    return child;
}

void initialise(HWND window) {
    state->window = window;
    state->font.reset(createUiFont(-12, FW_NORMAL, false, FF_SWISS));
    createChild(window, 0, "STATIC", "同期内容を調べています…", SS_LEFTNOWORDWRAP,
                kIdPreviewStatus);
    HWND list = createChild(window, WS_EX_CLIENTEDGE, WC_LISTVIEWA, "",
                            WS_TABSTOP | LVS_REPORT | LVS_OWNERDATA | LVS_NOCOLUMNHEADER |
                                LVS_SINGLESEL | LVS_SHOWSELALWAYS,
                            kIdPreviewList);
    SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
    LVCOLUMNA column = {};
    column.mask = LVCF_WIDTH;
    column.cx = 4000;
    SendMessageA(list, LVM_INSERTCOLUMNA, 0, reinterpret_cast<LPARAM>(&column));
    createChild(window, 0, "BUTTON", "中止", WS_TABSTOP | BS_DEFPUSHBUTTON, kIdPreviewClose);
    layout(window);
    SetFocus(GetDlgItem(window, kIdPreviewClose));

    state->computing = state->worker.start(&previewWorker, state);
    if (!state->computing) {
        setStatus("同期内容を調べられませんでした。");
        SetDlgItemTextA(window, kIdPreviewClose, "閉じる");
    }
}

void finish(bool complete) {
    state->worker.join(INFINITE);
    state->computing = false;
    if (state->closeWhenStopped) {
        CloseDialog(state->window, 0);
        return;
    }
    buildLines(*state);
    setStatus(complete
                  ? "同期を実行すると次のとおりになります（ファイルはまだ変更されていません）。"
                  : "中止しました。");
    HWND list = GetDlgItem(state->window, kIdPreviewList);
    SendMessageA(list, LVM_SETITEMCOUNT, state->lines.size(), 0);
    SetDlgItemTextA(state->window, kIdPreviewClose, "閉じる");
    SetFocus(list);
}

// While the worker runs, closing asks it to stop; the window goes when its last message
// comes, since the worker may be waiting on the window in a send.
void requestClose() {
    if (state->computing) {
        state->closeWhenStopped = true;
        state->worker.requestStop();
        setStatus("中止しています…");
        return;
    }
    CloseDialog(state->window, 0);
}

void onDisplayInfo(NMLVDISPINFOA& info) {
    if ((info.item.mask & LVIF_TEXT) == 0) {
        return;
    }
    const std::size_t index = static_cast<std::size_t>(info.item.iItem);
    if (index < state->lines.size()) {
        // The list copies the text at once; the table outlives the call anyway.
        info.item.pszText = const_cast<char*>(state->lines[index].c_str());
    }
}

} // namespace

LRESULT CALLBACK syncPreviewProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        initialise(window);
        return 0;
    case WM_SIZE:
        layout(window);
        return 0;
    case WM_GETMINMAXINFO: {
        auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
        info->ptMinTrackSize.x = 320;
        info->ptMinTrackSize.y = 200;
        return 0;
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == kIdPreviewClose) {
            requestClose();
        }
        return 0;
    case WM_CLOSE:
        requestClose();
        return 0;
    case WM_NOTIFY: {
        auto* header = reinterpret_cast<NMHDR*>(lParam);
        if (header->idFrom == kIdPreviewList && header->code == LVN_GETDISPINFOA) {
            onDisplayInfo(*reinterpret_cast<NMLVDISPINFOA*>(lParam));
        }
        return 0;
    }
    case kMsgMasterFolder:
    case kMsgDeleting:
    case kMsgCopying:
    case kMsgUnsynced:
        // The sender owns the text and waits: shown at once, never kept.
        if (lParam != 0 && !state->closeWhenStopped) {
            setStatus(std::string("調査中：") + reinterpret_cast<const char*>(lParam));
        }
        return 0;
    case kMsgPreviewDone:
        finish(lParam == 1);
        return 0;
    default:
        // The commands of "Sync.Run." lines come here too: a preview starts nothing.
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

void showSyncPreview(HWND owner, const std::string& definitionText,
                     const std::vector<std::string>& protectedFolders, int holdingDays) {
    PreviewState preview;
    preview.holdingDays = holdingDays;
    preview.text = definitionText;
    preview.protectedFolders = protectedFolders;
    PreviewState* outer = state;
    state = &preview;
    RunDialog(owner, "SyncPreview");
    state = outer;
}
