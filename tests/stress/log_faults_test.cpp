// The log file in trouble while the server runs: a file that cannot be opened, a log folder
// removed under the writer. Requests are answered throughout; records that cannot be written
// are dropped whole, and writing resumes by itself.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <thread>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#endif

#include "platform/files.h"
#include "server/response.h"
#include "storage/data_folders.h"
#include "stress_support.h"

using namespace std::chrono_literals;
using stress::Exchange;
using stress::Record;
using stress::Request;

namespace {

const std::string Hello = stress::OkResponse("text/plain; charset=utf-8", "hello");
const std::string NotFound(server::NotFoundResponse.bytes);

std::wstring WithoutTrailingSeparator(std::wstring path) {
    while (!path.empty() && path.back() == platform::PathSeparator) path.pop_back();
    return path;
}

// Keeps the log file from being opened while it lives.
class LogFileBlocker {
public:
#ifdef _WIN32
    // Another program holds the file open and shares it with nobody.
    LogFileBlocker()
        : handle_(::CreateFileW(storage::LogFilePath().c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr)) {}
    ~LogFileBlocker() { Release(); }
    bool Blocking() const { return handle_ != INVALID_HANDLE_VALUE; }
    void Release() {
        if (handle_ != INVALID_HANDLE_VALUE) ::CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
    }

private:
    HANDLE handle_;
#else
    // Root writes into read-only folders, so a folder takes the file's place instead.
    LogFileBlocker() {
        std::filesystem::remove(Path());
        blocking_ = std::filesystem::create_directory(Path());
    }
    ~LogFileBlocker() { Release(); }
    bool Blocking() const { return blocking_; }
    void Release() {
        if (blocking_) std::filesystem::remove(Path());
        blocking_ = false;
    }

private:
    static std::filesystem::path Path() { return std::filesystem::path(storage::LogFilePath()); }
    bool blocking_ = false;
#endif
    LogFileBlocker(const LogFileBlocker&) = delete;
    LogFileBlocker& operator=(const LogFileBlocker&) = delete;
};

class LogFaults : public stress::ServedFolder {};

}  // namespace

TEST_F(LogFaults, RecordsAreDroppedWhileTheLogFileCannotBeOpenedAndResumeAfter) {
    Plant(L"a.txt", "hello");
    {
        LogFileBlocker blocker;
        ASSERT_TRUE(blocker.Blocking());
        for (int i = 0; i < 10; ++i) {
            EXPECT_EQ(Exchange(Request("GET", "/a.txt")).bytes, Hello);
            EXPECT_EQ(Exchange(Request("GET", "/held.txt")).bytes, NotFound);
        }
    }
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(Exchange(Request("GET", "/a.txt")).bytes, Hello);
        EXPECT_EQ(Exchange(Request("GET", "/after.txt")).bytes, NotFound);
    }
    stress::LogContents log = stress::ReadLog();
    EXPECT_TRUE(log.broken.empty()) << log.broken.front();
    EXPECT_EQ(log.accessLines, 10);
    EXPECT_EQ(log.access[Record("GET", "/a.txt", 200)], 5);
    EXPECT_EQ(log.access[Record("GET", "/after.txt", 404)], 5);
}

TEST_F(LogFaults, ARemovedLogFolderIsMadeAgainByTheNextRecord) {
    Plant(L"a.txt", "hello");
    const std::wstring logFolder = WithoutTrailingSeparator(storage::LogFolderPath());
    EXPECT_EQ(Exchange(Request("GET", "/a.txt")).bytes, Hello);
    ASSERT_TRUE(testing_support::RemoveTree(logFolder));
    ASSERT_FALSE(platform::PathExists(logFolder));
    EXPECT_EQ(Exchange(Request("GET", "/again.txt")).bytes, NotFound);
    EXPECT_TRUE(platform::QueryAttributes(logFolder).directory);
    stress::LogContents log = stress::ReadLog();
    EXPECT_TRUE(log.broken.empty()) << log.broken.front();
    EXPECT_EQ(log.infoLines, 0);  // went with the folder
    EXPECT_EQ(log.accessLines, 1);
    EXPECT_EQ(log.access[Record("GET", "/again.txt", 404)], 1);
}

TEST_F(LogFaults, ALogFolderRemovedAgainAndAgainUnderLoadLeavesOnlyWholeLines) {
    constexpr int Clients = 4;
    Plant(L"a.txt", "hello");
    const std::wstring logFolder = WithoutTrailingSeparator(storage::LogFolderPath());
    std::atomic<bool> loading{true};
    std::atomic<int> wrong{0}, answered{0};
    std::vector<std::thread> clients;
    for (int c = 0; c < Clients; ++c)
        clients.emplace_back([&] {
            for (int i = 0; i < 100000 && loading.load(); ++i) {
                const stress::Received received = Exchange(Request("GET", "/a.txt"));
                if (received.bytes == Hello && received.closedCleanly)
                    ++answered;
                else
                    ++wrong;
            }
        });
    int removals = 0;
    for (const auto end = std::chrono::steady_clock::now() + 2s; std::chrono::steady_clock::now() < end;
         std::this_thread::sleep_for(20ms))
        removals += testing_support::RemoveTree(logFolder) ? 1 : 0;
    loading.store(false);
    for (std::thread& client : clients) client.join();
    EXPECT_EQ(wrong.load(), 0);
    EXPECT_GT(answered.load(), 0);
    EXPECT_GT(removals, 10);

    EXPECT_EQ(Exchange(Request("GET", "/last.txt")).bytes, NotFound);
    stress::LogContents log = stress::ReadLog();
    EXPECT_TRUE(log.broken.empty()) << log.broken.size() << " broken lines, the first: " << log.broken.front();
    EXPECT_EQ(log.access[Record("GET", "/last.txt", 404)], 1);
    EXPECT_LE(log.access[Record("GET", "/a.txt", 200)], answered.load());
}
