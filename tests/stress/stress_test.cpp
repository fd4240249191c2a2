// The real server on port 80 under what only load and faults show.
#ifdef _WIN32
#include <windows.h>
#endif

#include "server/response.h"
#include "test_support.h"

using namespace testing_support;
using Clock = std::chrono::steady_clock;

const std::string Binary = "application/octet-stream", Small = PatternBytes(1024, 1), Big = PatternBytes(8 << 20, 2);
const std::string NotFound(server::NotFoundResponse.bytes);

static void RepeatOnThreads(int count, std::chrono::milliseconds time, const std::function<void(int)>& body) {
    const auto end = Clock::now() + time;
    std::vector<std::jthread> threads;
    for (int i = 0; i < count; ++i)
        threads.emplace_back([&, i] { for (int n = 0; n < 100000 && Clock::now() < end; ++n) body(i); });
}

static LogContents WholeLog(LogContents log = ReadLog()) {
    EXPECT_TRUE(log.broken.empty()) << log.broken.size() << " broken lines, the first: " << log.broken.front();
    return log;
}

class Stress : public ServedFolder {};

TEST_F(Stress, MixedLoadAndResetsGetExactAnswersAndOneWholeRecordEach) {
    Plant(L"s.txt", Small);
    for (const wchar_t* name : {L"b.bin", L"r.bin"}) Plant(name, Big);
    const struct { std::string request, response, record; } kinds[] = {
        {Request("GET", "/s.txt"), OkResponse("text/plain; charset=utf-8", Small), Record("GET", "/s.txt", 200)},
        {Request("GET", "/b.bin"), OkResponse(Binary, Big), Record("GET", "/b.bin", 200)},
        {Request("HEAD", "/b.bin"), OkResponse(Binary, Big, true), Record("HEAD", "/b.bin", 200)},
        {Request("GET", "/none"), NotFound, Record("GET", "/none", 404)},
        {"POST /s.txt HTTP/1.1\r\nContent-Length: 65536\r\n\r\n" + std::string(65536, 'x'),
         std::string(server::MethodNotAllowedResponse.bytes), Record("POST", "/s.txt", 405)},
        {Request("GET", "/../s.txt"), std::string(server::BadRequestResponse.bytes), Record("GET", "/../s.txt", 400)},
#ifndef _WIN32  // under Wine a send to a peer that went away can block for good
        {Request("GET", "/r.bin"), "", Record("GET", "/r.bin", 200)},  // "": closed at once, so the body meets a reset
#endif
    };
    const platform::ProcessCounts baseline = platform::CurrentProcessCounts();
    std::atomic<int> requests[std::size(kinds)]{}, wrong{0}, next{0};
    RepeatOnThreads(12, 3s, [&](int) {
        const auto& kind = kinds[next++ % std::size(kinds)];
        ++requests[&kind - kinds];
        if (kind.response.empty()) {
            wrong += !LoopbackClient().SendBytes(kind.request);
            return;
        }
        const Received got = Exchange(kind.request);
        wrong += !got.closedCleanly || got.bytes != kind.response;
    });
    EXPECT_EQ(wrong.load(), 0);
    CountsBackTo(baseline);
    for (LogContents log = WholeLog(); const auto& kind : kinds)
        EXPECT_EQ(log.counts[kind.record], requests[&kind - kinds].load()) << kind.record;
}

// 100 idle clients and 50 that send header bytes now and then until just before the deadline, which ends them all.
TEST_F(Stress, IdleAndSlowClientsAreClosedAtTheDeadlineWhileALiveOneIsServed) {
    server::SetRequestHeadTimeoutForTests(2000);
    const platform::ProcessCounts baseline = platform::CurrentProcessCounts();
    std::vector<LoopbackClient> clients(150);
    const auto connected = Clock::now();
    for (int i = 100; i < 150; ++i) clients[i].SendBytes("GET /none HTTP/1.1\r\n");
    std::atomic<int> live{0}, liveWrong{0};
    std::thread other([&] {
        for (int round = 0; round < 100 && Clock::now() < connected + 1800ms; ++round) {
            for (int i = 100; i < 150; ++i) clients[i].SendBytes("X");
            ++(Exchange(Request("GET", "/none"), 500ms).bytes == NotFound ? live : liveWrong);
            std::this_thread::sleep_for(100ms);
        }
    });
    for (int i = 0; i < 150 && Clock::now() < connected + 8s; ++i) {
        const Received got = ReceiveAll(clients[i].Handle(), 7s);
        const auto held = Clock::now() - connected;
        EXPECT_TRUE(got.closedCleanly && got.bytes == (i < 100 ? "" : NotFound) && held < 2800ms &&
                    (i > 0 || held >= 1700ms)) << "client " << i << " after " << held.count() << " ns";
    }
    other.join();
    clients.clear();
    EXPECT_TRUE(liveWrong.load() == 0 && live.load() >= 5) << live.load() << " right, " << liveWrong.load() << " wrong";
    CountsBackTo(baseline);
    EXPECT_EQ(WholeLog().counts[Record("GET", "/none", 404)], 50 + live.load());
}

