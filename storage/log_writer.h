#pragma once
// The one log file: UTF-8 lines, each ended with CR LF by the writer.
#include <string>
#include <string_view>
#include <vector>

#include "platform/clock.h"

namespace storage {

inline constexpr std::size_t LogTimestampLength = 23;

// "YYYY-MM-DD hh:mm:ss.mmm" for the given time.
std::string FormatLogTimestamp(const platform::LocalTime& time);
std::string LogTimestamp();  // the current local time

// Every access to the log file below holds the log's one lock for the whole of it, so a reader
// never sees part of a line and the file is never deleted while a line is being written.

// Appends line and CR LF to the log file, making the log folder first when it is missing. A
// line that cannot be written is lost without a word.
void WriteLogLine(std::string_view line);
// The same into the log folder given (LogFolderPath() as it was taken by the caller earlier).
void AppendLogLine(const std::wstring& logFolder, std::string_view line);
// The log file's last LogTailLines lines, oldest first; empty when there is no log file.
std::vector<std::string> CurrentLogTail();
// Makes the log folder exist and deletes the log file; the next line starts a new one.
void ClearLogFile();

}  // namespace storage
