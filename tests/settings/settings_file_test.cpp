#include <gtest/gtest.h>

#include <windows.h>

#include <climits>
#include <string>
#include <vector>

#include "settings/program_location.h"
#include "settings/settings_file.h"
#include "support/files.h"
#include "support/temp_folder.h"
#include "support/unix_access.h"

namespace {

std::vector<std::string> toVector(const StringList& list) {
    return std::vector<std::string>(list.begin(), list.end());
}

// The attributes without the archive bit, which Wine reports for every file.
DWORD attributesOf(const std::string& path) {
    return GetFileAttributesA(path.c_str()) & ~DWORD(FILE_ATTRIBUTE_ARCHIVE);
}

// A program folder of its own on drive D: for every test.
class SettingsFileTest : public testing::Test {
  protected:
    SettingsFileTest()
        : location_{temp_.folder("プログラム表"), "Syncoravel.exe", "D:"}, settings_(location_) {}

    void writeSettings(const std::string& text) const {
        ASSERT_TRUE(support::writeFile(settings_.path(), text));
    }
    std::string defaultDefinitionFile() const { return location_.folder + "\\SyncDef.txt"; }

    support::TempFolder temp_;
    ProgramLocation location_;
    SettingsFile settings_;
};

TEST(ProgramLocationTest, SplitsTheModulePath) {
    struct Case {
        const char* modulePath;
        const char* folder;
        const char* fileName;
        const char* drive;
    } const cases[] = {
        {"D:\\Tools\\Syncoravel.exe", "D:\\Tools", "Syncoravel.exe", "D:"},
        {"E:\\ソフト\\表\\Syncoravel.exe", "E:\\ソフト\\表", "Syncoravel.exe", "E:"},
        {"C:\\ソ", "C:", "ソ", "C:"},
        {"C:/tools/sync.exe", "C:/tools", "sync.exe", "C:"},
    };
    for (const Case& c : cases) {
        const ProgramLocation location = programLocationOf(c.modulePath);
        EXPECT_EQ(location.folder, c.folder) << support::utf8(c.modulePath);
        EXPECT_EQ(location.fileName, c.fileName) << support::utf8(c.modulePath);
        EXPECT_EQ(location.drivePrefix, c.drive) << support::utf8(c.modulePath);
    }
    const ProgramLocation running = currentProgramLocation();
    EXPECT_EQ(running.fileName, "settings_tests.exe");
    EXPECT_EQ(pathInFolder(running.folder, running.fileName).substr(0, 2), running.drivePrefix);
}

TEST(ProgramLocationTest, WindowSizeSectionFollowsTheFileName) {
    EXPECT_EQ(windowSizeSectionName("D:\\x\\Pairwarden.ini"), "Pairwarden-WH-Size");
    EXPECT_EQ(windowSizeSettingsPath("D:\\x\\Pairwarden.ini"), "D:\\x\\Pairwarden.ini");
    EXPECT_EQ(windowSizeSettingsPath("D:\\x\\settings"), "D:\\x\\settings.ini");
    EXPECT_EQ(windowSizeSectionName("D:\\x\\settings"), "settings-WH-Size");
    EXPECT_EQ(windowSizeSectionName("D:\\x\\a.txt"), "a.txt-WH-Size");
    EXPECT_EQ(windowSizeSettingsPath("ini"), "ini.ini");
    EXPECT_EQ(windowSizeSectionName("D:\\表\\設定.ini"), "設定-WH-Size");
}

TEST_F(SettingsFileTest, NoSettingsFileReadsAsDefaults) {
    EXPECT_EQ(settings_.ReadDefSyncFile(), defaultDefinitionFile());
    StringList folders;
    EXPECT_EQ(settings_.ReadSecurePaths(folders), 0);
    EXPECT_TRUE(folders.empty());
    EXPECT_EQ(settings_.ReadSecureType(), 0);
    EXPECT_FALSE(support::pathExists(settings_.path())); // reading creates nothing
}

TEST_F(SettingsFileTest, DefinitionFileFallsBackToTheDefault) {
    const std::string existing = temp_.file("定義\\SyncDef表.txt", "Sync.D:\r\n");
    const std::string longValue(5000, 'L');
    struct Case {
        std::string stored;
        std::string expected;
    } const cases[] = {
        {existing, existing},
        {temp_.folder("定義"), defaultDefinitionFile()},
        {temp_.at("消えた.txt"), defaultDefinitionFile()},
        {"None", defaultDefinitionFile()},
        {temp_.at("定義\\*.txt"), defaultDefinitionFile()},
        {longValue, defaultDefinitionFile()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(support::utf8(c.stored.substr(0, 200)));
        writeSettings("[DefSyncFile]\r\nName=" + c.stored + "\r\n");
        EXPECT_EQ(settings_.ReadDefSyncFile(), c.expected);
    }

    settings_.WriteDefSyncFile(existing);
    EXPECT_EQ(settings_.ReadDefSyncFile(), existing);
    EXPECT_EQ(attributesOf(settings_.path()), DWORD(FILE_ATTRIBUTE_HIDDEN));
    // A hidden settings file can be written again.
    const std::string other = temp_.file("別.txt");
    settings_.WriteDefSyncFile(other);
    EXPECT_EQ(settings_.ReadDefSyncFile(), other);
}

TEST_F(SettingsFileTest, SecurePathsAreReadUpToTheFirstGap) {
    temp_.folder("保護\\ある");
    temp_.folder("保護\\親だけ");
    const std::string root = temp_.path().substr(2);
    writeSettings("[SecurePath]\r\n"
                  "TargetSecure1=" + root + "\\保護\\ある\r\n"
                  "TargetSecure2=" + root + "\\保護\\親だけ\\中身\r\n"
                  "TargetSecure3=" + root + "\\消えた\\中身\r\n"
                  "TargetSecure4=\r\n"
                  "TargetSecure5=" + root.substr(1) + "\\保護\\ある\r\n"
                  "TargetSecure7=" + root + "\\保護\\ある\r\n"
                  "Type=1\r\n");
    StringList folders;
    EXPECT_EQ(settings_.ReadSecurePaths(folders), 5);
    EXPECT_EQ(toVector(folders),
              (std::vector<std::string>{temp_.at("保護\\ある"), temp_.at("保護\\親だけ\\中身")}));
    EXPECT_EQ(settings_.ReadSecureType(), 1);
}

TEST_F(SettingsFileTest, SecurePathsAreReadInTheirOneTrueForm) {
    // However the folder was written, it is read as its full long form: the protect
    // records it so, and the release puts the files back there.
    const std::string folder = temp_.folder("保護\\ソ表");
    temp_.folder("保護\\long folder name");
    char shortName[MAX_PATH] = {};
    ASSERT_GT(GetShortPathNameA(temp_.at("保護\\long folder name").c_str(), shortName, MAX_PATH),
              0u);
    const std::string root = temp_.path().substr(2);
    writeSettings("[SecurePath]\r\n"
                  "TargetSecure1=" + root + "\\保護\\\\ソ表\r\n"
                  "TargetSecure2=" + root + "\\保護/ソ表\r\n"
                  "TargetSecure3=" + root + "\\保護\\.\\ソ表\\.\r\n"
                  "TargetSecure4=" + root + "\\x\\..\\保護\\ソ表\r\n"
                  "TargetSecure5=" + std::string(shortName).substr(2) + "\r\n"
                  "TargetSecure6=" + root + "\\保護\\ソ表\\gone\\..\\中身\r\n");
    StringList folders;
    EXPECT_EQ(settings_.ReadSecurePaths(folders), 6);
    EXPECT_EQ(toVector(folders),
              (std::vector<std::string>{folder, folder, folder, folder,
                                        temp_.at("保護\\long folder name"),
                                        folder + "\\中身"}));
}

TEST_F(SettingsFileTest, WritingSecurePathsKeepsTheProgramDriveOnly) {
    StringList folders;
    folders.append("D:\\A");
    folders.append("E:\\B");
    folders.append("d:\\C"); // the same drive: letters name drives in either case
    folders.append("D:\\ソ\\表");
    StringList rejected;
    EXPECT_EQ(settings_.WriteSecurePaths(1, &folders, &rejected), 4);
    EXPECT_TRUE(folders.empty());
    EXPECT_EQ(toVector(rejected), (std::vector<std::string>{"E:\\B"}));
    const std::string text = support::readFile(settings_.path());
    EXPECT_NE(text.find("TargetSecure1=\\A"), std::string::npos) << text;
    EXPECT_NE(text.find("TargetSecure2=\\C"), std::string::npos) << text;
    EXPECT_NE(text.find("TargetSecure3=\\ソ\\表"), std::string::npos) << text;
    EXPECT_EQ(text.find("TargetSecure4"), std::string::npos) << text;
    EXPECT_NE(text.find("Type=1"), std::string::npos) << text;
    EXPECT_EQ(settings_.ReadSecureType(), 1);
    // Writing the protected folders leaves the attributes alone.
    EXPECT_EQ(GetFileAttributesA(settings_.path().c_str()) & FILE_ATTRIBUTE_HIDDEN, 0u);

    StringList empty;
    EXPECT_EQ(settings_.WriteSecurePaths(1, &empty, &rejected), 0);
    EXPECT_EQ(settings_.ReadSecureType(), 0);
    StringList none;
    EXPECT_EQ(settings_.ReadSecurePaths(none), 0);

    StringList again;
    again.append("D:\\A");
    settings_.WriteSecurePaths(3, &again, &rejected);
    EXPECT_EQ(settings_.WriteSecurePaths(0, nullptr, nullptr), 0);
    EXPECT_EQ(settings_.ReadSecureType(), 0);
}

TEST_F(SettingsFileTest, OverlongValuesAreCutNotOverrun) {
    const std::string huge(5000, '9');
    writeSettings("[SecurePath]\r\nTargetSecure1=\\" + std::string(5000, 'x') +
                  "\r\nTargetSecure2=" + temp_.path().substr(2) + "\r\nType=" + huge +
                  "\r\n[DefSyncFile]\r\nName=" + std::string(5000, 'n') + "\r\n");
    StringList folders;
    EXPECT_EQ(settings_.ReadSecurePaths(folders), 2);
    // The value is cut at 1,283 characters; its parent, the drive, exists.
    EXPECT_EQ(std::vector<std::string>(folders.begin(), folders.end()),
              (std::vector<std::string>{"D:\\" + std::string(1282, 'x'), temp_.path()}));
    EXPECT_EQ(settings_.ReadSecureType(), INT_MAX);
    EXPECT_EQ(settings_.ReadDefSyncFile(), defaultDefinitionFile());
}

TEST_F(SettingsFileTest, SecureTypeConversion) {
    const std::pair<const char*, int> cases[] = {
        {"1", 1}, {"0", 0}, {"3", 3}, {"2.7", 2}, {"abc", 0}, {"", 0}, {"None", 0}, {"12abc", 12},
    };
    for (const auto& c : cases) {
        writeSettings(std::string("[SecurePath]\r\nType=") + c.first + "\r\n");
        EXPECT_EQ(settings_.ReadSecureType(), c.second) << c.first;
    }
}

// The days the holding folder keeps its dated folders: a plain number, else the default.
TEST_F(SettingsFileTest, HoldFolderDays) {
    EXPECT_EQ(settings_.ReadHoldFolderDays(30), 30); // no settings file
    const std::pair<const char*, int> cases[] = {
        {"7", 7},    {"0", 0},    {"365", 365}, {"", 30},       {"-1", 30},
        {"1.5", 30}, {"abc", 30}, {"１０", 30}, {"123456", 30},
    };
    for (const auto& c : cases) {
        writeSettings(std::string("[HoldFolder]\r\nKeepDays=") + c.first + "\r\n");
        EXPECT_EQ(settings_.ReadHoldFolderDays(30), c.second) << c.first;
    }
}

// A plain top-level window whose client area the test chooses.
class SizedWindow {
  public:
    SizedWindow(int clientWidth, int clientHeight) {
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = &procedure;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "SettingsTestWindow";
        RegisterClassA(&windowClass);
        RECT rect = {0, 0, clientWidth, clientHeight};
        AdjustWindowRect(&rect, WS_OVERLAPPEDWINDOW, FALSE);
        window_ = CreateWindowExA(0, "SettingsTestWindow", "test", WS_OVERLAPPEDWINDOW, 10, 20,
                                  rect.right - rect.left, rect.bottom - rect.top, nullptr,
                                  nullptr, GetModuleHandleA(nullptr), nullptr);
    }
    ~SizedWindow() { DestroyWindow(window_); }
    HWND handle() const { return window_; }
    SIZE outer() const {
        RECT rect;
        GetWindowRect(window_, &rect);
        return {rect.right - rect.left, rect.bottom - rect.top};
    }

  private:
    // Lets the window grow past the screen, so that the size asked for is the size seen.
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_GETMINMAXINFO) {
            auto* limits = reinterpret_cast<MINMAXINFO*>(lParam);
            limits->ptMaxTrackSize = {100000, 100000};
            limits->ptMaxSize = {100000, 100000};
            return 0;
        }
        return DefWindowProcA(window, message, wParam, lParam);
    }

