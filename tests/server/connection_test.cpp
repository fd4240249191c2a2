// The whole request path over loopback port 80: a real server, raw request bytes, the exact
// response bytes and the exact access records.
#include "server/connection.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "server/request.h"
#include "server/response.h"
#include "server/web_server.h"
#include "storage/data_folders.h"
#include "storage/log_writer.h"
#include "test_support.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testing_support::LoopbackClient;

namespace {

constexpr const char* LineEnds[] = {"\n", "\r\n"};
const std::string NotFound(server::NotFoundResponse.bytes);
const std::string BadRequest(server::BadRequestResponse.bytes);

std::string Ok(std::string_view type, std::string_view body, bool headOnly = false) {
    return "HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Type: " + std::string(type) +
           "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + std::string(headOnly ? "" : body);
}
const std::string Hello = Ok("text/plain; charset=utf-8", "hello");

std::string Request(std::string_view method, std::string_view target, std::string_view end = "\r\n") {
    std::string e(end);
    return std::string(method) + " " + std::string(target) + " HTTP/1.1" + e + "Host: 127.0.0.1" + e + "Accept: */*" +
           e + e;
}

std::string Record(std::string_view method, std::string_view target, int status) {
    return "127.0.0.1 \"" + std::string(method) + " " + std::string(target) + "\" " + std::to_string(status);
}

struct Received {
    std::string bytes;
    bool closedCleanly = false;  // the server closed; false after a reset, an error or the time-out
};

Received ReceiveAll(platform::Socket socket, std::chrono::milliseconds timeout = 20s) {
    Received received;
    std::vector<char> buffer(64 * 1024);
    platform::SetReceiveTimeout(socket, static_cast<int>(timeout.count()));
    for (int n; (n = platform::Receive(socket, buffer.data(), static_cast<int>(buffer.size()))) != 0;) {
        if (n < 0) return received;
        received.bytes.append(buffer.data(), static_cast<std::size_t>(n));
    }
    received.closedCleanly = true;
    return received;
}

// Sends the bytes on a new connection; everything the server sent before it closed cleanly.
std::string Exchange(const std::string& request) {
    LoopbackClient client;
    EXPECT_TRUE(client.SendBytes(request));
    Received received = ReceiveAll(client.Handle());
    EXPECT_TRUE(received.closedCleanly) << request.substr(0, 60);
    return received.bytes;
}

// The access records of the log, each after its timestamp, whose shape is checked here.
std::vector<std::string> AccessRecords() {
    std::vector<std::string> records;
    const std::string tag = " [ACCESS] ";
    const std::string log = testing_support::ReadFileBytes(storage::LogFilePath());
    for (const std::string& line : testing_support::SplitCrLfLines(log)) {
        if (line.compare(storage::LogTimestampLength, tag.size(), tag) != 0) continue;
        std::string shape = line.substr(0, storage::LogTimestampLength);
        std::replace_if(shape.begin(), shape.end(), [](char c) { return c >= '0' && c <= '9'; }, 'd');
        EXPECT_EQ(shape, "dddd-dd-dd dd:dd:dd.ddd") << line;
        records.push_back(line.substr(storage::LogTimestampLength + tag.size()));
    }
    return records;
}

class ServedWebRoot : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server_.Start(nullptr));
        root_ = storage::WebRootPath();
    }
    void TearDown() override {
        server_.Stop();
        server::SetRequestHeadTimeoutForTests(0);
        server::SetFileBufferLimitForTests(-1);
        EXPECT_EQ(AccessRecords(), expected_);
    }
    // Through UTF-8, which names the same file on both systems whatever the locale.
    fs::path At(const std::wstring& relative) const {
        const std::string utf8 = storage::WideToUtf8(root_ + relative);
        return fs::path(std::u8string(utf8.begin(), utf8.end()));
    }
    void Plant(const std::wstring& relative, const std::string& bytes) const {
        fs::create_directories(At(relative).parent_path());
        std::ofstream(At(relative), std::ios::binary) << bytes;
    }
    // One request with each line end; the exact response and, checked at the end, its record.
    void Expect(const std::string& method, const std::string& target, const std::string& response) {
        for (const char* end : LineEnds) {
            EXPECT_EQ(Exchange(Request(method, target, end)), response) << method << " " << target;
            expected_.push_back(Record(method, target, std::stoi(response.substr(9, 3))));
        }
    }

    testing_support::ScopedDataFolder data_;
    server::WebServer server_;
    std::wstring root_;
    std::vector<std::string> expected_;  // every access record the test must leave
};

}  // namespace

