#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "dialog_user.h"
#include "support/files.h"
#include "ui/dialog_host.h"
#include "ui/ui_ids.h"
#include "ui/ui_resources.h"
#include "ui/version_window.h"

namespace {

const char kCaption[] = "Syncoravel";

LOGFONTA fontOf(HWND control) {
    LOGFONTA font = {};
    GetObjectA(reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0)), sizeof font,
               &font);
    return font;
}

class VersionWindowTest : public DialogTest {};

TEST_F(VersionWindowTest, TitleVersionIconRuleAndLink) {
    ASSERT_NE(start("Sync.D:\r\n"), nullptr);
    struct Label {
        int id;
        const char* className;
        int x, y, width, height;
        std::string text;
        LOGFONTA font;
    };
    std::vector<Label> labels = {
        {kIdVersionTitle, "Static", 80, 12, 200, 22, "", {}},
        {kIdVersionLine, "Static", 150, 43, 104, 15, "", {}},
        {kIdVersionCopyright, "Static", 80, 70, 186, 22, "", {}},
        {kIdVersionLink, "Static", 80, 94, 163, 22, "", {}},
        {kIdVersionClose, "Button", 278, 135, 66, 22, "", {}},
        {kIdVersionIcon, "Static", 20, 46, 32, 32, "", {}},
    };
    std::string caption;
    SIZE size = {};
    std::vector<std::string> wrong;
    ICONINFO iconInfo = {};
    BITMAP iconBitmap = {};
    bool smallIcon = false;
    // Along the rule's row: before it, on it, after it; and the row below it.
    std::vector<COLORREF> ruleRow;
    COLORREF belowRule = 0;
    bool blueInLink = false;
    bool blueElsewhere = false;
    SIZE linkExtent = {};
    const int result = runDialogAsUser("VersionInfo", kCaption, [&](HWND dialog) {
        caption = textOf(dialog);
        RECT frame;
        GetWindowRect(dialog, &frame);
        size = {frame.right - frame.left, frame.bottom - frame.top};
        for (Label& label : labels) {
            HWND control = GetDlgItem(dialog, label.id);
            char className[32] = {};
            GetClassNameA(control, className, sizeof className);
            const RECT place = placeOf(dialog, control);
            if (lstrcmpiA(className, label.className) != 0 || place.left != label.x ||
                place.top != label.y || place.right - place.left != label.width ||
                place.bottom - place.top != label.height) {
                wrong.push_back(std::to_string(label.id));
            }
            label.text = textOf(control);
            label.font = fontOf(control);
        }
        HICON icon =
            reinterpret_cast<HICON>(SendDlgItemMessageA(dialog, kIdVersionIcon, STM_GETICON, 0, 0));
        if (icon != nullptr && GetIconInfo(icon, &iconInfo)) {
            GetObjectA(iconInfo.hbmColor, sizeof iconBitmap, &iconBitmap);
            DeleteObject(iconInfo.hbmColor);
            DeleteObject(iconInfo.hbmMask);
        }
        smallIcon = SendMessageA(dialog, WM_GETICON, ICON_SMALL, 0) != 0;

        RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
        Sleep(300);
        HDC dc = GetDC(dialog);
        for (int x : {76, 80, 200, 339, 344}) {
            ruleRow.push_back(GetPixel(dc, x, 60));
        }
        belowRule = GetPixel(dc, 200, 62);
        ReleaseDC(dialog, dc);
        // The link draws its text in pure blue; no other label does.
        auto holdsBlue = [](HWND control) {
            RECT client;
            GetClientRect(control, &client);
            HDC controlDc = GetDC(control);
            bool found = false;
            for (int y = 0; y < client.bottom && !found; ++y) {
                for (int x = 0; x < client.right && !found; ++x) {
                    found = GetPixel(controlDc, x, y) == RGB(0, 0, 255);
                }
            }
            ReleaseDC(control, controlDc);
            return found;
        };
        blueInLink = holdsBlue(GetDlgItem(dialog, kIdVersionLink));
        // The link's text fits its label.
        HWND link = GetDlgItem(dialog, kIdVersionLink);
        HDC linkDc = GetDC(link);
        HGDIOBJ previousFont =
            SelectObject(linkDc, reinterpret_cast<HFONT>(SendMessageA(link, WM_GETFONT, 0, 0)));
        const std::string linkText = textOf(link);
        GetTextExtentPoint32A(linkDc, linkText.c_str(), static_cast<int>(linkText.size()),
                              &linkExtent);
        SelectObject(linkDc, previousFont);
        ReleaseDC(link, linkDc);
        blueElsewhere = holdsBlue(GetDlgItem(dialog, kIdVersionCopyright));
        press(GetDlgItem(dialog, kIdVersionClose));
    });

    EXPECT_EQ(result, 0);
    EXPECT_EQ(caption, "Syncoravel");
    EXPECT_EQ(size.cx, 360);
    EXPECT_EQ(size.cy, 200);
    EXPECT_TRUE(wrong.empty()) << testing::PrintToString(wrong);
    EXPECT_EQ(labels[0].text, "Syncoravel");
    EXPECT_EQ(labels[1].text, "Version " SYNCORAVEL_VERSION);
    EXPECT_NE(labels[2].text.find("Syncoravel"), std::string::npos);
    EXPECT_EQ(labels[3].text, "使い方ガイド（guide-ja.html）");
    EXPECT_EQ(labels[4].text, "閉じる");

    const LOGFONTA& title = labels[0].font;
    EXPECT_EQ(title.lfHeight, -15);
    EXPECT_EQ(title.lfWeight, FW_BOLD);
    EXPECT_FALSE(title.lfUnderline);
    EXPECT_EQ(title.lfPitchAndFamily, 50);
    EXPECT_EQ(title.lfCharSet, SHIFTJIS_CHARSET);
    EXPECT_STREQ(title.lfFaceName, "ＭＳ Ｐゴシック");
    const LOGFONTA& link = labels[3].font;
    EXPECT_EQ(link.lfHeight, -12);
    EXPECT_EQ(link.lfWeight, FW_NORMAL);
    EXPECT_TRUE(link.lfUnderline);
    EXPECT_EQ(link.lfPitchAndFamily, 50);
    EXPECT_STREQ(link.lfFaceName, "ＭＳ Ｐゴシック");
    for (int i : {1, 2, 4}) {
        EXPECT_EQ(labels[i].font.lfHeight, -12) << labels[i].id;
        EXPECT_FALSE(labels[i].font.lfUnderline) << labels[i].id;
        EXPECT_EQ(labels[i].font.lfWeight, FW_NORMAL) << labels[i].id;
    }

    EXPECT_EQ(iconBitmap.bmWidth, GetSystemMetrics(SM_CXICON));
    EXPECT_EQ(iconBitmap.bmHeight, GetSystemMetrics(SM_CYICON));
    EXPECT_TRUE(smallIcon);
    const COLORREF black = RGB(0, 0, 0);
    EXPECT_NE(ruleRow[0], black);
    EXPECT_EQ(ruleRow[1], black);
    EXPECT_EQ(ruleRow[2], black);
    EXPECT_EQ(ruleRow[3], black);
    EXPECT_NE(ruleRow[4], black);
    EXPECT_NE(belowRule, black);
    EXPECT_TRUE(blueInLink);
    EXPECT_FALSE(blueElsewhere);
    EXPECT_LE(linkExtent.cx, 163);
}