    HWND window_ = nullptr;
};

TEST_F(SettingsFileTest, WindowSizeIsStoredAndNeverBelowTheClientArea) {
    struct Case {
        const char* settings; // empty: no settings file
        int clientWidth, clientHeight;
        int expectedWidth, expectedHeight;
    } const cases[] = {
        {"", 300, 200, 480, 360},
        {"", 600, 401, 600, 401},
        {"[Pairwarden-WH-Size]\r\nWidth=612\r\nHeight=455\r\n", 300, 200, 612, 455},
        {"[Pairwarden-WH-Size]\r\nWidth=70000\r\nHeight=300\r\n", 300, 250, 4464, 300},
        {"[Pairwarden-WH-Size]\r\nWidth=200\r\nHeight=700\r\n", 500, 300, 500, 700},
        // Not a number reads as 0, so the client area wins; an empty value is the default.
        {"[Pairwarden-WH-Size]\r\nWidth=abc\r\nHeight=\r\n", 320, 240, 320, 360},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.settings);
        DeleteFileA(settings_.path().c_str());
        if (*c.settings != '\0') {
            writeSettings(c.settings);
        }
        SizedWindow window(c.clientWidth, c.clientHeight);
        ASSERT_NE(window.handle(), nullptr);
        RECT before;
        GetWindowRect(window.handle(), &before);
        settings_.LoadWindowSize(window.handle());
        EXPECT_EQ(window.outer().cx, c.expectedWidth);
        EXPECT_EQ(window.outer().cy, c.expectedHeight);
        RECT after;
        GetWindowRect(window.handle(), &after);
        EXPECT_EQ(after.left, before.left);
        EXPECT_EQ(after.top, before.top);
    }

    DeleteFileA(settings_.path().c_str());
    SizedWindow window(500, 300);
    SetWindowPos(window.handle(), nullptr, 0, 0, 640, 455, SWP_NOMOVE | SWP_NOZORDER);
    settings_.SaveWindowSize(window.handle());
    EXPECT_EQ(GetPrivateProfileIntA("Pairwarden-WH-Size", "Width", 0, settings_.path().c_str()),
              640u);
    EXPECT_EQ(GetPrivateProfileIntA("Pairwarden-WH-Size", "Height", 0, settings_.path().c_str()),
              455u);
    EXPECT_EQ(attributesOf(settings_.path()), DWORD(FILE_ATTRIBUTE_HIDDEN));
}

} // namespace

