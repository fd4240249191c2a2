#include "test_support.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <random>
#include <thread>

#include "platform/known_folder.h"
#include "platform/message_box.h"

namespace testing_support {

namespace fs = std::filesystem;

ScopedDataFolder::ScopedDataFolder() {
#ifdef _WIN32
    root_ = platform::LocalAppDataFolder();
    RemoveTree(root_ + L"\\Quarvel");
#else
    if (const char* xdg = std::getenv("XDG_DATA_HOME")) {
        hadXdg_ = true;
        previousXdg_ = xdg;
    }
    std::random_device seed;
    fs::path folder = fs::temp_directory_path() / ("quarvello-test-" + std::to_string(seed()) + "-" +
                                                   std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
    fs::create_directories(folder);
    root_ = folder.wstring();
    ::setenv("XDG_DATA_HOME", folder.string().c_str(), 1);
#endif
}

ScopedDataFolder::~ScopedDataFolder() {
#ifdef _WIN32
    RemoveTree(root_ + L"\\Quarvel");
#else
    RemoveTree(root_);
    if (hadXdg_)
        ::setenv("XDG_DATA_HOME", previousXdg_.c_str(), 1);
    else
        ::unsetenv("XDG_DATA_HOME");
#endif
}

namespace {
std::mutex capturedMutex;
std::vector<ShownMessage> captured;

void CaptureMessage(const std::wstring& caption, const std::wstring& text) {
    std::lock_guard<std::mutex> lock(capturedMutex);
    captured.push_back({caption, text});
}
}  // namespace

CapturedMessages::CapturedMessages() {
    Take();
    platform::SetMessageSink(CaptureMessage);
}

CapturedMessages::~CapturedMessages() { platform::SetMessageSink(nullptr); }

std::vector<ShownMessage> CapturedMessages::Take() {
    std::lock_guard<std::mutex> lock(capturedMutex);
    std::vector<ShownMessage> result;
    result.swap(captured);
    return result;
}

std::string ReadFileBytes(const std::wstring& path) {
    std::ifstream in(fs::path(path), std::ios::binary);
    if (!in) return {};
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFileBytes(const std::wstring& path, const std::string& bytes) {
    std::ofstream out(fs::path(path), std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

bool RemoveTree(const std::wstring& path) {
    std::error_code error;
    fs::permissions(fs::path(path), fs::perms::owner_all, fs::perm_options::add, error);
    fs::remove_all(fs::path(path), error);
    return !error;
}

std::vector<std::string> SplitCrLfLines(const std::string& bytes) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = bytes.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(bytes.substr(start, end - start));
    return lines;
}

namespace {
// Test clients share one use of the socket library for the life of the process, as the
// program itself does; a use per client would let the count touch zero between clients.
const bool socketLibraryHeld = platform::StartSockets();
}  // namespace

std::vector<std::wstring> SplitLines(const std::wstring& text) {
    std::vector<std::wstring> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find(L'\n', start)) != std::wstring::npos; start = end + 1)
        lines.push_back(text.substr(start, end - start));
    lines.push_back(text.substr(start));
    return lines;
}

LoopbackClient::LoopbackClient(std::uint16_t port) {
    (void)socketLibraryHeld;
    socket_ = platform::OpenTcpSocket();
    if (socket_ != platform::InvalidSocket && !platform::ConnectIpv4(socket_, "127.0.0.1", port)) {
        platform::CloseSocket(socket_);
        socket_ = platform::InvalidSocket;
    }
}

LoopbackClient::~LoopbackClient() { Close(); }

bool LoopbackClient::SendBytes(const std::string& bytes) {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        int n = platform::Send(socket_, bytes.data() + sent, static_cast<int>(bytes.size() - sent));
        if (n <= 0) return false;
        sent += static_cast<std::size_t>(n);
    }
    return true;
}

std::string LoopbackClient::ReceiveUntilClosed(std::chrono::milliseconds timeout) {
    std::string received;
    auto deadline = std::chrono::steady_clock::now() + timeout;
    char buffer[65536];
    platform::SetReceiveTimeout(socket_, 200);
    while (std::chrono::steady_clock::now() < deadline) {
        int n = platform::Receive(socket_, buffer, sizeof buffer);
        if (n > 0) {
            received.append(buffer, static_cast<std::size_t>(n));
            continue;
        }
        if (n == 0) break;
        // A time-out: try again until the deadline. Any other error ends the read.
        int error = platform::LastSocketError();
#ifdef _WIN32
        if (error != 10060) break;  // WSAETIMEDOUT
#else
        if (error != EAGAIN && error != EWOULDBLOCK) break;
#endif
    }
    return received;
}

void LoopbackClient::ShutdownSend() { platform::ShutdownSend(socket_); }

void LoopbackClient::Close() {
    if (socket_ != platform::InvalidSocket) platform::CloseSocket(socket_);
    socket_ = platform::InvalidSocket;
}

bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline) return condition();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

}  // namespace testing_support
