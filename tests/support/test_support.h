#pragma once
// What the suites share: data folders, shown messages, loopback clients, expected bytes, the log, a server.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/files.h"
#include "platform/sockets.h"
#include "platform/text.h"
#include "server/response.h"
#include "server/web_server.h"
#include "storage/data_folders.h"
#include "storage/log_writer.h"

namespace testing_support {

using namespace std::chrono_literals;

// POSIX: a fresh XDG_DATA_HOME. Windows (the tests' own prefix): LocalAppData, its Quarvel tree removed.
struct ScopedDataFolder {
    ScopedDataFolder();
    ~ScopedDataFolder();
    const std::wstring& Root() const { return root_; }
    std::wstring root_;
};

struct ShownMessage { std::wstring caption, text; };
std::vector<ShownMessage> TakeShownMessages();  // the boxes the program would have shown since the last call

std::string ReadFileBytes(const std::wstring& path);  // empty when missing
void WriteFileBytes(const std::wstring& path, const std::string& bytes);
bool RemoveTree(const std::wstring& path);
std::vector<std::string> SplitCrLfLines(const std::string& bytes);  // text after the last CR LF dropped
bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout);  // its last value
// Every wait ends on its condition; this is ten times and more what any of them takes on an idle machine.
constexpr std::chrono::milliseconds Ceiling = 20s;

// For leak checks: the open handles (Windows) or descriptors and the threads; -1 where unknown.
struct ProcessCounts { long handles = -1, threads = -1; };
ProcessCounts CurrentProcessCounts();
// Waits until the process's threads equal the baseline and its handles lie within slack above.
bool CountsBackTo(const ProcessCounts& baseline, long handleSlack = 0, std::chrono::milliseconds timeout = 30s);

bool ConnectLoopback(platform::Socket s, std::uint16_t port);  // blocking; false when refused
struct LoopbackClient {  // a connection to 127.0.0.1:port, closed on destruction
    explicit LoopbackClient(std::uint16_t port = 80);
    ~LoopbackClient() { Close(); }
    bool Connected() const { return socket_ != platform::InvalidSocket; }
    bool SendBytes(std::string_view bytes);
    void ShutdownSend() { platform::ShutdownSend(socket_); }
    void Close();
    platform::Socket Handle() const { return socket_; }
    platform::Socket socket_ = platform::InvalidSocket;
};

// closedCleanly: the server closed, not a reset, an error or the time-out; timedOut: nothing ended it in time.
struct Received { std::string bytes; bool closedCleanly = false, timedOut = false; };
Received ReceiveAll(platform::Socket socket, std::chrono::milliseconds timeout = 20s);
Received Exchange(std::string_view request, std::chrono::milliseconds timeout = 20s);  // on a new connection

// A request head with two usual header lines; line ends as given.
std::string Request(std::string_view method, std::string_view target, std::string_view end = "\r\n");
std::string OkResponse(std::string_view type, std::string_view body, bool headOnly = false);
std::string Record(std::string_view method, std::string_view target, int status);  // after the time and the tag

// The log read back: the records after time and tag, in order and counted, the info lines, and each line
// not one whole record of the server or a loopback client.
struct LogContents {
    std::vector<std::string> access;
    std::map<std::string, int> counts;
    int infoLines = 0;
    std::vector<std::string> broken;
};
LogContents ReadLog();

struct OtherListener {  // another program's listener on the server port
    OtherListener();
    ~OtherListener() { platform::CloseSocket(socket); }
    platform::Socket socket = platform::InvalidSocket;
};

// The table of HTTP cases for any server on 127.0.0.1:80, and the files its cases ask for.
struct HttpCase { std::string name, request, response, record; };  // no record: the connection is not answered
struct HttpTable {  // the cases, and the fixed responses
    std::map<std::string, std::string> named;
    std::vector<HttpCase> cases;
};
HttpTable LoadHttpTable();
void PlantHttpFixture(const std::wstring& webRoot);
// Each case on a new connection, every byte of its answer checked; returns the records left.
std::vector<std::string> CheckHttpCases(const std::vector<HttpCase>& cases);

// A running server on port 80 over a fresh data folder; stopped, its test settings reset, after each test.
struct ServedFolder : ::testing::Test {
    void SetUp() override { ASSERT_TRUE(server_.Start(nullptr)); }
    void TearDown() override;
    ScopedDataFolder data_;
    server::WebServer server_;
    std::wstring root_ = storage::WebRootPath();  // in the data folder just made
};

}  // namespace testing_support

// The condition holds now or within the ceiling; more can be streamed into the failure, as after EXPECT_TRUE.
#define SOON_(CHECK, ...) CHECK(testing_support::WaitUntil([&] { return bool(__VA_ARGS__); }, testing_support::Ceiling))
#define EXPECT_SOON(...) SOON_(EXPECT_TRUE, __VA_ARGS__)
#define ASSERT_SOON(...) SOON_(ASSERT_TRUE, __VA_ARGS__)
