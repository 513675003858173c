#include "run/log_file.h"

#include <windows.h>
#include <shellapi.h>

#include <cstdio>

#include "base/file_system.h"
#include "base/text_file_writer.h"

namespace {

const char kNotepad[] = "C:\\WINDOWS\\notepad.exe";

constexpr FileTime kMinute = 60ull * 10'000'000;
constexpr FileTime kHour = 60 * kMinute;
constexpr FileTime kDay = 24 * kHour;
constexpr FileTime kMonthOfDays = 31 * kDay;

std::size_t linesLength(const StringList& list) {
    std::size_t length = 0;
    for (const std::string& line : list) {
        length += line.size() + 2;
    }
    return length;
}

void takeLines(StringList& list, std::string& text) {
    std::string line;
    while (list.takeFirst(line)) {
        text += line;
        text += "\r\n";
    }
}

} // namespace

std::string logFilePath(const std::string& programFolder) {
    return programFolder + "\\" + kLogFileName;
}

bool assembleLogText(PassContext& context, std::string& text) {
    const bool changes =
        !context.deleteList.empty() || !context.copyList.empty() || !context.unsyncedList.empty();
    text.clear();
    if (changes) {
        // A run over many thousand files has as many lines: sized once, filled once.
        text.reserve(linesLength(context.unsyncedList) + linesLength(context.newestList) +
                     linesLength(context.deleteList) + linesLength(context.copyList));
        takeLines(context.unsyncedList, text);
        takeLines(context.newestList, text);
        takeLines(context.deleteList, text);
        takeLines(context.copyList, text);
    }
    context.unsyncedList.clear();
    context.newestList.clear();
    context.deleteList.clear();
    context.copyList.clear();
    return changes;
}

std::size_t countErrorLines(const std::string& logText) {
    static const std::string kErrorTag = "【エラー";
    std::size_t count = 0;
    // Lines end in CR LF; a tag is looked for only where a line begins, so no byte pair of
    // a path can pass for one.
    for (std::size_t start = 0; start < logText.size();) {
        if (logText.compare(start, kErrorTag.size(), kErrorTag) == 0) {
            ++count;
        }
        const std::size_t end = logText.find("\r\n", start);
        if (end == std::string::npos) {
            break;
        }
        start = end + 2;
    }
    return count;
}

bool writeRunLog(PassContext& context, const std::string& logPath, std::string& text,
                 bool* written) {
    if (written != nullptr) {
        *written = false;
    }
    if (!assembleLogText(context, text)) {
        return false;
    }
    TextFileWriter writer;
    const bool ok = writer.setText(text) && writer.writeTo(logPath);
    if (written != nullptr) {
        *written = ok;
    }
    return true;
}

std::string formatLastLogUse(FileTime logLocalTime, FileTime nowLocalTime) {
    char text[1284];
    const FILETIME logTime = toFILETIME(logLocalTime);
    SYSTEMTIME calendar = {};
    FileTimeToSystemTime(&logTime, &calendar);
    std::snprintf(text, sizeof text, "【最終ログ使用日時】\r\n%04u年%02u月%02u日  %02u:%02u",
                  calendar.wYear, calendar.wMonth, calendar.wDay, calendar.wHour, calendar.wMinute);
    // A log time in the future (a clock set back) or a month ago says nothing useful.
    if (nowLocalTime < logLocalTime || nowLocalTime - logLocalTime >= kMonthOfDays) {
        return text;
    }
    const FileTime elapsed = nowLocalTime - logLocalTime;
    const unsigned days = static_cast<unsigned>(elapsed / kDay);
    const unsigned hours = static_cast<unsigned>(elapsed % kDay / kHour);
    const unsigned minutes = static_cast<unsigned>(elapsed % kHour / kMinute);
    char withElapsed[1284 + 64];
    if (days == 0) {
        std::snprintf(withElapsed, sizeof withElapsed, "%s  ---%02u時間%02u分前", text, hours,
                      minutes);
    } else {
        std::snprintf(withElapsed, sizeof withElapsed, "%s  ---%02u日%02u時間%02u分前", text, days,
                      hours, minutes);
    }
    return withElapsed;
}

std::string lastLogUseText(const std::string& logPath) {
    WIN32_FIND_DATAA found;
    if (!searchEntry(logPath, found) || (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return std::string();
    }
    FILETIME localWrite;
    FileTimeToLocalFileTime(&found.ftLastWriteTime, &localWrite);
    // Now in the same units and through the same conversion as the log's time: the local
    // clock read in whole milliseconds can lie behind a log written a moment ago, which
    // would then count as written in the future.
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    FILETIME localNow;
    FileTimeToLocalFileTime(&now, &localNow);
    return formatLastLogUse(toFileTime(localWrite), toFileTime(localNow));
}

bool openLogFile(const std::string& logPath, std::string& lastUseText) {
    lastUseText = lastLogUseText(logPath);
    if (lastUseText.empty()) {
        return false;
    }
    if (fileExists(kNotepad)) {
        // Quoted: a program folder with blanks in its path must still be one file name.
        const std::string parameters = "\"" + logPath + "\"";
        ShellExecuteA(nullptr, "open", kNotepad, parameters.c_str(), nullptr, SW_SHOWNORMAL);
    } else {
        ShellExecuteA(nullptr, "open", logPath.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    }
    return true;
}
