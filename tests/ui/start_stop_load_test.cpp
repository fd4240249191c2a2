// The real Quarvello.exe, its Start/Stop button pressed again and again from outside while
// clients load the server over loopback.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <iostream>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "program_driver.h"
#include "storage/data_folders.h"
#include "storage/log_writer.h"
#include "test_support.h"
#include "ui/control_window_layout.h"

using namespace std::chrono_literals;
using namespace program_driver;
using testing_support::SplitLines;

namespace {

constexpr int Presses = 50;
constexpr int Clients = 20;
// Connection threads that finish after the load still hold a handle or two each for a moment;
// what stays above the baseline for good is a leak.
constexpr DWORD HandleSlack = 5;

std::vector<std::string> LogLines() {
    return testing_support::SplitCrLfLines(testing_support::ReadFileBytes(storage::LogFilePath()));
}

std::string Page() { return std::string(1024, 'q'); }

std::string ExpectedResponse() {
    return "HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Type: text/html; charset=utf-8\r\n"
           "Content-Length: 1024\r\n\r\n" +
           Page();
}

// Clients that fetch the page again and again until told to stop. A connection that the
// server never accepted (it was stopped) gets nothing; any answer must be the whole one.
class Load {
public:
    Load() {
        for (int i = 0; i < Clients; ++i) threads_.emplace_back([this] { Run(); });
    }
    ~Load() { Stop(); }
    Load(const Load&) = delete;
    Load& operator=(const Load&) = delete;

    void Stop() {
        stop_ = true;
        for (std::thread& thread : threads_)
            if (thread.joinable()) thread.join();
    }
    int Answered() const { return answered_; }
    int Wrong() const { return wrong_; }
    std::string FirstWrong() const { return firstWrong_; }

private:
    void Run() {
        const std::string expected = ExpectedResponse();
        while (!stop_) {
            testing_support::LoopbackClient client;
            if (!client.Connected() || !client.SendBytes("GET /index.html HTTP/1.1\r\nHost: localhost\r\n\r\n")) {
                std::this_thread::sleep_for(5ms);
                continue;
            }
            const std::string response = client.ReceiveUntilClosed(10s);
            if (response == expected) {
                ++answered_;
            } else if (!response.empty() && wrong_++ == 0) {
                firstWrong_ = response.substr(0, 200);
            }
        }
    }

    std::atomic<bool> stop_{false};
    std::atomic<int> answered_{0};
    std::atomic<int> wrong_{0};
    std::string firstWrong_;
    std::vector<std::thread> threads_;
};

// The first line of the status panel, which reads the server's running flag.
std::wstring ServerLine(HWND window) {
    const std::vector<std::wstring> lines = SplitLines(ItemText(window, ui::IDC_STATUS_TEXT));
    return lines.empty() ? std::wstring() : lines[0];
}

std::wstring PortLine(HWND window) {
    const std::vector<std::wstring> lines = SplitLines(ItemText(window, ui::IDC_STATUS_TEXT));
    return lines.size() < 3 ? std::wstring() : lines[2];
}

std::size_t CountEnding(const std::vector<std::string>& lines, const std::string& tail) {
    std::size_t count = 0;
    for (const std::string& line : lines)
        if (line.size() >= tail.size() && line.compare(line.size() - tail.size(), tail.size(), tail) == 0) ++count;
    return count;
}

}  // namespace

