#include "ui/ui_resources.h"

#include <iterator>

#include "base/scoped_handle.h"
#include "ui/ui_ids.h"

namespace {

constexpr int kFontCount = 6;
FontHandle fonts[kFontCount];
BrushHandle brush;

struct MenuItem {
    int id; // 0 for a separator
    const char* text;
};

// The keys of the accelerator table are shown beside their items.
const MenuItem kFileItems[] = {
    {kCmdOpenDefinitionFile, "定義ファイルを開く(&O)"},
    {kCmdSaveDefinitionFile, "上書き保存(&S)\tCtrl+S"},
    {kCmdOpenLogFile, "ログファイルを開く(&L)"},
    {0, nullptr},
    {kCmdRunSync, "同期実行(&E)\tF5"},
    {0, nullptr},
    {kCmdExit, "終了(&X)\tAlt+F4"},
};

const MenuItem kToolItems[] = {
    {kCmdAddMirrorDefinition, "ミラーリングの定義を追加(&A)"},
    {kCmdAddProgramDefinition, "外部実行プログラムの定義を追加(&P)"},
    {0, nullptr},
    {kCmdSyncPreview, "同期内容の確認(&V)"},
    {kCmdSecureArea, "保護領域を設定／解除する(&S)"},
};

const MenuItem kHelpItems[] = {
    {kCmdVersion, "バージョン情報(&V)"},
};

void insertAtTop(HMENU menu, const MenuItem& item) {
    MENUITEMINFOA info = {};
    info.cbSize = sizeof info;
    if (item.id == 0) {
        info.fMask = MIIM_FTYPE;
        info.fType = MFT_SEPARATOR;
    } else {
        info.fMask = MIIM_ID | MIIM_STRING;
        info.wID = static_cast<UINT>(item.id);
        info.dwTypeData = const_cast<char*>(item.text);
    }
    InsertMenuItemA(menu, 0, TRUE, &info);
}

template <std::size_t N> HMENU dropDown(const MenuItem (&items)[N]) {
    HMENU menu = CreatePopupMenu();
    for (std::size_t i = N; i > 0; --i) {
        insertAtTop(menu, items[i - 1]);
    }
    return menu;
}

void insertBarEntry(HMENU bar, HMENU dropDownMenu, const char* text) {
    MENUITEMINFOA info = {};
    info.cbSize = sizeof info;
    info.fMask = MIIM_SUBMENU | MIIM_STRING;
    info.hSubMenu = dropDownMenu;
    info.dwTypeData = const_cast<char*>(text);
    InsertMenuItemA(bar, 0, TRUE, &info);
}

} // namespace

HFONT createUiFont(int height, int weight, bool underline, BYTE pitchAndFamily) {
    return CreateFontA(height, 0, 0, 0, weight, FALSE, underline ? TRUE : FALSE, FALSE,
                       SHIFTJIS_CHARSET, OUT_STROKE_PRECIS, CLIP_STROKE_PRECIS, DRAFT_QUALITY,
                       pitchAndFamily, "ＭＳ Ｐゴシック");
}

bool createSharedResources() {
    bool ok = true;
    for (FontHandle& font : fonts) {
        font.reset(createUiFont(-12, FW_NORMAL, false, FF_SWISS));
        ok = ok && font.valid();
    }
    brush.reset(CreateSolidBrush(GetSysColor(COLOR_BTNFACE)));
    return ok && brush.valid();
}

void releaseSharedResources() {
    for (FontHandle& font : fonts) {
        font.reset();
    }
    brush.reset();
}

HFONT dialogFont(FontSlot slot) { return fonts[static_cast<int>(slot)].get(); }

HBRUSH backgroundBrush() { return brush.get(); }

MenuHandle createMainMenu() {
    MenuHandle bar(CreateMenu());
    HMENU help = dropDown(kHelpItems);
    insertBarEntry(bar.get(), help, "ヘルプ(&H)");
    HMENU tools = dropDown(kToolItems);
    insertBarEntry(bar.get(), tools, "ツール(&T)");
    HMENU file = dropDown(kFileItems);
    insertBarEntry(bar.get(), file, "ファイル(&F)");
    return bar;
}

AcceleratorHandle createMainAccelerators() {
    ACCEL keys[] = {
        {FVIRTKEY, VK_F5, static_cast<WORD>(kCmdRunSync)},
        {FVIRTKEY | FCONTROL, 'S', static_cast<WORD>(kCmdSaveDefinitionFile)},
        {FVIRTKEY, VK_ESCAPE, static_cast<WORD>(kCmdStopRun)},
    };
    return AcceleratorHandle(CreateAcceleratorTableA(keys, static_cast<int>(std::size(keys))));
}

bool registerWindowClasses(HINSTANCE instance, WNDPROC mainProcedure) {
    WNDCLASSEXA dialogClass = {};
    dialogClass.cbSize = sizeof dialogClass;
    dialogClass.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
    dialogClass.lpfnWndProc = DefWindowProcA;
    dialogClass.hInstance = instance;
    dialogClass.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
    dialogClass.hIconSm = LoadIconA(nullptr, IDI_WINLOGO);
    dialogClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    dialogClass.hbrBackground = backgroundBrush();
    dialogClass.lpszClassName = kDialogClass;
    if (RegisterClassExA(&dialogClass) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
        return false;
    }

    WNDCLASSEXA mainClass = dialogClass;
    mainClass.lpfnWndProc = mainProcedure;
    mainClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_WINDOW));
    mainClass.hIconSm = mainClass.hIcon;
    mainClass.lpszClassName = kMainClass;
    return RegisterClassExA(&mainClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}
