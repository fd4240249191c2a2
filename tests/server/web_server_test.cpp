#include "server/web_server.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/files.h"
#include "platform/process_stats.h"
#include "server/system_error_text.h"
#include "storage/data_folders.h"
#include "storage/log_writer.h"
#include "test_support.h"

using namespace std::chrono_literals;
using server::WebServer;
using testing_support::CapturedMessages;
using testing_support::LoopbackClient;
using testing_support::ReadFileBytes;
using testing_support::ScopedDataFolder;
using testing_support::SplitCrLfLines;

namespace {

// Stops the server when the test leaves, whatever it asserted.
struct StopGuard {
    WebServer& server;
    ~StopGuard() { server.Stop(); }
};

std::vector<std::string> LogLines() { return SplitCrLfLines(ReadFileBytes(storage::LogFilePath())); }

bool IsInfoRecord(const std::string& line, const std::string& message) {
    return line.size() == storage::LogTimestampLength + message.size() &&
           line.substr(storage::LogTimestampLength) == message && line[4] == '-' && line[10] == ' ';
}

// A plain listener on port 80 that belongs to "another program".
struct OtherListener {
    platform::Socket socket = platform::InvalidSocket;
    OtherListener() {
        socket = platform::OpenTcpSocket();
        platform::SetListenerAddressOptions(socket);  // past TIME_WAIT of earlier tests
        bool ok = platform::BindAnyAddress(socket, server::ServerPort) && platform::ListenWithLargestBacklog(socket);
        EXPECT_TRUE(ok) << "could not take port 80 for the test";
    }
    ~OtherListener() { Release(); }
    void Release() {
        if (socket == platform::InvalidSocket) return;
        platform::CloseSocket(socket);
        socket = platform::InvalidSocket;
    }
};

}  // namespace

TEST(ServerLifecycle, StartThenStopWritesExactlyTheTwoRecords) {
    ScopedDataFolder data;
    CapturedMessages messages;
    WebServer server;
    StopGuard guard{server};
    ASSERT_TRUE(server.Start(nullptr));
    EXPECT_TRUE(server.running.load());
    EXPECT_EQ(server.webRootPath, storage::WebRootPath());
    EXPECT_TRUE(platform::QueryAttributes(storage::WebRootPath()).directory);
    {
        LoopbackClient client;  // it listens for real
        EXPECT_TRUE(client.Connected());
    }
    server.Stop();
    EXPECT_FALSE(server.running.load());
    auto lines = LogLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_TRUE(IsInfoRecord(lines[0], " [INFO] Server started")) << lines[0];
    EXPECT_TRUE(IsInfoRecord(lines[1], " [INFO] Server stopped")) << lines[1];
    EXPECT_TRUE(messages.Take().empty());
    LoopbackClient refused;
    EXPECT_FALSE(refused.Connected());
}

TEST(ServerLifecycle, StartWhileRunningAndStopWhileStoppedChangeNothing) {
    ScopedDataFolder data;
    WebServer server;
    StopGuard guard{server};
    server.Stop();  // stopped: no record
    EXPECT_TRUE(ReadFileBytes(storage::LogFilePath()).empty());

    ASSERT_TRUE(server.Start(nullptr));
    const platform::Socket listener = server.listenSocket;
    const int uses = platform::SocketLibraryUses();
    auto counts = platform::CurrentProcessCounts();
    EXPECT_TRUE(server.Start(nullptr));
    EXPECT_EQ(server.listenSocket, listener);
    EXPECT_EQ(platform::SocketLibraryUses(), uses);
    EXPECT_EQ(platform::CurrentProcessCounts().threads, counts.threads);
    EXPECT_EQ(platform::CurrentProcessCounts().handles, counts.handles);
    EXPECT_EQ(LogLines().size(), 1u);

    server.Stop();
    server.Stop();
    EXPECT_EQ(LogLines().size(), 2u);
    EXPECT_EQ(platform::SocketLibraryUses(), uses - 1);
}

TEST(ServerLifecycle, TakenPortGivesTheBindMessageAndALaterStartSucceeds) {
    ScopedDataFolder data;
    CapturedMessages messages;
    WebServer server;
    StopGuard guard{server};
    OtherListener other;
    const int usesBefore = platform::SocketLibraryUses();

    EXPECT_FALSE(server.Start(nullptr));
    EXPECT_FALSE(server.running.load());
    EXPECT_EQ(platform::SocketLibraryUses(), usesBefore);
    auto shown = messages.Take();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].caption, L"Error");
    const std::wstring prefix = L"bind() to port 80 failed:\n";
    const std::wstring note =
        L"\n\nNote: port 80 usually requires admin privileges, or the port is already in use.\n"
        L"Run as Administrator or free the port.";
    const std::wstring& text = shown[0].text;
    ASSERT_TRUE(text.starts_with(prefix)) << text.c_str();
    ASSERT_TRUE(text.ends_with(note));
    std::wstring systemText = text.substr(prefix.size(), text.size() - prefix.size() - note.size());