// Every way of closing the window gives 0 and gives the main window back.
TEST_F(VersionWindowTest, EveryWayOfClosingGivesZero) {
    struct Way {
        const char* name;
        std::function<void(HWND)> close;
    } const ways[] = {
        {"close button", [](HWND dialog) { press(GetDlgItem(dialog, kIdVersionClose)); }},
        {"close box", [](HWND dialog) { PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); }},
        {"Alt+F4",
         [](HWND dialog) {
             // The keys as the keyboard sends them to the window with the focus.
             HWND focus = GetDlgItem(dialog, kIdVersionClose);
             const LPARAM altDown = 1 | (1 << 29);
             PostMessageA(focus, WM_SYSKEYDOWN, VK_MENU, altDown);
             PostMessageA(focus, WM_SYSKEYDOWN, VK_F4, altDown);
             PostMessageA(focus, WM_SYSKEYUP, VK_F4, altDown | (3u << 30));
             PostMessageA(focus, WM_KEYUP, VK_MENU, 1 | (3u << 30));
         }},
        {"Esc key",
         [](HWND dialog) {
             PostMessageA(GetDlgItem(dialog, kIdVersionClose), WM_KEYDOWN, VK_ESCAPE, 1);
         }},
    };
    ASSERT_NE(start("Sync.D:\r\n"), nullptr);
    for (const Way& way : ways) {
        SCOPED_TRACE(way.name);
        bool mainDisabled = false;
        const int result = runDialogAsUser("VersionInfo", kCaption, [&](HWND dialog) {
            mainDisabled = !IsWindowEnabled(window());
            way.close(dialog);
        });
        EXPECT_EQ(result, 0);
        EXPECT_TRUE(mainDisabled);
        EXPECT_TRUE(IsWindowEnabled(window()));
    }
    // Through the Help menu as well.
    bool shown = false;
    runAsUser(kCmdVersion, kCaption, [&](HWND dialog) {
        shown = true;
        PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
    });
    EXPECT_TRUE(shown);
    EXPECT_TRUE(IsWindowEnabled(window()));
}