namespace {

// A write that cannot be made leaves the settings file byte for byte, and a later one that
// can keeps the other sections and the attributes; no copy is left beside the file.
TEST_F(SettingsFileTest, AFailedWriteLeavesTheFileWhole) {
    const std::string before = "[DefSyncFile]\r\nName=D:\\前\\表.txt\r\n"
                               "[SecurePath]\r\nTargetSecure1=\\ソ\r\nType=1\r\n";
    writeSettings(before);
    ASSERT_TRUE(SetFileAttributesA(settings_.path().c_str(), FILE_ATTRIBUTE_HIDDEN));
    const std::string definitionFile = temp_.file("能.txt");
    {
        support::UnwritableFolder locked(location_.folder);
        ASSERT_TRUE(locked.effective());
        settings_.WriteDefSyncFile(definitionFile);
        StringList folders;
        folders.append("D:\\新");
        settings_.WriteSecurePaths(0, &folders, nullptr);
        EXPECT_EQ(support::readFile(settings_.path()), before);
    }
    EXPECT_EQ(support::listFolder(location_.folder), std::vector<std::string>{"Pairwarden.ini"});

    StringList folders;
    folders.append("D:\\新");
    settings_.WriteSecurePaths(0, &folders, nullptr);
    EXPECT_EQ(attributesOf(settings_.path()), DWORD(FILE_ATTRIBUTE_HIDDEN));
    folders.clear();
    EXPECT_EQ(settings_.ReadSecurePaths(folders), 1);
    EXPECT_EQ(settings_.ReadSecureType(), 0);
    EXPECT_EQ(settings_.ReadDefSyncFile(), defaultDefinitionFile()); // 表.txt does not exist
    settings_.WriteDefSyncFile(definitionFile);
    EXPECT_EQ(settings_.ReadDefSyncFile(), definitionFile);
    EXPECT_EQ(settings_.ReadSecurePaths(folders), 1);
    EXPECT_EQ(support::listFolder(location_.folder), std::vector<std::string>{"Pairwarden.ini"});
}

} // namespace