TEST_F(ServedWebRoot, AnswersEachOutcomeWithItsExactBytes) {
    Plant(L"a.txt", "hello");
    Expect("GET", "/a.txt", Hello);
    Expect("HEAD", "/a.txt", Ok("text/plain; charset=utf-8", "hello", true));
    Expect("GET", "/", std::string(server::IndexNotFoundResponse.bytes));
    Expect("GET", "/missing.txt", NotFound);
    Expect("HEAD", "/missing.txt", NotFound);
    Expect("GET", "/../a.txt", BadRequest);
    Expect("POST", "/a.txt", std::string(server::MethodNotAllowedResponse.bytes));
    Expect("get", "/a.txt", std::string(server::MethodNotAllowedResponse.bytes));
    // Fewer than two spaces: an empty method and target.
    EXPECT_EQ(Exchange("GET /a.txt\r\n\r\n"), server::MethodNotAllowedResponse.bytes);
    expected_.push_back(Record("", "", 405));
    server::SetFileBufferLimitForTests(4);  // the file buffer cannot be had
    Expect("GET", "/a.txt", std::string(server::ReadFailedResponse.bytes));
}

TEST_F(ServedWebRoot, AppliesTheIndexRuleAtTheTopOnlyAndMapsTargetsLiterally) {
    Plant(L"index.html", "home");
    Plant(L"sub/index.html", "sub home");
    Plant(L"sub/page.html", "sub page");
    Plant(L"caf\u00E9.txt", "hello");
    const std::string home = Ok("text/html; charset=utf-8", "home");
    const std::string subPage = Ok("text/html; charset=utf-8", "sub page");
    Expect("GET", "/", home);  // the record keeps the target as sent
    Expect("GET", "", home);
#ifdef _WIN32
    Expect("GET", "/Index.HTML", home);  // the file system ignores case
#else
    Expect("GET", "/Index.HTML", NotFound);
#endif
    for (const char* target : {"//", "/sub/", "/sub", ".", "/index.html?v=1", "/index.html#top", "/%69ndex.html",
                               "/%2e%2e/index.html", "/caf\xC3\xA9.txt"})
        Expect("GET", target, NotFound);
    Expect("GET", "/sub/page.html", subPage);
    Expect("GET", "/sub\\page.html", subPage);
    Expect("GET", "\\index.html", home);
    Expect("GET", "/./index.html", home);
    Expect("GET", "/caf\xE9.txt", Hello);  // one byte, one character
    Expect("GET", "/a..b.txt", BadRequest);
    Expect("GET", std::string("/index.html\0.txt", 16), BadRequest);
    expected_.end()[-1] = expected_.end()[-2] = Record("GET", "/index.html\\x00.txt", 400);  // written escaped
    fs::remove(At(L"index.html"));
    fs::create_directory(At(L"index.html"));
    Expect("GET", "/", std::string(server::IndexNotFoundResponse.bytes));
}

TEST_F(ServedWebRoot, ServesOnlyRegularFilesAndNeverOpensDeviceNames) {
    fs::create_directory(At(L"folder"));
#ifndef _WIN32
    // Here these are ordinary names of existing files, refused all the same.
    for (const wchar_t* name : {L"CON", L"nul.html", L"Com1.txt", L"aux.", L"LPT\u00B9", L"sub/con/x.txt", L"conout$"})
        Plant(name, "a file with a device name");
    ASSERT_EQ(::mkfifo(At(L"pipe").c_str(), 0600), 0);
    fs::create_symlink("/dev/zero", At(L"zero"));
#endif
    const auto begin = std::chrono::steady_clock::now();
    for (const char* target : {"/CON", "/nul.html", "/Com1.txt", "/aux.", "/LPT\xB9", "/sub/con/x.txt", "/conout$",
                               "/pipe", "/zero", "/folder"})
        Expect("GET", target, NotFound);
    EXPECT_LT(std::chrono::steady_clock::now() - begin, 10s);  // nothing waited on a device
}

TEST_F(ServedWebRoot, ServesFilesUpToTheLimitAndRefusesOneByteMore) {
    Plant(L"empty.bin", "");
    Expect("GET", "/empty.bin", Ok("application/octet-stream", ""));
    // Sparse files; the served one is marked at both ends so that the body is seen to be it.
    Plant(L"max.bin", "HEAD");
    Plant(L"over.bin", "");
    fs::resize_file(At(L"max.bin"), server::MaxFileBytes);
    fs::resize_file(At(L"over.bin"), server::MaxFileBytes + 1);
    std::fstream(At(L"max.bin"), std::ios::in | std::ios::out | std::ios::binary).seekp(server::MaxFileBytes - 4)
        << "TAIL";

    const std::string header =
        "HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Type: application/octet-stream\r\n"
        "Content-Length: 52428800\r\n\r\n";
    LoopbackClient client;
    ASSERT_TRUE(client.SendBytes(Request("GET", "/max.bin")));
    Received received = ReceiveAll(client.Handle(), 60s);
    EXPECT_TRUE(received.closedCleanly);
    ASSERT_EQ(received.bytes.size(), header.size() + server::MaxFileBytes);
    EXPECT_EQ(received.bytes.compare(0, header.size() + 4, header + "HEAD"), 0);
    EXPECT_EQ(received.bytes.compare(received.bytes.size() - 4, 4, "TAIL"), 0);
    EXPECT_EQ(std::count(received.bytes.begin(), received.bytes.end(), '\0'), server::MaxFileBytes - 8);
    expected_.push_back(Record("GET", "/max.bin", 200));
    received = {};

    Expect("GET", "/over.bin", std::string(server::PayloadTooLargeResponse.bytes));
    Expect("HEAD", "/over.bin", std::string(server::PayloadTooLargeResponse.bytes));
}