TEST_F(VersionWindowTest, TheHandCursorOverTheLinkOnly) {
    ASSERT_NE(start("Sync.D:\r\n"), nullptr);
    const HCURSOR hand = LoadCursorA(nullptr, IDC_HAND);
    const HCURSOR arrow = LoadCursorA(nullptr, IDC_ARROW);
    struct Over {
        int id;
        HCURSOR expected;
        HCURSOR cursor = nullptr;
    };
    std::vector<Over> overs = {{kIdVersionLink, hand},
                               {kIdVersionCopyright, arrow},
                               {kIdVersionLine, arrow},
                               {kIdVersionLink, hand}};
    runDialogAsUser("VersionInfo", kCaption, [&](HWND dialog) {
        // Sharing the input state of the window's thread shows its cursor here.
        const DWORD windowThread = GetWindowThreadProcessId(dialog, nullptr);
        AttachThreadInput(GetCurrentThreadId(), windowThread, TRUE);
        // The pointer is moved by a pixel now and then: a late motion report of an earlier
        // position can set the cursor of the place the pointer has left.
        auto moveOver = [&](POINT at, HCURSOR expected) {
            for (int attempt = 0; attempt < 30; ++attempt) {
                SetCursorPos(at.x + attempt % 2, at.y);
                Sleep(100);
                if (GetCursor() == expected) {
                    Sleep(100);
                    if (GetCursor() == expected) {
                        break;
                    }
                }
            }
            return GetCursor();
        };
        POINT bare = {300, 20};
        ClientToScreen(dialog, &bare);
        moveOver(bare, arrow);
        for (Over& over : overs) {
            RECT rect;
            GetWindowRect(GetDlgItem(dialog, over.id), &rect);
            over.cursor = moveOver({rect.left + 4, rect.top + 4}, over.expected);
        }
        AttachThreadInput(GetCurrentThreadId(), windowThread, FALSE);
        press(GetDlgItem(dialog, kIdVersionClose));
    });
    for (const Over& over : overs) {
        EXPECT_EQ(over.cursor, over.expected) << over.id;
    }
}

