// The server on loopback port 80: the table of cases and what it cannot hold, and start and stop.

#include "http_table.h"
#include "server/response.h"
#include "test_support.h"

using namespace testing_support;

TEST_F(ServedFolder, AnswersTheTableAMissingIndexAndAFileWithoutMemory) {
    PlantHttpFixture(root_);
    const HttpTable table = LoadHttpTable();
    std::vector<std::string> expected = CheckHttpCases(table.cases);
    std::filesystem::remove(At(L"index.html"));
    EXPECT_EQ(Exchange(Request("GET", "/")).bytes, table.named.at("no-index"));
    std::filesystem::create_directories(At(L"index.html"));
    EXPECT_EQ(Exchange(Request("GET", "")).bytes, table.named.at("no-index"));
    server::SetFileBufferLimitForTests(4);
    EXPECT_EQ(Exchange(Request("GET", "/a.txt")).bytes, table.named.at("500"));
    for (auto [target, status] : {std::pair{"/", 404}, {"", 404}, {"/a.txt", 500}})
        expected.push_back(Record("GET", target, status));
    EXPECT_EQ(ReadLog().access, expected);
}

#ifndef _WIN32
#include <sys/resource.h>
TEST_F(ServedFolder, AnswersAgainAfterABurstBeyondTheDescriptorLimit) {
    Plant(L"a.txt", "hello");
    const std::string hello = OkResponse("text/plain; charset=utf-8", "hello");
    // Answered once before: the sanitizers' checks of a connection's types, which need descriptors, are then done.
    ASSERT_EQ(Exchange(Request("GET", "/a.txt")).bytes, hello);
    std::vector<platform::Socket> sockets(40);  // the clients, made while descriptors remain
    std::generate(sockets.begin(), sockets.end(), platform::OpenTcpSocket);
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
    const rlimit lowered{sockets.back() + 1, saved.rlim_max};  // then every descriptor below the limit taken
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &lowered), 0);
    for (platform::Socket s; (s = platform::OpenTcpSocket()) != platform::InvalidSocket;) sockets.push_back(s);
    for (int i = 0; i < 40; ++i) EXPECT_TRUE(ConnectLoopback(sockets[i], 80));
    EXPECT_TRUE(WaitUntil([&] { return server_.acceptFailures > 0; }, 5s));
    const int before = server_.acceptFailures;
    std::this_thread::sleep_for(500ms);  // one try per pause, never a spin: at most 500 / 50 and one at the edge
    EXPECT_LE(server_.acceptFailures - before, 500 / server::AcceptPauseMs + 1);
    EXPECT_EQ(::setrlimit(RLIMIT_NOFILE, &saved), 0);
    for (platform::Socket s : sockets) platform::CloseSocket(s);
    EXPECT_EQ(Exchange(Request("GET", "/a.txt")).bytes, hello);
}
#endif

TEST_F(ServedFolder, StartsAndStopsOnceEachTimeAndLeavesNothingBehind) {
    const ProcessCounts baseline = CurrentProcessCounts();
    const int uses = platform::SocketLibraryUses();
    EXPECT_TRUE(server_.Start(nullptr) && platform::SocketLibraryUses() == uses);  // already running: no change
    LoopbackClient idle;  // not waited for
    const auto begin = std::chrono::steady_clock::now();
    server_.Stop();
    server_.Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - begin, 10s);  // not held by the idle client's 30 s
    idle.Close();
    std::atomic<bool> done{false};
    std::thread clients([&] { while (!done) LoopbackClient{}; });
    for (int i = 0; i < 40; ++i, std::this_thread::sleep_for(2ms), server_.Stop()) EXPECT_TRUE(server_.Start(nullptr));
    done = true;
    clients.join();
    ASSERT_TRUE(server_.Start(nullptr));
    CountsBackTo(baseline);
    EXPECT_EQ(platform::SocketLibraryUses(), uses);
    const std::vector<std::string> lines = SplitCrLfLines(ReadFileBytes(storage::LogFilePath()));
    ASSERT_EQ(lines.size(), 83u);
    EXPECT_EQ(lines[0].substr(23) + lines[1].substr(23), " [INFO] Server started [INFO] Server stopped");
}

// The bind message itself is checked on the real exe; here only that a failed start holds nothing.
TEST_F(ServedFolder, ATakenPortOrAnUncreatableWebRootIsReportedAndNothingIsHeld) {
    TakeShownMessages();
    server_.Stop();
    const int uses = platform::SocketLibraryUses();
    const ProcessCounts baseline = CurrentProcessCounts();  // no socket, thread or handle may outlive a failure
    auto other = std::make_unique<OtherListener>();
    EXPECT_FALSE(server_.Start(nullptr));
    other.reset();
    EXPECT_TRUE(server_.Start(nullptr));
    server_.Stop();
    const std::wstring quarvel = storage::WebRootPath().substr(0, storage::WebRootPath().size() - 5);
    RemoveTree(quarvel);
    WriteFileBytes(quarvel, "a file where the folder goes");
    EXPECT_FALSE(server_.Start(nullptr));
    EXPECT_EQ(platform::SocketLibraryUses(), uses);
    CountsBackTo(baseline);
    const std::vector<ShownMessage> shown = TakeShownMessages();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_TRUE(shown[0].text.starts_with(L"bind() to port 80 failed:\n")) << platform::WideToUtf8(shown[0].text);
    EXPECT_EQ(shown[1].caption + L": " + shown[1].text,
              L"Error: Failed to create Web Root directory:\n" + storage::WebRootPath());
}
