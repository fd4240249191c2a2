#include "test_support.h"

#include <cstdlib>
#include <fstream>
#include <mutex>
#include <random>
#include <regex>
#include <utility>

#include "platform/known_folder.h"
#include "platform/message_box.h"
#include "server/connection.h"
#include "server/response.h"

namespace testing_support {

namespace fs = std::filesystem;

// Test clients share one use of the socket library for the life of the process, as the program does.
const bool socketLibraryHeld = platform::StartSockets();

ScopedDataFolder::ScopedDataFolder() {
#ifdef _WIN32
    root_ = platform::LocalAppDataFolder();
    RemoveTree(root_ + L"\\Quarvel");
#else
    // Named like a user's folder holding a content type's text (".js"), which must not decide a type.
    const fs::path folder = fs::temp_directory_path() / ("u.jsmith-" + std::to_string(std::random_device{}()));
    fs::create_directories(folder);
    root_ = folder.wstring();
    ::setenv("XDG_DATA_HOME", folder.c_str(), 1);
#endif
}

ScopedDataFolder::~ScopedDataFolder() {
#ifdef _WIN32
    RemoveTree(root_ + L"\\Quarvel");
#else
    RemoveTree(root_);
    ::unsetenv("XDG_DATA_HOME");
#endif
}

namespace {
std::mutex shownMutex;
std::vector<ShownMessage> shown;
const bool sinkInstalled = (platform::SetMessageSink([](const std::wstring& caption, const std::wstring& text) {
    std::lock_guard<std::mutex> lock(shownMutex);
    shown.push_back({caption, text});
}), true);
}  // namespace

std::vector<ShownMessage> TakeShownMessages() {
    std::lock_guard<std::mutex> lock(shownMutex);
    return (void)sinkInstalled, std::exchange(shown, {});
}

std::string ReadFileBytes(const std::wstring& path) {
    std::ifstream in(fs::path(path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFileBytes(const std::wstring& path, const std::string& bytes) {
    std::ofstream(fs::path(path), std::ios::binary | std::ios::trunc) << bytes;
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

std::string PatternBytes(std::size_t size, unsigned seed) {
    std::string bytes(size, '\0');
    std::uint32_t state = seed * 2654435761u + 1;
    for (char& byte : bytes) byte = static_cast<char>((state = state * 1664525u + 1013904223u) >> 24);
    return bytes;
}

bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
    for (const auto deadline = std::chrono::steady_clock::now() + timeout; !condition();
         std::this_thread::sleep_for(10ms))
        if (std::chrono::steady_clock::now() >= deadline) return condition();
    return true;
}

LoopbackClient::LoopbackClient(std::uint16_t port) {
    socket_ = platform::OpenTcpSocket();
    if (socket_ != platform::InvalidSocket && !ConnectLoopback(socket_, port)) Close();
}

bool LoopbackClient::SendBytes(std::string_view bytes) {
    for (int n = 0; !bytes.empty(); bytes.remove_prefix(static_cast<std::size_t>(n)))
        if ((n = platform::Send(socket_, bytes.data(), static_cast<int>(bytes.size()))) <= 0) return false;
    return true;
}

void LoopbackClient::Close() {
    if (socket_ != platform::InvalidSocket) platform::CloseSocket(socket_);
    socket_ = platform::InvalidSocket;
}

Received ReceiveAll(platform::Socket socket, std::chrono::milliseconds timeout) {
    Received received;
    std::vector<char> buffer(256 * 1024);
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (int n = 1; n > 0; received.closedCleanly = n == 0) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || !platform::SetReceiveTimeout(socket, static_cast<int>(left.count()))) break;
        if ((n = platform::Receive(socket, buffer.data(), static_cast<int>(buffer.size()))) > 0)
            received.bytes.append(buffer.data(), static_cast<std::size_t>(n));
    }
    received.timedOut = !received.closedCleanly && std::chrono::steady_clock::now() >= deadline;
    return received;
}

Received Exchange(std::string_view request, std::chrono::milliseconds timeout) {
    LoopbackClient client;
    if (!client.Connected() || !client.SendBytes(request)) return {};
    return ReceiveAll(client.Handle(), timeout);
}

std::string Request(std::string_view method, std::string_view target, std::string_view end) {
    const std::string e(end);
    return std::string(method) + " " + std::string(target) + " HTTP/1.1" + e + "Host: 127.0.0.1" + e +
           "Accept: */*" + e + e;
}

std::string OkResponse(std::string_view type, std::string_view body, bool headOnly) {
    return "HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Type: " + std::string(type) +
           "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + std::string(headOnly ? "" : body);
}

std::string Record(std::string_view method, std::string_view target, int status) {
    return "127.0.0.1 \"" + std::string(method) + " " + std::string(target) + "\" " + std::to_string(status);
}

LogContents ReadLog() {
    // On whole lines a pattern would recurse once per byte: it checks the 24-byte timestamp alone.
    static const std::regex stamp(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} )"), status(R"(" (200|40[045]|413|500))");
    LogContents log;
    const std::string bytes = ReadFileBytes(storage::LogFilePath());
    std::size_t start = 0;
    for (std::size_t end; (end = bytes.find("\r\n", start)) != std::string::npos; start = end + 2) {
        const std::string line = bytes.substr(start, end - start);
        const std::string rest = line.substr(std::min(line.size(), std::size_t{24}));
        // A line end inside, or a second record run into this one, leaves the line broken.
        const bool whole = std::regex_match(line.substr(0, 24), stamp) &&
                           rest.find_first_of("\r\n") == std::string::npos && rest.find(" [") == std::string::npos;
        if (whole && (rest == "[INFO] Server started" || rest == "[INFO] Server stopped")) {
            ++log.infoLines;
        } else if (whole && rest.starts_with("[ACCESS] 127.0.0.1 \"") && rest.size() > 24 &&
                   std::regex_match(rest.substr(rest.size() - 5), status)) {
            ++log.counts[log.access.emplace_back(rest.substr(9))];
        } else {
            log.broken.push_back(line);
        }
    }
    if (start < bytes.size()) log.broken.push_back("without a line end: " + bytes.substr(start));
    return log;
}

bool CountsBackTo(const ProcessCounts& baseline, long handleSlack, std::chrono::milliseconds timeout) {
    ProcessCounts now;
    const bool back = WaitUntil([&] {
        now = CurrentProcessCounts();
        return now.threads == baseline.threads && now.handles >= baseline.handles &&
               now.handles <= baseline.handles + handleSlack;
    }, timeout);
    EXPECT_TRUE(back) << "threads " << baseline.threads << " -> " << now.threads << ", handles " << baseline.handles
                      << " -> " << now.handles;
    return back;
}

OtherListener::OtherListener() : socket(platform::OpenTcpSocket()) {
    platform::SetListenerAddressOptions(socket);  // past TIME_WAIT of earlier tests
    EXPECT_TRUE(platform::BindAnyAddress(socket, server::ServerPort) && platform::ListenWithLargestBacklog(socket))
        << "could not take the server port for the test";
}

void ServedFolder::SetUp() {
    ASSERT_TRUE(server_.Start(nullptr));
    root_ = storage::WebRootPath();
}

void ServedFolder::TearDown() {
    server_.Stop();
    server::SetRequestHeadTimeoutForTests(0);
    server::SetFileBufferLimitForTests(-1);
}

fs::path ServedFolder::At(const std::wstring& relative) const {
    const std::string utf8 = platform::WideToUtf8(root_ + relative);
    return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

void ServedFolder::Plant(const std::wstring& relative, const std::string& bytes) const {
    std::error_code ignored;
    fs::create_directories(At(relative).parent_path(), ignored);
    std::ofstream(At(relative), std::ios::binary | std::ios::trunc) << bytes;
}

}  // namespace testing_support