// Thread 0 rewrites a file at other lengths and removes the log folder now and then; the others fetch the file.
TEST_F(Stress, FilesAndFoldersChangingUnderTheServerLeaveWholeAnswersAndWholeLines) {
    const std::string pattern = PatternBytes(1 << 20, 7);
    std::atomic<int> answered{0}, refused{0}, wrong{0}, removed{0}, step{0};
    RepeatOnThreads(7, 2s, [&](int thread) {
        if (thread == 0) {
            WriteFileBytes(root_ + L"c.bin", pattern.substr(0, ++step * 2654435761u % pattern.size()));
            removed += step % 20 == 0 && RemoveTree(storage::LogFolderPath());
            return std::this_thread::sleep_for(1ms);
        }
        const Received got = Exchange(Request("GET", "/c.bin"));
        const std::string body = got.bytes.substr(std::min(got.bytes.size(), got.bytes.find("\r\n\r\n") + 4));
        const bool whole = got.closedCleanly && got.bytes == OkResponse(Binary, body) && pattern.starts_with(body);
        ++(whole ? answered : got.bytes == NotFound ? refused : wrong);  // a writer can keep readers out on Windows
    });
    EXPECT_TRUE(wrong == 0 && answered > 5 && removed > 2) << wrong << " wrong, " << answered << " whole, " << removed;
    EXPECT_EQ(Exchange(Request("GET", "/none")).bytes, NotFound);
    EXPECT_EQ(WholeLog().counts[Record("GET", "/none", 404)], 1);
}

TEST_F(Stress, HostileInputsNeverBringBackAFileFromOutsideTheWebRoot) {
    server::SetRequestHeadTimeoutForTests(2000);  // no head left waiting long, should an end of input go unseen
    WriteFileBytes(data_.Root() + L"/Quarvel/secret.txt", "quarvello-secret");
    const platform::ProcessCounts baseline = platform::CurrentProcessCounts();
    std::vector<std::string> inputs = {
        std::string("@").append(Request("GET", storage::WideToUtf8(data_.Root()) + "/Quarvel/secret.txt"))};
    for (const char* target : {"/../secret.txt", "/..\\secret.txt", "/%2e%2e/secret.txt", "/sub/../../secret.txt"})
        inputs.push_back(std::string("@").append(Request("GET", target)));
    for (const auto& entry : std::filesystem::directory_iterator(QUARVELLO_SOURCE_DIR "/fuzz/corpus/request"))
        inputs.push_back(ReadFileBytes(entry.path().wstring()));  // the fuzzer's: the first byte sets the piece size
    for (const std::string& input : inputs) {
        LoopbackClient client;
        const std::size_t piece = 1 + static_cast<unsigned char>(input[0]) % 64;
        for (std::size_t at = 1; at < input.size() && client.SendBytes(input.substr(at, piece)); at += piece) {}
        client.ShutdownSend();
        EXPECT_EQ(ReceiveAll(client.Handle(), 5s).bytes.find("quarvello-secret"), std::string::npos) << input.substr(1);
    }
    CountsBackTo(baseline);
    WholeLog();
}

// On Windows another program holds the log open, sharing nothing; natively its volume is full (log-volume-full).
TEST_F(Stress, RecordsAreDroppedWholeWhileTheLogCannotBeWrittenAndResumeAfter) {
    const char* volume = std::getenv("QUARVELLO_SMALL_VOLUME");  // filled up to its last 64 KiB
#ifdef _WIN32
    const HANDLE held = ::CreateFileW(storage::LogFilePath().c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                      OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
#else
    if (volume == nullptr) GTEST_SKIP() << "run by tools/test.d/log-volume-full";
#endif
    for (std::size_t i = 0; i < (volume ? 1200u : 10u); ++i) Exchange(Request("GET", "/" + std::string(60, 'x')));
    EXPECT_LT(WholeLog().access.size(), volume ? 1200u : 10u) << "the log could be written throughout";
#ifdef _WIN32
    ::CloseHandle(held);
#else
    std::filesystem::remove(std::string(volume) + "/filler");
#endif
    for (int i = 0; i < 20; ++i) Exchange(Request("GET", "/after"));
    EXPECT_EQ(WholeLog().counts[Record("GET", "/after", 404)], 20);
}
