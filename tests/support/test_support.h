#pragma once
// Helpers shared by the test suites: a private data folder, captured message boxes, and a
// raw loopback client.
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/sockets.h"

namespace testing_support {

// Gives the test a data folder of its own and removes it afterwards. POSIX: a fresh folder
// named by XDG_DATA_HOME. Windows: the user's real local application data folder, whose
// Quarvel tree is removed before and after the test (tests that use it run one at a time).
class ScopedDataFolder {
public:
    ScopedDataFolder();
    ~ScopedDataFolder();
    ScopedDataFolder(const ScopedDataFolder&) = delete;
    ScopedDataFolder& operator=(const ScopedDataFolder&) = delete;
    const std::wstring& Root() const { return root_; }  // the local data folder itself
private:
    std::wstring root_;
    std::string previousXdg_;
    bool hadXdg_ = false;
};

// Captures every message the program would show while it lives.
struct ShownMessage {
    std::wstring caption;
    std::wstring text;
};
class CapturedMessages {
public:
    CapturedMessages();
    ~CapturedMessages();
    std::vector<ShownMessage> Take();
};

std::string ReadFileBytes(const std::wstring& path);   // empty when missing
void WriteFileBytes(const std::wstring& path, const std::string& bytes);
bool RemoveTree(const std::wstring& path);
std::vector<std::string> SplitCrLfLines(const std::string& bytes);  // the text after the last CR LF is dropped
std::vector<std::wstring> SplitLines(const std::wstring& text);      // at bare line feeds; the last piece kept

// A blocking loopback client connection to 127.0.0.1:port, closed on destruction.
class LoopbackClient {
public:
    explicit LoopbackClient(std::uint16_t port = 80);
    ~LoopbackClient();
    LoopbackClient(const LoopbackClient&) = delete;
    LoopbackClient& operator=(const LoopbackClient&) = delete;
    bool Connected() const { return socket_ != platform::InvalidSocket; }
    bool SendBytes(const std::string& bytes);
    // Everything until the server closes, or until the time-out passes.
    std::string ReceiveUntilClosed(std::chrono::milliseconds timeout = std::chrono::seconds(10));
    void ShutdownSend();
    void Close();
    platform::Socket Handle() const { return socket_; }

private:
    platform::Socket socket_ = platform::InvalidSocket;
};

// Polls condition every 10 ms until it holds or the time-out passes; returns its last value.
bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout);

}  // namespace testing_support
