#include "ui/status_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "other_listener.h"
#include "storage/data_folders.h"
#include "test_support.h"

using ui::ComposeStatusText;
using ui::CurrentStatusText;

namespace {

using testing_support::SplitLines;

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

// Clears a running flag that a test set by hand, whatever it asserted.
struct RunningFlagGuard {
    server::WebServer& server;
    ~RunningFlagGuard() { server.running.store(false); }
};

struct StopGuard {
    server::WebServer& server;
    ~StopGuard() { server.Stop(); }
};

}  // namespace

TEST(ComposeStatusText, EveryStateHasTheSameTwelveLines) {
    struct Case {
        bool running, accepted;
        const wchar_t* server;
        const wchar_t* portStatus;
        const wchar_t* url;
    };
    const Case cases[] = {
        {true, true, L" Server:            RUNNING", L" Port Status:     LISTENING",
         L" URL:               http://localhost/"},
        {true, false, L" Server:            RUNNING", L" Port Status:     NOT LISTENING",
         L" URL:               http://localhost/"},
        {false, true, L" Server:            STOPPED", L" Port Status:     IN USE (other app?)", L""},
        {false, false, L" Server:            STOPPED", L" Port Status:     FREE", L""},
    };
    const std::wstring webRoot = L"/data/web root/";
    const std::wstring logFile = L"/data/log/Quarvel.log";
    for (const Case& c : cases) {
        const std::wstring text = ComposeStatusText(c.running, c.accepted, webRoot, logFile);
        SCOPED_TRACE(Narrow(text));
        EXPECT_EQ(text.find(L'\r'), std::wstring::npos);
        const std::vector<std::wstring> lines = SplitLines(text);
        ASSERT_EQ(lines.size(), 12u);
        EXPECT_EQ(lines[0], c.server);
        EXPECT_EQ(lines[1], L" Port:               80");
        EXPECT_EQ(lines[2], c.portStatus);
        EXPECT_EQ(lines[3], c.url);
        EXPECT_EQ(lines[4], L"");
        EXPECT_EQ(lines[5], L" Web Root:");
        EXPECT_EQ(lines[6], L"     " + webRoot);
        EXPECT_EQ(lines[7], L" Log:");
        EXPECT_EQ(lines[8], L"     " + logFile);
        EXPECT_EQ(lines[9], L"");
        EXPECT_EQ(lines[10], L" Quarvello v1.0");
        EXPECT_EQ(lines[11], L" Serves one folder over HTTP on port 80.");
    }
}

TEST(ComposeStatusText, TakesPathsVerbatimAndEmptyPathsKeepTheirLines) {
    const std::wstring odd = L"C:\\Users\\J\u00F6rg \u20AC\\a\tb\\";
    const std::vector<std::wstring> lines = SplitLines(ComposeStatusText(true, true, odd, L""));
    ASSERT_EQ(lines.size(), 12u);
    EXPECT_EQ(lines[6], L"     " + odd);
    EXPECT_EQ(lines[8], L"     ");
}

// The tests below probe the real server port: they run one at a time, in the test namespace.

TEST(CurrentStatusText, RunningServerListensAndShowsTheRootItServes) {
    testing_support::ScopedDataFolder data;
    testing_support::CapturedMessages messages;
    server::WebServer webServer;
    StopGuard guard{webServer};
    ASSERT_TRUE(webServer.Start(nullptr));
    const std::vector<std::wstring> lines = SplitLines(CurrentStatusText(webServer));
    ASSERT_EQ(lines.size(), 12u);
    EXPECT_EQ(lines[0], L" Server:            RUNNING");
    EXPECT_EQ(lines[2], L" Port Status:     LISTENING");
    EXPECT_EQ(lines[3], L" URL:               http://localhost/");
    EXPECT_EQ(lines[6], L"     " + webServer.webRootPath);
    EXPECT_EQ(lines[8], L"     " + storage::LogFilePath());
}

TEST(CurrentStatusText, StoppedServerWithNothingOnThePortReadsFree) {
    testing_support::ScopedDataFolder data;
    const server::WebServer webServer;
    const std::vector<std::wstring> lines = SplitLines(CurrentStatusText(webServer));
    ASSERT_EQ(lines.size(), 12u);
    EXPECT_EQ(lines[0], L" Server:            STOPPED");
    EXPECT_EQ(lines[2], L" Port Status:     FREE");
    EXPECT_EQ(lines[3], L"");
    // Stopped, the panel shows where the next start would serve from.
    EXPECT_EQ(lines[6], L"     " + storage::WebRootPath());
}

TEST(CurrentStatusText, StoppedServerWithAnotherListenerReadsInUse) {
    testing_support::ScopedDataFolder data;
    testing_support::OtherListener other;
    const server::WebServer webServer;
    const std::vector<std::wstring> lines = SplitLines(CurrentStatusText(webServer));
    ASSERT_EQ(lines.size(), 12u);
    EXPECT_EQ(lines[0], L" Server:            STOPPED");
    EXPECT_EQ(lines[2], L" Port Status:     IN USE (other app?)");
}

TEST(CurrentStatusText, RunningFlagWithoutAListenerReadsNotListening) {
    testing_support::ScopedDataFolder data;
    server::WebServer webServer;
    RunningFlagGuard guard{webServer};
    // The state of a server whose port cannot be reached: running, nothing accepting.
    webServer.webRootPath = L"/elsewhere/web/";
    webServer.running.store(true);
    const std::vector<std::wstring> lines = SplitLines(CurrentStatusText(webServer));
    ASSERT_EQ(lines.size(), 12u);
    EXPECT_EQ(lines[0], L" Server:            RUNNING");
    EXPECT_EQ(lines[2], L" Port Status:     NOT LISTENING");
    EXPECT_EQ(lines[6], L"     /elsewhere/web/");
}
