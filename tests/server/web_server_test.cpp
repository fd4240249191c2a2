// The server on loopback port 80: the table of cases and what it cannot hold, and start and stop.

#include "http_table.h"
#include "server/request.h"
#include "server/response.h"
#include "server/system_error_text.h"
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
    for (int i = 0; i < 40; ++i) EXPECT_TRUE(platform::ConnectIpv4(sockets[i], "127.0.0.1", 80));
    EXPECT_TRUE(WaitUntil([&] { return server_.acceptFailures > 0; }, 5s));
    const int before = server_.acceptFailures;
    std::this_thread::sleep_for(500ms);  // one try per pause, never a spin: at most 500 / 50 and one at the edge
    EXPECT_LE(server_.acceptFailures - before, 500 / server::AcceptPauseMs + 1);
    EXPECT_EQ(::setrlimit(RLIMIT_NOFILE, &saved), 0);
    for (platform::Socket s : sockets) platform::CloseSocket(s);
    EXPECT_EQ(Exchange(Request("GET", "/a.txt"), 5s).bytes, hello);
}
#endif

TEST(Reception, TakesEachHeadFromTheSocketAndLeavesWhatFollowsUnread) {
    OtherListener listener;
    LoopbackClient client;
    platform::PeerAddress peer;
    const platform::Socket accepted = platform::Accept(listener.socket, peer);
    client.SendBytes("GET /a\rb HTTP/1.1\nHost: h\r\n\r\nGET / x\n" + std::string(server::MaxLineBytes + 3, 'h') +
                     "\n\n" + std::string(server::MaxLineBytes + 1, 'a') + "\r\n\r\n");
    client.ShutdownSend();
    std::vector<char> scratch(8192);
    for (std::string_view line : {"GET /ab HTTP/1.1", "GET / x", "hh", ""}) {  // a header, then a line, too long
        auto head = std::make_unique<server::RequestHead>();
        server::ReceiveRequestHead(accepted, *head, scratch, std::chrono::steady_clock::now() + 10s);
        EXPECT_EQ(head->RequestLineText(), line);
    }
    EXPECT_EQ(ReceiveAll(accepted, 5s).bytes, "\r\n\r\n");
    platform::CloseSocket(accepted);
}

TEST_F(ServedFolder, StartsAndStopsOnceEachTimeAndLeavesNothingBehind) {
    const platform::ProcessCounts baseline = platform::CurrentProcessCounts();
    const int uses = platform::SocketLibraryUses();
    EXPECT_TRUE(server_.Start(nullptr) && platform::SocketLibraryUses() == uses);  // already running: no change
    LoopbackClient idle;  // not waited for
    const auto begin = std::chrono::steady_clock::now();
    server_.Stop();
    server_.Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - begin, 1s);
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

TEST_F(ServedFolder, ATakenPortOrAnUncreatableWebRootIsReportedAndNothingIsHeld) {
    TakeShownMessages();
    server_.Stop();
    const int uses = platform::SocketLibraryUses();
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
    const std::vector<ShownMessage> shown = TakeShownMessages();
    ASSERT_EQ(shown.size(), 2u);
    int code = 98;
#ifdef _WIN32  // in use, or refused where the other listener holds the port exclusively
    code = shown[0].text.find(server::SystemErrorText(10013)) != std::wstring::npos ? 10013 : 10048;
#endif
    EXPECT_EQ(shown[0].caption + L": " + shown[0].text,
              L"Error: bind() to port 80 failed:\n" + server::SystemErrorText(code) +
                  L"\n\nNote: port 80 usually requires admin privileges, or the port is already in use.\n"
                  L"Run as Administrator or free the port.");
    EXPECT_EQ(shown[1].caption + L": " + shown[1].text,
              L"Error: Failed to create Web Root directory:\n" + storage::WebRootPath());
}
