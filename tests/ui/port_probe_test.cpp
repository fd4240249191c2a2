#include "ui/port_probe.h"

#include <gtest/gtest.h>

#include <chrono>

#include "other_listener.h"
#include "server/web_server.h"
#include "storage/data_folders.h"
#include "test_support.h"

// Every test here uses the real server port: they run one at a time, in the test namespace.

using namespace std::chrono_literals;
using testing_support::LoopbackClient;
using testing_support::OtherListener;
using testing_support::ScopedDataFolder;
using ui::ProbePort;

namespace {
struct StopGuard {
    server::WebServer& server;
    ~StopGuard() { server.Stop(); }
};
}  // namespace

TEST(ProbePort, NothingListeningIsNotAccepted) {
    const int usesBefore = platform::SocketLibraryUses();
    EXPECT_FALSE(ProbePort());
    EXPECT_EQ(platform::SocketLibraryUses(), usesBefore);
}

TEST(ProbePort, AnotherProgramsListenerIsAcceptedUntilItGoes) {
    OtherListener other;
    EXPECT_TRUE(ProbePort());
    other.Release();
    EXPECT_FALSE(ProbePort());
}

TEST(ProbePort, RunningServerIsAcceptedAndKeepsListening) {
    ScopedDataFolder data;
    testing_support::CapturedMessages messages;
    server::WebServer webServer;
    StopGuard guard{webServer};
    ASSERT_TRUE(webServer.Start(nullptr));
    const int usesWhileRunning = platform::SocketLibraryUses();
    for (int i = 0; i < 5; ++i) EXPECT_TRUE(ProbePort()) << "probe " << i;
    // Each probe gave back exactly its own use of the socket library, never the server's.
    EXPECT_TRUE(testing_support::WaitUntil([&] { return platform::SocketLibraryUses() == usesWhileRunning; }, 5s))
        << platform::SocketLibraryUses() << " uses, expected " << usesWhileRunning;
    LoopbackClient client;
    EXPECT_TRUE(client.Connected());
    client.Close();
    webServer.Stop();
    EXPECT_FALSE(ProbePort());
    EXPECT_TRUE(messages.Take().empty());
}

TEST(ProbePort, ProbesLeaveNoLogRecord) {
    ScopedDataFolder data;
    testing_support::CapturedMessages messages;
    server::WebServer webServer;
    StopGuard guard{webServer};
    ASSERT_TRUE(webServer.Start(nullptr));
    const int usesWhileRunning = platform::SocketLibraryUses();
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(ProbePort());
    // The connection threads have ended once their uses of the socket library are back.
    ASSERT_TRUE(testing_support::WaitUntil([&] { return platform::SocketLibraryUses() == usesWhileRunning; }, 5s));
    const auto lines = testing_support::SplitCrLfLines(testing_support::ReadFileBytes(storage::LogFilePath()));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find(" [INFO] Server started"), std::string::npos) << lines[0];
}
