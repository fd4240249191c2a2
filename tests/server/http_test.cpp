// The server on port 80 natively: the table of cases and what it cannot hold; a burst beyond the descriptor limit.
#include <sys/resource.h>

#include "test_support.h"

using namespace testing_support;

TEST_F(ServedFolder, AnswersTheTableAMissingIndexAndNoMemory) {
    PlantHttpFixture(root_);
    const HttpTable table = LoadHttpTable();
    std::vector<std::string> expected = CheckHttpCases(table.cases);
    std::filesystem::remove(root_ + L"index.html");
    EXPECT_EQ(Exchange(Request("GET", "/")).bytes, table.named.at("no-index"));
    std::filesystem::create_directories(root_ + L"index.html");
    EXPECT_EQ(Exchange(Request("GET", "")).bytes, table.named.at("no-index"));
    server::SetFileBufferLimitForTests(4);
    EXPECT_EQ(Exchange(Request("GET", "/a.txt")).bytes, table.named.at("500"));
    for (auto [target, status] : {std::pair{"/", 404}, {"", 404}, {"/a.txt", 500}})
        expected.push_back(Record("GET", target, status));
    EXPECT_EQ(ReadLog().access, expected);
}

TEST_F(ServedFolder, PausesBetweenAcceptsInABurstBeyondTheDescriptorLimit) {
    WriteFileBytes(root_ + L"a.txt", "hello");
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
    EXPECT_SOON(server_.acceptFailures > 0);
    const int before = server_.acceptFailures;
    std::this_thread::sleep_for(500ms);  // one try per pause, never a spin: at most 500 / 50 and one at the edge
    EXPECT_LE(server_.acceptFailures - before, 500 / server::AcceptPauseMs + 1);
    EXPECT_EQ(::setrlimit(RLIMIT_NOFILE, &saved), 0);
    for (platform::Socket s : sockets) platform::CloseSocket(s);
    EXPECT_EQ(Exchange(Request("GET", "/a.txt")).bytes, hello);
}