// What opens an .html file, for one test: the program's prefix has no browser, so the test
// gives the file type a command of its own and takes it away again.
class HtmlAssociation {
  public:
    explicit HtmlAssociation(const std::string& command) {
        RegSetValueA(HKEY_CLASSES_ROOT, ".html", REG_SZ, kType, 0);
        RegSetValueA(HKEY_CLASSES_ROOT, (std::string(kType) + "\\shell\\open\\command").c_str(),
                     REG_SZ, command.c_str(), 0);
    }
    ~HtmlAssociation() {
        RegDeleteTreeA(HKEY_CLASSES_ROOT, kType);
        RegDeleteTreeA(HKEY_CLASSES_ROOT, ".html");
    }
    HtmlAssociation(const HtmlAssociation&) = delete;
    HtmlAssociation& operator=(const HtmlAssociation&) = delete;

  private:
    static constexpr const char* kType = "SyncoravelTestGuide";
};

// A click on the link opens the guide beside the program and leaves the window open; a
// guide that is missing or that nothing opens is told, with what to do. The command that
// stands in for the browser copies the file it is given, so the opening leaves a trace.
TEST_F(VersionWindowTest, AClickOnTheLinkOpensTheGuideBesideTheProgram) {
    const std::string marker = temp_.at("開いたガイド.html");
    struct Case {
        const char* name;
        bool guideThere;
        std::string command; // empty: the type stays without a command
        bool opened;
        std::string boxStart; // empty: no box
    } const cases[] = {
        {"the guide opens", true,
         "C:\\windows\\system32\\cmd.exe /c copy \"%1\" \"" + marker + "\"", true, ""},
        {"no guide beside the program", false,
         "C:\\windows\\system32\\cmd.exe /c copy \"%1\" \"" + marker + "\"", false,
         "使い方ガイドが見つかりません。\r\n"},
        {"nothing opens the guide", true, "C:\\どこにもない\\browser.exe \"%1\"", false,
         "使い方ガイドを開けませんでした。\r\n"},
    };
    ASSERT_NE(start("Sync.D:\r\n"), nullptr);
    const std::string guide = programFile("guide-ja.html");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DeleteFileA(marker.c_str());
        DeleteFileA(guide.c_str());
        if (c.guideThere) {
            support::writeFile(guide, "<html>ガイド表</html>");
        }
        HtmlAssociation association(c.command);
        const std::size_t boxesBefore = boxes_.seen().size();
        if (!c.boxStart.empty()) {
            boxes_.answer(IDOK);
        }
        bool opened = false;
        bool stillOpen = false;
        const int result = runDialogAsUser("VersionInfo", kCaption, [&](HWND dialog) {
            HWND link = GetDlgItem(dialog, kIdVersionLink);
            PostMessageA(link, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(4, 4));
            PostMessageA(link, WM_LBUTTONUP, 0, MAKELPARAM(4, 4));
            if (c.opened) {
                opened = waitUntil([&] { return support::pathExists(marker); }, 30000);
            } else {
                waitUntil([&] { return boxes_.seen().size() > boxesBefore; }, 30000);
            }
            Sleep(200);
            stillOpen = IsWindow(dialog) && IsWindowVisible(dialog);
            press(GetDlgItem(dialog, kIdVersionClose));
        });
        EXPECT_EQ(result, 0);
        EXPECT_TRUE(stillOpen);
        EXPECT_EQ(opened, c.opened);
        if (c.opened) {
            waitUntil([&] { return support::readFile(marker) == "<html>ガイド表</html>"; }, 5000);
            EXPECT_EQ(support::readFile(marker), "<html>ガイド表</html>");
        }
        const std::vector<support::SeenBox> seen = boxes_.seen();
        ASSERT_EQ(seen.size(), boxesBefore + (c.boxStart.empty() ? 0 : 1));
        if (!c.boxStart.empty()) {
            const support::SeenBox& box = seen.back();
            EXPECT_EQ(box.caption, "Syncoravel");
            EXPECT_EQ(box.text.rfind(c.boxStart + guide + "\r\n\r\n", 0), 0u)
                << support::utf8(box.text);
            EXPECT_TRUE(box.anyIcon);
            EXPECT_EQ(box.buttons, std::vector<int>{IDOK});
        }
    }
    DeleteFileA(guide.c_str());
}

