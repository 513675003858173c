#include "ui/mirror_edit_dialog.h"

#include <cstring>

#include "base/file_system.h"
#include "base/path.h"
#include "base/text_buffer.h"
#include "base/text_search.h"
#include "sync/drive_label.h"
#include "sync/exclusion_filter.h"
#include "ui/dialog_controls.h"
#include "ui/dialog_host.h"
#include "ui/shell_owners.h"
#include "ui/ui_ids.h"
#include "ui/ui_resources.h"
#include "ui/window_record.h"

namespace {

constexpr DWORD kFieldStyle = WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL;
constexpr DWORD kButtonStyle = WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON;

const ControlEntry kControls[] = {
    {kIdMirrorGroup, "BUTTON", "同期するフォルダ", 0, WS_CHILD | WS_VISIBLE | BS_GROUPBOX, 14, 17,
     445, 152},
    {kIdMirrorFolder1, "EDIT", "", WS_EX_CLIENTEDGE, kFieldStyle, 27, 39, 368, 22},
    {kIdMirrorFolder2, "EDIT", "", WS_EX_CLIENTEDGE, kFieldStyle, 27, 74, 368, 22},
    {kIdMirrorFolder3, "EDIT", "", WS_EX_CLIENTEDGE, kFieldStyle, 27, 107, 369, 22},
    {kIdMirrorSubfolders, "BUTTON", "サブフォルダも同期する", 0,
     WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX, 26, 140, 153, 18},
    {kIdMirrorByLabel, "BUTTON", "取り外せるドライブはラベルで指定する", 0,
     WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX, 200, 140, 250, 18},
    {kIdMirrorBrowse1, "BUTTON", "参照", 0, kButtonStyle, 397, 40, 48, 20},
    {kIdMirrorBrowse2, "BUTTON", "参照", 0, kButtonStyle, 397, 75, 48, 20},
    {kIdMirrorBrowse3, "BUTTON", "参照", 0, kButtonStyle, 397, 107, 48, 20},
    {kIdMirrorExclusionGroup, "BUTTON", "同期しないもの（1行に1つ）", 0,
     WS_CHILD | WS_VISIBLE | BS_GROUPBOX, 14, 177, 445, 113},
    {kIdMirrorExclusions, "EDIT", "", WS_EX_CLIENTEDGE,
     WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL |
         ES_WANTRETURN,
     27, 197, 290, 82},
    {kIdMirrorUsualExclusions, "BUTTON", "よくあるものを入れる", 0, kButtonStyle, 325, 197, 120,
     24},
    {kIdMirrorExclusionHint, "STATIC", "「*」「?」が使えます。\r\n末尾が「\\」ならフォルダだけ。",
     0, WS_CHILD | WS_VISIBLE, 325, 229, 125, 48},
    {kIdMirrorAdd, "BUTTON", "定義を追加する", 0,
     WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 90, 308, 104, 25},
    {kIdMirrorCancel, "BUTTON", "キャンセル", 0, kButtonStyle, 258, 309, 103, 23},
};

const int kFields[] = {kIdMirrorFolder1, kIdMirrorFolder2, kIdMirrorFolder3};

const char kSyncKeyword[] = "Sync.";
const char kExcludeLine[] = "Option.Exclude:";
const char kOptionKeyword[] = "Option.";
const char kNoSubDirectory[] = "NoSubDirectory";

struct MirrorEditState {
    HWND window = nullptr;
    HWND lastFocus = nullptr;
};

std::string withoutTrailingSeparators(const std::string& path) {
    return path.substr(0, path::lengthWithoutTrailingSeparators(path.data(), path.size()));
}

bool inLabelForm(const std::string& field) {
    std::string label;
    std::string below;
    return splitLabelForm(withoutTrailingSeparators(field), label, below);
}

// What a folder line made of the field would stand for, with the label form as the check
// box asks for it: on, a folder on a removable drive with a label is named by the label;
// off, a field in label form becomes the folder's path. Anything else stays as typed.
std::string lineOfField(const std::string& field, bool byLabel) {
    const std::string folder = folderOfField(field);
    std::string labelForm;
    if (byLabel && labelFormOf(folder, labelForm)) {
        return labelForm;
    }
    if (!byLabel && inLabelForm(field) && !folder.empty()) {
        return folder;
    }
    return field;
}

// The check box has something to do only while a field names a folder on a removable drive
// with a label, or is in label form.
void updateLabelBox(MirrorEditState& state) {
    bool offered = false;
    for (int id : kFields) {
        const std::string field = controlText(state.window, id);
        std::string labelForm;
        if (inLabelForm(field) || labelFormOf(folderOfField(field), labelForm)) {
            offered = true;
        }
    }
    EnableWindow(GetDlgItem(state.window, kIdMirrorByLabel), offered ? TRUE : FALSE);
}

// The lines of the exclusions field, blanks around each dropped, empty ones left out.
std::vector<std::string> exclusionLines(HWND dialog) {
    const std::string text = controlText(dialog, kIdMirrorExclusions);
    std::vector<std::string> lines;
    for (std::size_t start = 0; start <= text.size();) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
        std::size_t first = start;
        std::size_t last = end;
        while (first < last && blank(text[first])) {
            ++first;
        }
        while (last > first && blank(text[last - 1])) {
            --last;
        }
        if (last > first) {
            lines.push_back(text.substr(first, last - first));
        }
        start = end + 1;
    }
    return lines;
}

