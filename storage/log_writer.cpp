#include "storage/log_writer.h"

#include <cstdio>
#include <mutex>

#include "platform/files.h"
#include "platform/text.h"
#include "platform/threads.h"
#include "storage/data_folders.h"
#include "storage/log_tail.h"

namespace storage {

// Orders every access to the log file: each line written, the tail read and the clearing.
// Not in the header: no one outside storage takes it (its test declares it to hold it).
constinit platform::Lock LogMutex;

std::string FormatLogTimestamp(const platform::LocalTime& t) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%04u-%02u-%02u %02u:%02u:%02u.%03u", t.year, t.month, t.day, t.hour,
                  t.minute, t.second, t.millisecond);
    return buffer;
}

std::string LogTimestamp() { return FormatLogTimestamp(platform::CurrentLocalTime()); }

void WriteLogLine(std::string_view line) { AppendLogLine(LogFolderPath(), line); }

void AppendLogLine(const std::wstring& folder, std::string_view line) {
    // Composed before the lock: one write call appends the whole line with its end.
    std::string record;
    record.reserve(line.size() + 2);
    record.append(line);
    record.append("\r\n");
    const std::wstring file = folder + LogFileName;
    std::lock_guard<platform::Lock> lock(LogMutex);
    // The folder is made again only when the append finds it gone: one call per line as a rule.
    if (platform::AppendToFile(file, record.data(), record.size())) return;
    if (platform::PathExists(folder) || !platform::CreateFolderTree(folder)) return;
    platform::AppendToFile(file, record.data(), record.size());
}

std::vector<std::string> CurrentLogTail() {
    const std::wstring path = LogFilePath();
    const std::lock_guard<platform::Lock> lock(LogMutex);
    return ReadLogTail(path);
}

void ClearLogFile() {
    const std::wstring folder = LogFolderPath(), path = LogFilePath();
    const std::lock_guard<platform::Lock> lock(LogMutex);
    EnsureFolder(folder);
    platform::DeleteFileAt(path);  // a missing file is no error
}

}  // namespace storage