#ifdef _WIN32
    // WSAEADDRINUSE, or WSAEACCES where the other listener holds the port exclusively.
    EXPECT_TRUE(systemText == server::SystemErrorText(10048) || systemText == server::SystemErrorText(10013))
        << storage::WideToUtf8(systemText);
#else
    EXPECT_EQ(systemText, server::SystemErrorText(98));  // EADDRINUSE
#endif
    EXPECT_TRUE(ReadFileBytes(storage::LogFilePath()).empty());

    other.Release();
    EXPECT_TRUE(server.Start(nullptr));
    EXPECT_TRUE(messages.Take().empty());
}

TEST(ServerLifecycle, UncreatableWebRootIsReportedBeforeTheSocketLibraryStarts) {
    ScopedDataFolder data;
    CapturedMessages messages;
    // A plain file where the Quarvel folder goes makes the web root impossible to create.
    const std::wstring quarvel = data.Root() + platform::PathSeparator + L"Quarvel";
    testing_support::WriteFileBytes(quarvel, "not a folder");
    WebServer server;
    StopGuard guard{server};
    const int uses = platform::SocketLibraryUses();
    EXPECT_FALSE(server.Start(nullptr));
    EXPECT_EQ(platform::SocketLibraryUses(), uses);
    EXPECT_EQ(server.listenSocket, platform::InvalidSocket);
    auto shown = messages.Take();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].caption, L"Error");
    EXPECT_EQ(shown[0].text, L"Failed to create Web Root directory:\n" + storage::WebRootPath());
    EXPECT_EQ(server.webRootPath, storage::WebRootPath());
}

TEST(ServerLifecycle, PlainFileWhereTheWebRootGoesStillStarts) {
    ScopedDataFolder data;
    CapturedMessages messages;
    std::wstring webRoot = storage::WebRootPath();
    ASSERT_TRUE(storage::EnsureFolder(data.Root() + platform::PathSeparator + L"Quarvel"));
    webRoot.pop_back();  // the same path without its trailing separator names a plain file
    testing_support::WriteFileBytes(webRoot, "plain");
    WebServer server;
    StopGuard guard{server};
    EXPECT_TRUE(server.Start(nullptr));
    EXPECT_TRUE(messages.Take().empty());
    EXPECT_EQ(ReadFileBytes(webRoot), "plain");
}

TEST(ServerLifecycle, StopWithAConnectionOpenReturnsAtOnce) {
    ScopedDataFolder data;
    WebServer server;
    StopGuard guard{server};
    ASSERT_TRUE(server.Start(nullptr));
    LoopbackClient idle;
    ASSERT_TRUE(idle.Connected());
    std::this_thread::sleep_for(50ms);
    auto begin = std::chrono::steady_clock::now();
    server.Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - begin, 1s);
    EXPECT_FALSE(server.running.load());
}

TEST(ServerLifecycle, RepeatedStartStopUnderConnectionsLeaksNothing) {
    ScopedDataFolder data;
    CapturedMessages messages;
    WebServer server;
    StopGuard guard{server};
    // Warm up whatever the system allocates once per process.
    ASSERT_TRUE(server.Start(nullptr));
    server.Stop();
    const auto baseline = platform::CurrentProcessCounts();
    const int usesBaseline = platform::SocketLibraryUses();

    std::atomic<bool> done{false};
    std::atomic<int> connected{0};
    std::thread clients([&] {
        while (!done.load()) {
            LoopbackClient client;
            if (client.Connected()) ++connected;
        }
    });
    constexpr int Cycles = 200;
    int started = 0;
    for (int i = 0; i < Cycles; ++i) {
        if (server.Start(nullptr)) ++started;
        std::this_thread::sleep_for(1ms);
        server.Stop();
    }
    done.store(true);
    clients.join();
    EXPECT_EQ(started, Cycles);
    EXPECT_GT(connected.load(), 0);
    auto shown = messages.Take();
    EXPECT_TRUE(shown.empty()) << storage::WideToUtf8(shown.front().text);

    // Connection threads finish on their own; give them a moment.
    bool settled = testing_support::WaitUntil(
        [&] {
            auto now = platform::CurrentProcessCounts();
            return now.handles == baseline.handles && now.threads == baseline.threads &&
                   platform::SocketLibraryUses() == usesBaseline;
        },
        10s);
    auto now = platform::CurrentProcessCounts();
    EXPECT_TRUE(settled) << "handles " << baseline.handles << " -> " << now.handles << ", threads " << baseline.threads
                         << " -> " << now.threads << ", socket uses " << usesBaseline << " -> "
                         << platform::SocketLibraryUses();
    EXPECT_EQ(LogLines().size(), static_cast<std::size_t>(2 * Cycles + 2));
}