TEST(StartStopUnderLoad, FiftyPressesWhileTwentyClientsFetchLeaveNoFalseStateAndNoLeak) {
    testing_support::ScopedDataFolder data;
    ASSERT_TRUE(storage::EnsureFolder(storage::WebRootPath()));
    testing_support::WriteFileBytes(storage::WebRootPath() + L"index.html", Page());
    Program program;
    ASSERT_TRUE(program.Launch()) << std::filesystem::path(ProgramPath()).string() << ": error " << ::GetLastError();
    HWND window = program.WaitForWindow();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(WaitFor([&] { return ::IsWindowVisible(window) != FALSE; }));
    Press(window, ui::IDC_STATUS);
    ASSERT_TRUE(WaitFor([&] { return ServerLine(window) == L" Server:            RUNNING"; }));

    // The baseline: the program serving, its status panel refreshed, its first requests done.
    {
        testing_support::LoopbackClient client;
        ASSERT_TRUE(client.SendBytes("GET /index.html HTTP/1.1\r\n\r\n"));
        ASSERT_EQ(client.ReceiveUntilClosed(), ExpectedResponse());
    }
    std::this_thread::sleep_for(1s);
    const std::optional<DWORD> baseline = HandleCountOf(program.Id());
    ASSERT_TRUE(baseline.has_value() && *baseline > 0) << "the program's handle count cannot be read";

    Load load;
    ASSERT_TRUE(WaitFor([&] { return load.Answered() >= Clients; }, 10s)) << "the load does not get through";
    const auto began = std::chrono::steady_clock::now();
    for (int press = 1; press <= Presses; ++press) {
        SCOPED_TRACE(press);
        const bool running = press % 2 == 0;
        Press(window, ui::IDC_START_STOP);
        ASSERT_TRUE(WaitFor([&] { return ItemText(window, ui::IDC_START_STOP) == ui::StartStopText(running); }))
            << "the button still reads " << std::filesystem::path(ItemText(window, ui::IDC_START_STOP)).string();
        Settle(window);
        ASSERT_TRUE(program.Running());
        if (running) {
            EXPECT_EQ(ServerLine(window), L" Server:            RUNNING");
            EXPECT_EQ(PortLine(window), L" Port Status:     LISTENING");
        } else {
            EXPECT_EQ(ServerLine(window), L" Server:            STOPPED");
            EXPECT_EQ(PortLine(window), L" Port Status:     FREE");
            EXPECT_FALSE(testing_support::LoopbackClient().Connected()) << "something accepts after Stop";
        }
        // Let the clients get through between a Start and the next Stop.
        if (running) WaitFor([&, before = load.Answered()] { return load.Answered() > before; }, 2s);
    }
    const auto pressing = std::chrono::steady_clock::now() - began;
    load.Stop();
    EXPECT_EQ(load.Wrong(), 0) << load.FirstWrong();
    EXPECT_GT(load.Answered(), Clients);
    ASSERT_TRUE(program.Running()) << "the program ended";
    std::cout << Presses << " presses in "
              << std::chrono::duration_cast<std::chrono::milliseconds>(pressing).count() << " ms, "
              << load.Answered() << " requests answered\n";

    DWORD handles = 0;
    const bool settled = WaitFor(
        [&] {
            handles = HandleCountOf(program.Id()).value_or(0);
            return handles != 0 && handles <= *baseline + HandleSlack;
        },
        15s);
    EXPECT_TRUE(settled) << handles << " handles against a baseline of " << *baseline;
    std::cout << "handles: " << *baseline << " before, " << handles << " after\n";

    // One record per answered request (the baseline's included), and the start and stop
    // records alternating.
    std::vector<std::string> lines;
    EXPECT_TRUE(WaitFor([&] {
        lines = LogLines();
        return CountEnding(lines, "\"GET /index.html\" 200") == static_cast<std::size_t>(load.Answered()) + 1;
    })) << CountEnding(lines, "\"GET /index.html\" 200")
        << " records for " << load.Answered() + 1 << " answers";
    std::vector<std::string> info;
    for (const std::string& line : lines)
        if (line.find(" [INFO] ") != std::string::npos) info.push_back(line.substr(storage::LogTimestampLength));
    ASSERT_EQ(info.size(), static_cast<std::size_t>(Presses) + 1);
    for (std::size_t i = 0; i < info.size(); ++i)
        EXPECT_EQ(info[i], i % 2 == 0 ? " [INFO] Server started" : " [INFO] Server stopped") << i;

    const std::optional<DWORD> exitCode = program.CloseAndWait();
    ASSERT_TRUE(exitCode.has_value()) << "the process did not end";
    EXPECT_EQ(*exitCode, 0u);
}

