#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "base/scoped_handle.h"
#include "run/log_file.h"
#include "support/files.h"
#include "support/report_window.h"
#include "support/temp_folder.h"

namespace {

using support::kSecond;

constexpr FileTime kMinute = 60 * kSecond;
constexpr FileTime kHour = 60 * kMinute;
constexpr FileTime kDay = 24 * kHour;

void fill(StringList& list, const std::vector<std::string>& lines) {
    for (const std::string& line : lines) {
        list.append(line);
    }
}

TEST(LogTextTest, AssemblingTakesTheListsInOrder) {
    const struct {
        const char* name;
        std::vector<std::string> newest, deleted, copied;
        bool text;
        std::string expected;
        std::vector<std::string> unsynced;
    } cases[] = {
        {"a run that changed nothing leaves no text",
         {"【最新更新ファイル】D:\\ソ\\a.txt", "【最新更新ファイル】"},
         {},
         {},
         false,
         ""},
        {"nothing at all", {}, {}, {}, false, ""},
        {"newest, then deletions, then copies, each line ended by CR LF",
         {"【最新更新ファイル】D:\\Work\\a.txt", "【最新更新ファイル】E:\\表\\b.txt"},
         {"【削除】E:\\Work\\old.txt", "【エラー削除】E:\\Work\\locked.txt"},
         {"【コピー】E:\\Work\\a.txt", "【エラーコピー】E:\\Work\\ro.txt"},
         true,
         "【最新更新ファイル】D:\\Work\\a.txt\r\n【最新更新ファイル】E:\\表\\b.txt\r\n"
         "【削除】E:\\Work\\old.txt\r\n【エラー削除】E:\\Work\\locked.txt\r\n"
         "【コピー】E:\\Work\\a.txt\r\n【エラーコピー】E:\\Work\\ro.txt\r\n"},
        {"a failed copy alone is worth a log",
         {},
         {},
         {"【エラーコピー】E:\\ソ"},
         true,
         "【エラーコピー】E:\\ソ\r\n"},
        {"a deletion alone too",
         {"【最新更新ファイル】"},
         {"【削除】E:\\x"},
         {},
         true,
         "【最新更新ファイル】\r\n【削除】E:\\x\r\n"},
        {"a definition passed over alone is worth a log",
         {"【最新更新ファイル】D:\\a.txt"},
         {},
         {},
         true,
         "【未同期】[USBメモ]\\表\r\n【最新更新ファイル】D:\\a.txt\r\n",
         {"【未同期】[USBメモ]\\表"}},
        {"definitions passed over come first",
         {},
         {"【削除】E:\\x"},
         {"【コピー】E:\\y"},
         true,
         "【未同期】D:\\ない\r\n【エラーラベル】[a] (x)\r\n【削除】E:\\x\r\n【コピー】E:\\y\r\n",
         {"【未同期】D:\\ない", "【エラーラベル】[a] (x)"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        PassContext context;
        fill(context.newestList, c.newest);
        fill(context.deleteList, c.deleted);
        fill(context.copyList, c.copied);
        fill(context.unsyncedList, c.unsynced);
        std::string text = "stale";
        EXPECT_EQ(assembleLogText(context, text), c.text);
        EXPECT_EQ(text, c.expected);
        EXPECT_TRUE(context.unsyncedList.empty());
        EXPECT_TRUE(context.newestList.empty());
        EXPECT_TRUE(context.deleteList.empty());
        EXPECT_TRUE(context.copyList.empty());
    }
}

TEST(LogTextTest, ManyLines) {
    PassContext context;
    std::string expected;
    for (int i = 0; i < 100000; ++i) {
        const std::string line = "【コピー】E:\\ソ\\" + std::to_string(i) + ".txt";
        context.copyList.append(line);
        expected += line + "\r\n";
    }
    std::string text;
    EXPECT_TRUE(assembleLogText(context, text));
    EXPECT_TRUE(text == expected);
    EXPECT_TRUE(context.copyList.empty());
}

TEST(LastLogUseTest, TimeTexts) {
    // 2024-05-06 07:08:09.5, as a local time.
    const FileTime log = support::fileTimeUtc(2024, 5, 6, 7, 8, 9, 5'000'000);
    const std::string date = "【最終ログ使用日時】\r\n2024年05月06日  07:08";
    const struct {
        FileTime now;
        std::string expected;
    } cases[] = {
        {log + 2 * kHour + 5 * kMinute, date + "  ---02時間05分前"},
        {log + 2 * kHour + 5 * kMinute + 59 * kSecond, date + "  ---02時間05分前"}, // no rounding
        {log + 3 * kDay + 4 * kHour + 10 * kMinute, date + "  ---03日04時間10分前"},
        {log + 40 * kDay, date},
        {log + 31 * kDay, date},
        {log + 31 * kDay - 1, date + "  ---30日23時間59分前"},
        {log + 59 * kSecond, date + "  ---00時間00分前"},
        {log, date + "  ---00時間00分前"},
        {log - 1, date}, // a log time in the future
        {log - 5 * kDay, date},
        {log + kDay, date + "  ---01日00時間00分前"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(support::utf8(formatLastLogUse(log, c.now)), support::utf8(c.expected));
    }
    EXPECT_EQ(support::utf8(formatLastLogUse(support::fileTimeUtc(1999, 12, 31, 23, 59, 0),
                                             support::fileTimeUtc(2000, 1, 1, 0, 1, 0))),
              support::utf8("【最終ログ使用日時】\r\n1999年12月31日  23:59  ---00時間02分前"));
}

FileTime utcNow() {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    return toFileTime(now);
}

TEST(LastLogUseTest, TheLogFileItself) {
    support::TempFolder program;
    const std::string log = logFilePath(program.path());
    EXPECT_EQ(log, program.path() + "\\Pairwarden.log");
    EXPECT_EQ(lastLogUseText(log), "");
    std::string shown = "stale";
    EXPECT_FALSE(openLogFile(log, shown));
    EXPECT_EQ(shown, "");

    program.file("Pairwarden.log", "x", utcNow() - (2 * kHour + 5 * kMinute + 30 * kSecond));
    const std::string recent = lastLogUseText(log);
    const std::string prefix = "【最終ログ使用日時】\r\n";
    EXPECT_EQ(recent.compare(0, prefix.size(), prefix), 0);
    const std::string suffix = "  ---02時間05分前";
    ASSERT_GT(recent.size(), suffix.size());
    EXPECT_EQ(support::utf8(recent.substr(recent.size() - suffix.size())), support::utf8(suffix));

    ASSERT_TRUE(support::setWriteTime(log, utcNow() - 40 * kDay));
    const std::string old = lastLogUseText(log);
    EXPECT_EQ(old.find("---"), std::string::npos);
    EXPECT_EQ(old.size(), (prefix + "2024年05月06日  07:08").size());
}

TEST(RunLogTest, WrittenOnlyWhenSomethingWasDeletedOrCopied) {
    support::TempFolder program;
    const std::string log = logFilePath(program.path());
    const FileTime before = support::fileTimeUtc(2024, 1, 1, 0, 0, 0);
    program.file("Pairwarden.log", "previous run", before);

    PassContext context;
    context.newestList.append("【最新更新ファイル】D:\\a.txt");
    std::string text = "stale";
    bool written = true;
    EXPECT_FALSE(writeRunLog(context, log, text, &written));
    EXPECT_FALSE(written);
    EXPECT_EQ(text, "");
    EXPECT_TRUE(context.newestList.empty());
    EXPECT_EQ(support::readFile(log), "previous run");
    EXPECT_EQ(support::writeTimeOf(log), before);

    context.newestList.append("【最新更新ファイル】D:\\a.txt");
    context.copyList.append("【コピー】E:\\a.txt");
    EXPECT_TRUE(writeRunLog(context, log, text, &written));
    EXPECT_TRUE(written);
    const std::string expected = "【最新更新ファイル】D:\\a.txt\r\n【コピー】E:\\a.txt\r\n";
    EXPECT_EQ(text, expected);
    EXPECT_EQ(support::readFile(log), expected);
    EXPECT_GT(support::writeTimeOf(log), before);
}

TEST(RunLogTest, AttributesAreKeptAndAnUnwritableLogKeepsTheText) {
    support::TempFolder program;
    const std::string log = logFilePath(program.path());
    {
        // Wine keeps "hidden" only for files created with it.
        FileHandle file(CreateFileA(log.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_HIDDEN, nullptr));
        ASSERT_TRUE(file.valid());
    }
    PassContext context;
    context.deleteList.append("【削除】E:\\old.txt");
    std::string text;
    bool written = false;
    EXPECT_TRUE(writeRunLog(context, log, text, &written));
    EXPECT_TRUE(written);
    EXPECT_EQ(support::readFile(log), "【削除】E:\\old.txt\r\n");
    EXPECT_NE(GetFileAttributesA(log.c_str()) & FILE_ATTRIBUTE_HIDDEN, 0u);

    ASSERT_TRUE(SetFileAttributesA(log.c_str(), FILE_ATTRIBUTE_READONLY));
    context.copyList.append("【エラーコピー】E:\\ro.txt");
    EXPECT_TRUE(writeRunLog(context, log, text, &written));
    EXPECT_FALSE(written);
    EXPECT_EQ(text, "【エラーコピー】E:\\ro.txt\r\n"); // still there for the summary box
    EXPECT_EQ(support::readFile(log), "【削除】E:\\old.txt\r\n");
    SetFileAttributesA(log.c_str(), FILE_ATTRIBUTE_NORMAL);
}

struct FoundWindow {
    std::string titlePart;
    HWND window = nullptr;
};

BOOL CALLBACK findByTitle(HWND window, LPARAM parameter) {
    auto* found = reinterpret_cast<FoundWindow*>(parameter);
    char title[512] = {};
    GetWindowTextA(window, title, sizeof title);
    if (IsWindowVisible(window) && std::string(title).find(found->titlePart) != std::string::npos) {
        found->window = window;
        return FALSE;
    }
    return TRUE;
}

TEST(OpenLogFileTest, OpensTheLogInNotepadAndHandsBackTheText) {
    support::TempFolder program;
    // A program folder with a blank in its name: the log must still open as one file.
    const std::string folder = program.folder("My ソフト");
    const std::string log = logFilePath(folder);
    support::writeFile(log, "【コピー】E:\\a.txt\r\n");

    std::string shown;
    ASSERT_TRUE(openLogFile(log, shown));
    EXPECT_EQ(shown, lastLogUseText(log));

    FoundWindow found{"Pairwarden.log"};
    const bool opened = support::pumpMessagesUntil(
        [&] {
            EnumWindows(&findByTitle, reinterpret_cast<LPARAM>(&found));
            return found.window != nullptr;
        },
        30000);
    ASSERT_TRUE(opened) << "no window shows the log";
    DWORD process = 0;
    GetWindowThreadProcessId(found.window, &process);
    KernelHandle editor(OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, process));
    PostMessageA(found.window, WM_CLOSE, 0, 0);
    if (editor && WaitForSingleObject(editor.get(), 10000) != WAIT_OBJECT_0) {
        TerminateProcess(editor.get(), 0);
    }
}

TEST(LogTextTest, ErrorLinesAreCountedWhereALineBegins) {
    const struct {
        const char* text;
        std::size_t errors;
    } cases[] = {
        {"", 0},
        {"【最新更新ファイル】D:\\A\\x.txt\r\n【コピー】E:\\B\\x.txt\r\n", 0},
        {"【エラー削除】E:\\B\\x.txt\r\n", 1},
        {"【削除】E:\\B\\y.txt\r\n【エラー削除】E:\\B\\x.txt\r\n【エラーコピー】E:\\B\\z.txt\r\n",
         2},
        // A tag inside a path is not a line of its own.
        {"【コピー】E:\\B\\【エラー削除】.txt\r\n", 0},
        {"【コピー】E:\\B\\x.txt\r\n【エラーコピー】E:\\B\\z.txt", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(countErrorLines(c.text), c.errors);
    }
}

} // namespace
