// The real server on port 80 under mixed load, hostile input and a log that cannot be written.
#ifdef _WIN32
#include <windows.h>
#endif

#include "test_support.h"

using namespace testing_support;

// 12 clients at once, each through every kind of request twice and a file rewritten at other lengths meanwhile:
// every answer exact or true to what was read, every record whole and counted once, threads and handles freed.
TEST_F(ServedFolder, MixedLoadGetsExactAnswersAndOneWholeRecordEach) {
    const std::string small(700, 's'), big(8 << 20, 'b'), bin = "application/octet-stream";
    WriteFileBytes(root_ + L"s.txt", small);
    for (const wchar_t* name : {L"b.bin", L"r.bin"}) WriteFileBytes(root_ + name, big);
    const struct { std::string request, response, record; } kinds[] = {
        {Request("GET", "/s.txt"), OkResponse("text/plain; charset=utf-8", small), Record("GET", "/s.txt", 200)},
        {Request("GET", "/b.bin"), OkResponse(bin, big), Record("GET", "/b.bin", 200)},
        {Request("HEAD", "/b.bin"), OkResponse(bin, big, true), Record("HEAD", "/b.bin", 200)},
        {"POST /s.txt HTTP/1.1\r\nContent-Length: 65536\r\n\r\n" + std::string(65536, 'x'),
         std::string(server::MethodNotAllowedResponse.bytes), Record("POST", "/s.txt", 405)},
#ifndef _WIN32  // under Wine a send to a peer that went away can block for good
        {Request("GET", "/r.bin"), "", Record("GET", "/r.bin", 200)},  // "": closed at once, the body meets a reset
#endif
    };
    constexpr int Clients = 12, Rounds = 2;
    const ProcessCounts baseline = CurrentProcessCounts();
    std::atomic<int> wrong{0};
    std::jthread writer([&](std::stop_token stop) {  // refused meanwhile on Windows, where a writer locks readers out
        for (std::size_t n = 1; !stop.stop_requested(); n = n * 7919 % (1 << 20))
            WriteFileBytes(root_ + L"c.bin", std::string(n, 'c'));
    });
    std::vector<std::jthread> clients;
    for (int c = 0; c < Clients; ++c)
        clients.emplace_back([&, c] {
            for (std::size_t i = 0; i < Rounds * std::size(kinds); ++i) {
                const auto& kind = kinds[(c + i) % std::size(kinds)];
                const Received got = kind.response.empty() ? Received{"", LoopbackClient().SendBytes(kind.request)}
                                                           : Exchange(kind.request);
                wrong += !got.closedCleanly || got.bytes != kind.response;
                for (int k = 0; k < 8; ++k) {
                    const std::string c = Exchange(Request("GET", "/c.bin")).bytes;
                    const std::string body = c.substr(std::min(c.size(), c.find("\r\n\r\n") + 4));
                    wrong += c != server::NotFoundResponse.bytes &&
                             (c != OkResponse(bin, body) || body.find_first_not_of('c') != std::string::npos);
                }
            }
        });
    clients.clear();
    writer = {};
    EXPECT_EQ(wrong.load(), 0);
    CountsBackTo(baseline);
    LogContents log = ReadLog();
    EXPECT_EQ(log.broken, std::vector<std::string>{});
    for (const auto& kind : kinds) EXPECT_EQ(log.counts[kind.record], Clients * Rounds) << kind.record;
}

// The fuzzer's corpus, each input sent in pieces of the size its first byte sets, over an empty web root:
// every connection ends, by a close or by a reset for a head refused unread, and no file is served.
TEST_F(ServedFolder, HostileInputsEndAndBringNoFile) {
    server::SetRequestHeadTimeoutForTests(2000);  // no head left waiting long, should an end of input go unseen
    const ProcessCounts baseline = CurrentProcessCounts();
    int inputs = 0;
    for (const auto& entry : std::filesystem::directory_iterator(QUARVELLO_SOURCE_DIR "/fuzz/corpus/request")) {
        const std::string input = ReadFileBytes(entry.path().wstring());
        LoopbackClient client;
        const std::size_t piece = 1 + static_cast<unsigned char>(input[0]) % 64;
        for (std::size_t at = 1; at < input.size() && client.SendBytes(input.substr(at, piece)); at += piece) {}
        client.ShutdownSend();
        const Received got = ReceiveAll(client.Handle(), Ceiling);
        EXPECT_TRUE(!got.timedOut && !got.bytes.starts_with("HTTP/1.1 200")) << input.substr(1, 80);
        ++inputs;
    }
    EXPECT_GT(inputs, 0);
    CountsBackTo(baseline);
}

// The log held by another program sharing nothing (Windows), or its volume full (test.d/log-volume-full):
// the answers go on, the records that cannot be written are dropped whole, and the log resumes after.
TEST_F(ServedFolder, RecordsDropWholeWhileTheLogCannotBeWritten) {
    const char* volume = std::getenv("QUARVELLO_SMALL_VOLUME");  // filled up to its last 64 KiB
#ifdef _WIN32
    const HANDLE held = ::CreateFileW(storage::LogFilePath().c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                      OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
#else
    if (volume == nullptr) GTEST_SKIP() << "run by tools/test.d/log-volume-full";
#endif
    const std::string target = "/" + std::string(60, 'x');
    int requests = volume ? 1200 : 10, answered = 0;
    for (int i = 0; i < requests; ++i) answered += Exchange(Request("GET", target)).bytes.starts_with("HTTP/1.1 404 ");
#ifdef _WIN32
    ::CloseHandle(held);
#else
    std::filesystem::remove(std::string(volume) + "/filler");
#endif
    for (int i = 0; i < 20; ++i) Exchange(Request("GET", "/after"));
    LogContents log = ReadLog();
    EXPECT_EQ(log.broken, std::vector<std::string>{});
    EXPECT_EQ(answered, requests);
    EXPECT_LE(log.counts[Record("GET", target, 404)], volume ? requests - 1 : 0) << "written throughout";
    EXPECT_EQ(log.counts[Record("GET", "/after", 404)], 20);
}