TEST_F(ServedWebRoot, APostWithABodyGetsTheWhole405WithoutAReset) {
    EXPECT_EQ(Exchange("POST /form HTTP/1.1\r\nContent-Length: 65536\r\n\r\n" + std::string(65536, 'x')),
              server::MethodNotAllowedResponse.bytes);
    expected_.push_back(Record("POST", "/form", 405));
}

TEST_F(ServedWebRoot, TheRequestHeadDeadlineEndsSilentAndSlowClients) {
    server::SetRequestHeadTimeoutForTests(300);
    Plant(L"a.txt", "hello");
    // Silent; dripping its request line; dripping a header after a whole request line. No
    // receive waits long for the drippers, yet the deadline ends each: only the last is answered.
    struct Case {
        std::string atOnce;
        bool drips;
        std::string response;
    } cases[] = {{"", false, ""}, {"GET /a.t", true, ""}, {"GET /a.txt HTTP/1.1\r\nX: y", true, Hello}};
    for (const auto& c : cases) {
        LoopbackClient client;
        ASSERT_TRUE(client.SendBytes(c.atOnce));
        std::atomic<bool> done{false};
        std::thread dripper([&] {
            for (int i = 0; c.drips && i < 200 && !done.load(); ++i, std::this_thread::sleep_for(50ms))
                client.SendBytes("x");
        });
        const auto begin = std::chrono::steady_clock::now();
        Received received = ReceiveAll(client.Handle(), 10s);
        const auto took = std::chrono::steady_clock::now() - begin;
        done.store(true);
        dripper.join();
        EXPECT_EQ(received.bytes, c.response) << c.atOnce;
        EXPECT_GE(took, 250ms) << c.atOnce;
        EXPECT_LT(took, 5s) << c.atOnce;
    }
    expected_.push_back(Record("GET", "/a.txt", 200));
}

TEST_F(ServedWebRoot, LeavesNoRecordForAnUnansweredConnection) {
    { LoopbackClient closesAtOnce; }
    LoopbackClient noLineFeed;
    ASSERT_TRUE(noLineFeed.SendBytes("GET /a.txt HTTP/1.1"));
    noLineFeed.ShutdownSend();
    EXPECT_EQ(ReceiveAll(noLineFeed.Handle()).bytes, "");
    const std::string target = "/" + std::string(server::MaxLineBytes - 14, 'a');  // a line of 8192 bytes
    LoopbackClient tooLong;
    ASSERT_TRUE(tooLong.SendBytes(Request("GET", target + "b")));
    EXPECT_EQ(ReceiveAll(tooLong.Handle()).bytes, "");  // may end in a reset: bytes were left unread
    EXPECT_EQ(AccessRecords(), expected_);
    Expect("GET", target, NotFound);
}

TEST_F(ServedWebRoot, AnswersManyConcurrentClientsWithOneWholeRecordEach) {
    constexpr int Clients = 200, RequestsEach = 20;
    Plant(L"a.txt", "hello");
    std::atomic<int> answered{0};
    const auto begin = std::chrono::steady_clock::now();
    std::vector<std::thread> clients;
    for (int i = 0; i < Clients; ++i)
        clients.emplace_back([&answered, i] {
            for (int j = 0; j < RequestsEach; ++j) {
                LoopbackClient client;
                if (!client.SendBytes(Request("GET", "/a.txt", LineEnds[(i + j) % 2]))) continue;
                Received received = ReceiveAll(client.Handle(), 60s);
                if (received.bytes == Hello && received.closedCleanly) ++answered;
            }
        });
    for (std::thread& client : clients) client.join();
    EXPECT_LT(std::chrono::steady_clock::now() - begin, 180s);
    EXPECT_EQ(answered.load(), Clients * RequestsEach);
    expected_.assign(Clients * RequestsEach, Record("GET", "/a.txt", 200));
}
