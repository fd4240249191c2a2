#include "test_support.h"

#include <fstream>
#include <mutex>
#include <random>
#include <regex>

#include "platform/known_folder.h"
#include "platform/message_box.h"
#include "server/connection.h"
#ifdef _WIN32
#include <winsock2.h>
#include <windows.h>
#include <tlhelp32.h>
#else
#include <arpa/inet.h>
#include <sys/stat.h>
#endif

namespace testing_support {

namespace fs = std::filesystem;

// One use of the socket library for the life of the process, as the program holds.
const bool socketLibraryHeld = platform::StartSockets();

// Windows: the program's own tree in the tests' own prefix. POSIX: the whole fresh folder.
const std::wstring Owned = platform::PathSeparator == L'\\' ? L"\\Quarvel" : L"";

ScopedDataFolder::ScopedDataFolder() {
#ifdef _WIN32
    root_ = platform::LocalAppDataFolder();
#else
    // Named like a user's folder holding a content type's text (".js"), which must not decide a type.
    root_ = (fs::temp_directory_path() / ("u.jsmith-" + std::to_string(std::random_device{}()))).wstring();
    ::setenv("XDG_DATA_HOME", fs::path(root_).c_str(), 1);
#endif
    RemoveTree(root_ + Owned);
}

ScopedDataFolder::~ScopedDataFolder() { RemoveTree(root_ + Owned); }

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

bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
    for (const auto deadline = std::chrono::steady_clock::now() + timeout; !condition();
         std::this_thread::sleep_for(10ms))
        if (std::chrono::steady_clock::now() >= deadline) return condition();
    return true;
}

