// The real server on port 80 under hostile input and a log that cannot be written.
#ifdef _WIN32
#include <windows.h>
#endif

#include "test_support.h"

using namespace testing_support;

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