// What the window's link label looks like when it is destroyed: whether it has its own
// procedure back by then.
std::vector<bool> linkRestoredAtDestroy;

LRESULT CALLBACK watchDestroy(int code, WPARAM wParam, LPARAM lParam) {
    const auto* call = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && call->message == WM_DESTROY &&
        GetDlgCtrlID(call->hwnd) == kIdVersionLink) {
        char parentClass[32] = {};
        GetClassNameA(GetParent(call->hwnd), parentClass, sizeof parentClass);
        if (std::string(parentClass) == "NORMALDLG") {
            linkRestoredAtDestroy.push_back(
                GetWindowLongPtrA(call->hwnd, GWLP_WNDPROC) ==
                static_cast<LONG_PTR>(GetClassLongPtrA(call->hwnd, GCLP_WNDPROC)));
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// Each opening makes its icon and two fonts afresh and each closing releases them, with
// the link's own procedure given back.
TEST_F(VersionWindowTest, OpeningManyTimesHoldsNothing) {
    ASSERT_NE(start("Sync.D:\r\n"), nullptr);
    linkRestoredAtDestroy.clear();
    HHOOK hook = SetWindowsHookExA(WH_CALLWNDPROC, &watchDestroy, nullptr, GetCurrentThreadId());
    ASSERT_NE(hook, nullptr);

    // Wine does not count the objects of a process (it reports 0); where the counts are
    // kept, they must come back to where they were.
    auto counts = [] {
        return std::make_pair(GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS),
                              GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS));
    };
    // A first opening, so that whatever the system creates once is there already.
    runDialogAsUser("VersionInfo", kCaption,
                    [](HWND dialog) { press(GetDlgItem(dialog, kIdVersionClose)); });
    const auto before = counts();

    constexpr int kOpenings = 25;
    int subclassedWhileOpen = 0;
    int fontsDeleted = 0;
    int iconsDestroyed = 0;
    for (int i = 0; i < kOpenings; ++i) {
        HFONT titleFont = nullptr;
        HFONT linkFont = nullptr;
        HICON icon = nullptr;
        runDialogAsUser("VersionInfo", kCaption, [&](HWND dialog) {
            HWND link = GetDlgItem(dialog, kIdVersionLink);
            titleFont = reinterpret_cast<HFONT>(
                SendDlgItemMessageA(dialog, kIdVersionTitle, WM_GETFONT, 0, 0));
            linkFont = reinterpret_cast<HFONT>(SendMessageA(link, WM_GETFONT, 0, 0));
            icon = reinterpret_cast<HICON>(
                SendDlgItemMessageA(dialog, kIdVersionIcon, STM_GETICON, 0, 0));
            if (GetWindowLongPtrA(link, GWLP_WNDPROC) !=
                static_cast<LONG_PTR>(GetClassLongPtrA(link, GCLP_WNDPROC))) {
                ++subclassedWhileOpen;
            }
            press(GetDlgItem(dialog, kIdVersionClose));
        });
        if (titleFont != nullptr && linkFont != nullptr && titleFont != linkFont &&
            titleFont != dialogFont(FontSlot::VersionInfo) && GetObjectType(titleFont) == 0 &&
            GetObjectType(linkFont) == 0) {
            ++fontsDeleted;
        }
        ICONINFO info = {};
        if (icon != nullptr && !GetIconInfo(icon, &info)) {
            ++iconsDestroyed;
        }
    }
    UnhookWindowsHookEx(hook);

    EXPECT_EQ(subclassedWhileOpen, kOpenings);
    EXPECT_EQ(fontsDeleted, kOpenings);
    EXPECT_EQ(iconsDestroyed, kOpenings);
    EXPECT_EQ(linkRestoredAtDestroy, std::vector<bool>(kOpenings + 1, true));
    EXPECT_EQ(counts(), before);
}

} // namespace
