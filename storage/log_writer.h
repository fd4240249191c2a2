#pragma once
// The one log file: UTF-8 lines, each ended with CR LF by the writer.
#include <mutex>
#include <string>
#include <string_view>

#include "platform/clock.h"

namespace storage {

// Orders every access to the log file: each line written, the viewer's reading and clearing.
extern std::mutex LogMutex;

inline constexpr std::size_t LogTimestampLength = 23;

// "YYYY-MM-DD hh:mm:ss.mmm" for the given time.
std::string FormatLogTimestamp(const platform::LocalTime& time);
std::string LogTimestamp();  // the current local time

std::string WideToUtf8(const std::wstring& text);

// Appends line and CR LF to the log file under LogMutex, making the log folder first when
// it is missing. A line that cannot be written is lost without a word.
void WriteLogLine(std::string_view line);
// The same into the log folder given (LogFolderPath() as it was taken by the caller earlier).
void AppendLogLine(const std::wstring& logFolder, std::string_view line);

}  // namespace storage