// Adds the usual patterns the field lacks (in ASCII case, as a pattern matches) after what
// the user wrote there.
void onUsualExclusions(MirrorEditState& state) {
    const std::vector<std::string> lines = exclusionLines(state.window);
    std::string text = controlText(state.window, kIdMirrorExclusions);
    for (const char* usual : kUsualExclusions) {
        bool present = false;
        for (const std::string& line : lines) {
            present = present || lstrcmpiA(line.c_str(), usual) == 0;
        }
        if (!present) {
            if (!text.empty() && text.back() != '\n') {
                text += "\r\n";
            }
            text += usual;
        }
    }
    SetDlgItemTextA(state.window, kIdMirrorExclusions, text.c_str());
}

void onInitDialog(MirrorEditState& state) {
    createControls(state.window, kControls, dialogFont(FontSlot::MirrorEdit));
    std::string& exchange = exchangeText();
    const SelectedExclusions exclusions = exclusionsOfSelection(exchange);
    const SelectedDefinition selected = definitionOfSelection(exclusions.rest);
    for (std::size_t i = 0; i < selected.folders.size(); ++i) {
        SetDlgItemTextA(state.window, kFields[i], selected.folders[i].c_str());
    }
    std::string patterns;
    for (const std::string& pattern : exclusions.patterns) {
        patterns += (patterns.empty() ? "" : "\r\n") + pattern;
    }
    SetDlgItemTextA(state.window, kIdMirrorExclusions, patterns.c_str());
    // The selection goes back into the editor only as the lines of an added definition.
    exchange.clear();
    CheckDlgButton(state.window, kIdMirrorSubfolders,
                   selected.withSubfolders ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(state.window, kIdMirrorByLabel, BST_CHECKED);
    updateLabelBox(state);
    state.lastFocus = GetDlgItem(state.window, kIdMirrorFolder1);
}

int CALLBACK browserCallback(HWND browser, UINT message, LPARAM, LPARAM startFolder) {
    if (message == BFFM_INITIALIZED && startFolder != 0) {
        // The browser finds the folder by walking its tree step by step; under Wine that
        // walk misses now and then (about one opening in twelve in the tests) and selects
        // nothing, while a second walk finds the folder.
        for (int attempt = 0; attempt < 3; ++attempt) {
            if (SendMessageA(browser, BFFM_SETSELECTIONA, TRUE, startFolder) != 0) {
                break;
            }
        }
    }
    return 0;
}

void browseForFolder(MirrorEditState& state, int fieldId) {
    HWND field = GetDlgItem(state.window, fieldId);
    TextBuffer buffer;
    GetWindowTextA(field, buffer.data(), static_cast<int>(buffer.size()));
    std::string start;
    if (fieldNamesFolder(buffer.text())) {
        start = folderOfField(buffer.text());
        if (start.size() == 2) {
            start += '\\'; // the browser finds a drive by its root
        }
    }

    ComApartment com;
    char displayName[MAX_PATH] = {};
    BROWSEINFOA browse = {};
    browse.hwndOwner = state.window;
    browse.pszDisplayName = displayName;
    browse.lpszTitle = "同期するフォルダを選んでください";
    browse.ulFlags = BIF_RETURNONLYFSDIRS;
    browse.lpfn = &browserCallback;
    browse.lParam = start.empty() ? 0 : reinterpret_cast<LPARAM>(start.c_str());
    ItemIdList chosen(SHBrowseForFolderA(&browse));
    if (!chosen) {
        return;
    }
    buffer.reserve(kDefaultTextBufferSize);
    if (SHGetPathFromIDListA(chosen.get(), buffer.data()) && buffer.data()[0] != '\0') {
        SetWindowTextA(field, buffer.data());
    }
}

void onDropFiles(MirrorEditState& state, HDROP drop) {
    DropHandle dropped(drop);
    TextBuffer buffer;
    if (DragQueryFileA(drop, 0, buffer.data(), static_cast<UINT>(buffer.size())) == 0) {
        return;
    }
    if (!fieldNamesFolder(buffer.text())) {
        return;
    }
    for (int id : kFields) {
        HWND field = GetDlgItem(state.window, id);
        if (GetWindowTextLengthA(field) == 0) {
            SetWindowTextA(field, buffer.data());
            return;
        }
    }
}

// Offers to create a missing folder with every missing folder above it; whatever the
// answer, the field is tested again when the definition is built. A folder named by a label
// that no drive, or more than one, carries cannot be made: the field is left out.
void offerToCreate(HWND dialog, const std::string& path) {
    const std::string folder = folderOfField(path);
    if (folder.empty() && inLabelForm(path)) {
        const std::string failure = "フォルダ \"" + path +
                                    "\" のラベルのドライブが見つからないか、同じラベルのドライブが"
                                    "複数あるため、このフォルダは定義に入れません。";
        MessageBoxA(dialog, failure.c_str(), kProductTitle, MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    const std::string question =
        "指定されたフォルダ \"" + path + "\" は存在しません。\r\n\r\n" + "新規に作成しますか？";
    if (MessageBoxA(dialog, question.c_str(), kProductTitle, MB_YESNO | MB_ICONQUESTION) != IDYES) {
        return;
    }
    if (!createFolderPath(folder)) {
        const std::string failure = "フォルダ \"" + path + "\" の作成に失敗しました。";
        MessageBoxA(dialog, failure.c_str(), kProductTitle, MB_OK);
    }
}

// The exclusion lines of the definition, "" when there are none; false, after telling the
// user which pattern cannot be used, when one cannot.
bool composeExclusions(HWND dialog, std::string& lines) {
    lines.clear();
    for (const std::string& pattern : exclusionLines(dialog)) {
        ExclusionFilter check;
        if (!check.add(pattern)) {
            const std::string message =
                "「" + pattern + "」は同期しないものの指定に使えません。\r\n\r\n" +
                "名前に使えない文字（: \" < > | /）、空の名前（\\\\）、「.」「..」は書けません。";
            MessageBoxA(dialog, message.c_str(), kProductTitle, MB_OK | MB_ICONEXCLAMATION);
            SetFocus(GetDlgItem(dialog, kIdMirrorExclusions));
            return false;
        }
        lines += std::string(kSyncKeyword) + kExcludeLine + check.patterns().front() + "\r\n";
    }
    return true;
}

void onAdd(MirrorEditState& state) {
    // Asked first: a pattern to correct is no reason to create folders.
    std::string exclusions;
    if (!composeExclusions(state.window, exclusions)) {
        return;
    }
    for (int id : kFields) {
        const std::string path = controlText(state.window, id);
        if (!path.empty() && !fieldNamesFolder(path)) {
            offerToCreate(state.window, path);
        }
    }

    const bool byLabel = IsDlgButtonChecked(state.window, kIdMirrorByLabel) == BST_CHECKED;
    std::string lines = "\r\n" + exclusions;
    int counted = 0;
    for (int id : kFields) {
        const std::string path = controlText(state.window, id);
        if (fieldNamesFolder(path)) {
            lines += kSyncKeyword + lineOfField(path, byLabel) + "\r\n";
            ++counted;
        }
    }
    if (counted >= 2) {
        if (IsDlgButtonChecked(state.window, kIdMirrorSubfolders) != BST_CHECKED) {
            lines = std::string("\r\n") + kSyncKeyword + kOptionKeyword + kNoSubDirectory + lines;
        }
        exchangeText() = lines;
        CloseDialog(state.window, 1);
        return;
    }
    MessageBoxA(state.window,
                "同期フォルダの定義を追加できませんでした。\r\n\r\n"
                "指定されたフォルダパスが無効です。\r\n"
                "存在するフォルダを２つ以上指定してください。\r\n",
                kProductTitle, MB_OK | MB_ICONEXCLAMATION);
}

void onCommand(MirrorEditState& state, int id, int notification) {
    if (notification == EN_CHANGE) {
        if (id != kIdMirrorExclusions) {
            updateLabelBox(state);
        }
        return;
    }
    if (notification != BN_CLICKED) {
        return;
    }
    switch (id) {
    case kIdMirrorBrowse1:
        browseForFolder(state, kIdMirrorFolder1);
        break;
    case kIdMirrorBrowse2:
        browseForFolder(state, kIdMirrorFolder2);
        break;
    case kIdMirrorBrowse3:
        browseForFolder(state, kIdMirrorFolder3);
        break;
    case kIdMirrorUsualExclusions:
        onUsualExclusions(state);
        break;
    case kIdMirrorAdd:
        onAdd(state);
        break;
    case kIdMirrorCancel:
    case IDCANCEL: // the Esc key
        CloseDialog(state.window, 0);
        break;
    default:
        break;
    }
}

LRESULT handleMessage(MirrorEditState& state, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        onInitDialog(state);
        return 0;
    case WM_COMMAND:
        onCommand(state, LOWORD(wParam), HIWORD(wParam));
        return 0;
    case WM_DROPFILES:
        onDropFiles(state, reinterpret_cast<HDROP>(wParam));
        return 0;
    case WM_CLOSE:
        CloseDialog(state.window, 0);
        return 0;
    case WM_ACTIVATE:
        keepFocusOnActivate(state.window, wParam, state.lastFocus);
        return 0;
    case DM_GETDEFID:
        return MAKELRESULT(kIdMirrorAdd, DC_HASDEFID);
    default:
        return DefWindowProcA(state.window, message, wParam, lParam);
    }
}

} // namespace

const char* const kUsualExclusions[4] = {"~$*", "Thumbs.db", "desktop.ini", "*.tmp"};

SelectedExclusions exclusionsOfSelection(const std::string& selection) {
    constexpr std::size_t keywordLength = sizeof kSyncKeyword - 1;
    constexpr std::size_t lineKeywordLength = sizeof kExcludeLine - 1;
    const std::string text = selection.c_str(); // up to a zero byte, as the editor holds it
    SelectedExclusions result;
    for (std::size_t start = 0; start < text.size();) {
        std::size_t next = text.find('\n', start);
        next = next == std::string::npos ? text.size() : next + 1;
        std::size_t end = next;
        while (end > start && (text[end - 1] == '\n' || text[end - 1] == '\r')) {
            --end;
        }
        const std::size_t found =
            findIgnoringCase(text.data() + start, end - start, kSyncKeyword, keywordLength);
        const std::size_t body = start + found + keywordLength;
        if (found != std::string::npos &&
            text.compare(body, lineKeywordLength, kExcludeLine) == 0) {
            result.patterns.push_back(
                text.substr(body + lineKeywordLength, end - body - lineKeywordLength));
        } else {
            result.rest += text.substr(start, next - start);
        }
        start = next;
    }
    return result;
}

SelectedDefinition definitionOfSelection(const std::string& selection) {
    constexpr std::size_t keywordLength = sizeof kSyncKeyword - 1;
    constexpr std::size_t optionLength = sizeof kOptionKeyword - 1;
    const std::string text = selection.c_str(); // up to a zero byte, as the editor holds it
    SelectedDefinition selected;
    std::size_t from = 0;
    // The whole selection is read: an option line below the third folder still belongs to
    // the definition that the added lines replace.
    for (;;) {
        const std::size_t found =
            findIgnoringCase(text.data() + from, text.size() - from, kSyncKeyword, keywordLength);
        if (found == std::string::npos) {
            break;
        }
        const std::size_t start = from + found + keywordLength;
        const std::size_t lineEnd = text.find('\r', start);
        if (lineEnd == std::string::npos) {
            break;
        }
        const std::string line = text.substr(start, lineEnd - start);
        // As a run reads it: "Option." and its value exactly, case included.
        if (line.compare(0, optionLength, kOptionKeyword) == 0) {
            if (line.compare(optionLength, std::string::npos, kNoSubDirectory) == 0) {
                selected.withSubfolders = false;
            }
        } else if (selected.folders.size() < 3) {
            selected.folders.push_back(line);
        }
        from = lineEnd;
    }
    return selected;
}

std::string folderOfField(const std::string& field) {
    const std::string trimmed = withoutTrailingSeparators(field);
    std::string label;
    std::string below;
    if (!splitLabelForm(trimmed, label, below)) {
        return trimmed;
    }
    const LabelledFolder found = findLabelledFolder(label, below);
    return found.found == LabelledFolder::Found::one ? found.path : std::string();
}

bool fieldNamesFolder(const std::string& field) {
    const std::string folder = folderOfField(field);
    return !folder.empty() && folderExists(folder);
}

LRESULT CALLBACK mirrorEditProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    return recordProcedure<MirrorEditState, &handleMessage>(dialog, message, wParam, lParam);
}