ProcessCounts CurrentProcessCounts() {
    ProcessCounts counts;
#ifdef _WIN32
    DWORD handles = 0;
    if (::GetProcessHandleCount(::GetCurrentProcess(), &handles)) counts.handles = static_cast<long>(handles);
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    const HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    counts.threads = 0;
    for (BOOL more = ::Thread32First(snapshot, &entry); more; more = ::Thread32Next(snapshot, &entry))
        counts.threads += entry.th32OwnerProcessID == ::GetCurrentProcessId();
    ::CloseHandle(snapshot);
#else
    // The descriptor that the listing holds while counting is itself listed; take it off.
    counts.handles = std::distance(fs::directory_iterator("/proc/self/fd"), {}) - 1;
    counts.threads = std::distance(fs::directory_iterator("/proc/self/task"), {});
#endif
    return counts;
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

bool ConnectLoopback(platform::Socket s, std::uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const auto native = static_cast<decltype(::socket(0, 0, 0))>(s);  // int, or Windows' SOCKET
    return ::connect(native, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
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
    if (socket_ != platform::InvalidSocket) platform::CloseSocket(std::exchange(socket_, platform::InvalidSocket));
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
    return client.Connected() && client.SendBytes(request) ? ReceiveAll(client.Handle(), timeout) : Received{};
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
    for (const std::string& line : SplitCrLfLines(bytes)) {
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
    if (!bytes.empty() && !bytes.ends_with("\r\n")) log.broken.push_back("without a line end: " + bytes);
    return log;
}

OtherListener::OtherListener() : socket(platform::OpenTcpSocket()) {
    platform::SetListenerAddressOptions(socket);  // past TIME_WAIT of earlier tests
    EXPECT_TRUE(platform::BindAnyAddress(socket, server::ServerPort) && platform::ListenWithLargestBacklog(socket))
        << "could not take the server port for the test";
}

void ServedFolder::TearDown() {
    server_.Stop();
    server::SetRequestHeadTimeoutForTests(0);
    server::SetFileBufferLimitForTests(-1);
}

// Requests over the HTTP fixture, every byte of the answer, the record. A carriage return is dropped anywhere
// in a line, so the rows with CR LF line ends stand for every row with bare LF ends.
HttpTable LoadHttpTable() {
    HttpTable t;
    for (const auto& [name, status, body] : {std::tuple{"400", "400 Bad Request", ""},
             {"404", "404 Not Found", "Not Found"}, {"no-index", "404 Not Found", "index.html not found"},
             {"405", "405 Method Not Allowed", ""},
             {"413", "413 Payload Too Large", "File too large"}, {"500", "500 Internal Server Error", "Read failed"}})
        t.named[name] = "HTTP/1.1 " + std::string(status) + "\r\nConnection: close\r\n\r\n" + body;
    const auto get = [](std::string_view target) { return Request("GET", target, "\n"); };
    const std::string text = "text/plain; charset=utf-8", html = "text/html; charset=utf-8", a8178(8178, 'a');
    const std::string bin = "application/octet-stream", hello = OkResponse(text, "hello");
    const std::string home = OkResponse(html, "home");
    using namespace std::string_literals;
    t.cases = {
        {"index", get("/"), home, Record("GET", "/", 200)},
        {"text", get("/a.txt"), hello, Record("GET", "/a.txt", 200)},
        {"head", Request("HEAD", "/a.txt", "\n"), OkResponse(text, "hello", true), Record("HEAD", "/a.txt", 200)},
        {"sub-backslash", get("/sub\\page.html"), OkResponse(html, "sub"), Record("GET", "/sub\\page.html", 200)},
        {"one-byte-a-char", get("/caf\xE9.txt"), hello, Record("GET", "/caf\xE9.txt", 200)},
        {"empty-file", get("/empty.bin"), OkResponse(bin, ""), Record("GET", "/empty.bin", 200)},
        {"largest-file", "GET /max.bin HTTP/1.1\r\n\r\n",
         OkResponse(bin, "HEAD" + std::string(52428792, '\0') + "TAIL"), Record("GET", "/max.bin", 200)},
        {"too-large", get("/over.bin"), t.named["413"], Record("GET", "/over.bin", 413)},
        {"two-slashes", get("//"), t.named["404"], Record("GET", "//", 404)},
        {"two-dots-in-name", get("/a..b.txt"), t.named["400"], Record("GET", "/a..b.txt", 400)},
        {"zero", get("/index.html\0.txt"s), t.named["400"], Record("GET", "/index.html\\x00.txt", 400)},
        {"pipe", get("/pipe"), t.named["404"], Record("GET", "/pipe", 404)},
        {"endless-device", get("/zero"), t.named["404"], Record("GET", "/zero", 404)},
        {"lower-case", get("/a.txt").replace(0, 3, "get"), t.named["405"], Record("get", "/a.txt", 405)},
        {"post-body", "POST /form HTTP/1.1\r\nContent-Length: 65536\r\n\r\n" + std::string(65536, 'x'), t.named["405"],
         Record("POST", "/form", 405)},
        {"tab-no-space", "GET\t/a.txt HTTP/1.1\n\n", t.named["405"], Record("", "", 405)},
        {"empty-line-first", "\nGET /a.txt HTTP/1.1\n\n", t.named["405"], Record("", "", 405)},
        {"spaces", "GET  /a.txt HTTP/1.1\n\n", home, Record("GET", "", 200)},
        {"crs-any-version", "G\rET /a.txt\r HTTP/1.1 x y\r\r\n\r\n", hello, Record("GET", "/a.txt", 200)},
        {"control-bytes", Request("GET\t", "/\x1B[31m\x1F\x7F\x80\xFF\"\0\\"s, "\n"), t.named["405"],
         Record("GET\\x09", "/\\x1B[31m\\x1F\\x7F\x80\xFF\"\\x00\\", 405)},
        {"longest-line-cr", "GET /" + a8178 + "\r\r HTTP/1.1\r\n\r\n", t.named["404"], Record("GET", "/" + a8178, 404)},
        {"too-long-line", "GET /" + a8178 + "a HTTP/1.1\n\n", "", ""},
        {"long-header", "GET /a.txt HTTP/1.1\n" + std::string(8193, 'h') + "\n\n", hello, Record("GET", "/a.txt", 200)},
        {"unended-head", "GET /a.txt HTTP/1.1\nHost: x\n", hello, Record("GET", "/a.txt", 200)},
        {"no-line-end", "GET /a.txt HTTP/1.1", "", ""},
    };
    return t;
}

void PlantHttpFixture(const std::wstring& webRoot) {
    const auto at = [root = platform::WideToUtf8(webRoot)](const std::string& name) {
        return fs::path(std::u8string(root.begin(), root.end()) + std::u8string(name.begin(), name.end()));
    };
    std::error_code ignored;
    fs::create_directories(at("sub"), ignored);
    for (const auto& [name, bytes] : std::map<std::string, std::string>{
             {"index.html", "home"}, {"a.txt", "hello"}, {"caf\xC3\xA9.txt", "hello"},
             {"sub/page.html", "sub"}, {"empty.bin", ""}, {"max.bin", "HEAD"}, {"over.bin", ""}})
        std::ofstream(at(name), std::ios::binary | std::ios::trunc) << bytes;
    fs::resize_file(at("max.bin"), 52428800);
    std::fstream(at("max.bin"), std::ios::in | std::ios::out | std::ios::binary).seekp(52428796) << "TAIL";
    fs::resize_file(at("over.bin"), 52428801);
#ifndef _WIN32  // a pipe and an endless device
    ::mkfifo(at("pipe").c_str(), 0600);
    fs::create_symlink("/dev/zero", at("zero"), ignored);
#endif
}

std::vector<std::string> CheckHttpCases(const std::vector<HttpCase>& cases) {
    std::vector<std::string> records;
    for (const HttpCase& c : cases) {
        LoopbackClient client;
        EXPECT_TRUE(client.SendBytes(c.request)) << c.name;
        client.ShutdownSend();
        const Received got = ReceiveAll(client.Handle(), 30s);
        EXPECT_TRUE(got.bytes == c.response && (got.closedCleanly || c.response.empty()) && !got.timedOut)
            << c.name << ": closed " << got.closedCleanly << ", " << got.bytes.size() << " bytes, "
            << ::testing::PrintToString(got.bytes.substr(0, 300));
        if (!c.record.empty()) records.push_back(c.record);
    }
    return records;
}

}  // namespace testing_support
