#pragma once
// What the reliability suites share: a real server on port 80 over a private data folder,
// whole-connection exchanges, the expected response bytes, the log read back line by line,
// and the process's handle and thread counts.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "platform/process_stats.h"
#include "platform/sockets.h"
#include "server/web_server.h"
#include "test_support.h"

namespace stress {

using namespace std::chrono_literals;

// A request head with the usual header lines, ended by CR LF.
std::string Request(std::string_view method, std::string_view target);
// The 200 response for a body of that type: the header, and the body unless headOnly.
std::string OkResponse(std::string_view type, std::string_view body, bool headOnly = false);
// The access record of a loopback client, as it stands after the timestamp and the tag.
std::string Record(std::string_view method, std::string_view target, int status);

// Bytes that differ from one file to the next and from one offset to the next, so that a
// body from the wrong file or the wrong place is seen.
std::string PatternBytes(std::size_t size, unsigned seed);

struct Received {
    std::string bytes;
    bool closedCleanly = false;  // the server closed; false after a reset, an error or the time-out
};
// Everything the server sends on the socket until it closes, or until the time-out.
Received ReceiveAll(platform::Socket socket, std::chrono::milliseconds timeout = 20s, std::size_t expectedBytes = 0);
// The request on a new connection, and everything that came back.
Received Exchange(const std::string& request, std::chrono::milliseconds timeout = 20s,
                  std::size_t expectedBytes = 0);

// The log file read back. Every line is checked whole: a timestamp of the right shape, then
// either an [INFO] record of the server or an [ACCESS] record of a loopback client ending in
// a known status; anything else (a torn or interleaved line, bytes after the last line end)
// is listed in broken.
struct LogContents {
    std::map<std::string, int> access;  // each record after its timestamp and tag, with its count
    int accessLines = 0;
    int infoLines = 0;
    std::vector<std::string> broken;
};
LogContents ReadLog();

// The counts of platform::CurrentProcessCounts once they are back to the baseline, or the last
// ones seen after the time-out. Handles may end up to slack above it.
struct CountsCheck {
    bool back = false;
    platform::ProcessCounts last;
};
CountsCheck WaitForCounts(const platform::ProcessCounts& baseline, long handleSlack = 0,
                          std::chrono::milliseconds timeout = 15s);

// A running server over a private data folder. Stopped, with its test settings restored, at
// the end of each test.
class ServedFolder : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // Through UTF-8, which names the same file on both systems whatever the locale.
    std::filesystem::path At(const std::wstring& relative) const;
    void Plant(const std::wstring& relative, const std::string& bytes) const;

    testing_support::ScopedDataFolder data_;
    server::WebServer server_;
    std::wstring root_;
};

}  // namespace stress
