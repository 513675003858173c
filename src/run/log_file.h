#pragma once

#include <cstddef>
#include <string>

#include "base/file_time.h"
#include "sync/pass_context.h"

// The log file holds the outcome lines of the last run that deleted or copied anything, or
// tried to; its last-write time tells when the folders last changed.
inline const char kLogFileName[] = "Pairwarden.log";

// The log's path in the program folder.
std::string logFilePath(const std::string& programFolder);

// Takes every line of the unsynced, newest, delete and copy lists, in that order, each
// followed by CR LF, and empties the four lists. True with the text when an unsynced,
// delete or copy line was among them; false (empty text) when the run changed nothing,
// tried nothing and passed over no definition.
bool assembleLogText(PassContext& context, std::string& text);

// The end of a run: assembles the log text and, when there is one, writes it whole to the
// log path, keeping the attributes of an existing log. Returns whether there was a text;
// `text` holds it even when the write failed, for the summary box. `written`, when given,
// tells whether the file was written.
bool writeRunLog(PassContext& context, const std::string& logPath, std::string& text,
                 bool* written = nullptr);

// How many lines of a log text tell of something a run could not do or left as it was
// (those tagged 【エラー…】).
std::size_t countErrorLines(const std::string& logText);

// "【最終ログ使用日時】" CR LF, the log's local write date and time, and, when it lies less
// than 31 days in the past, how long ago. Both times are local times as file times.
std::string formatLastLogUse(FileTime logLocalTime, FileTime nowLocalTime);

// The text above for the log file at the path, now; empty when there is no log.
std::string lastLogUseText(const std::string& logPath);

// Opens the log in Notepad (or, without it, in the program associated with the file) and
// hands back the last-use text for the summary box. False, starting nothing, when there is
// no log.
bool openLogFile(const std::string& logPath, std::string& lastUseText);
