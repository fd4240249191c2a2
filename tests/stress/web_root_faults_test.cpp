// The web root changing under the running server: removed altogether, and a file truncated
// and grown while clients fetch it.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <set>
#include <thread>
#include <vector>

#include "platform/files.h"
#include "server/response.h"
#include "stress_support.h"

using namespace std::chrono_literals;
using stress::Exchange;
using stress::OkResponse;
using stress::Record;
using stress::Request;

namespace {

const std::string NotFound(server::NotFoundResponse.bytes);
const std::string IndexNotFound(server::IndexNotFoundResponse.bytes);

// The Content-Length of a 200 response of that type and the body after its header; false when
// the response is anything else.
bool SplitOkResponse(const std::string& response, std::string_view type, std::size_t& length, std::string_view& body) {
    const std::string start = "HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Type: " + std::string(type) +
                              "\r\nContent-Length: ";
    if (response.compare(0, start.size(), start) != 0) return false;
    const std::size_t end = response.find("\r\n\r\n", start.size());
    if (end == std::string::npos) return false;
    const std::string digits = response.substr(start.size(), end - start.size());
    if (digits.empty() || digits.size() > 10 || digits.find_first_not_of("0123456789") != std::string::npos)
        return false;
    length = std::stoul(digits);
    body = std::string_view(response).substr(end + 4);
    return true;
}

// Whether each byte of body is the pattern's byte at that offset. A read that races a cut may
// also see zeros where the cut took the data away (the system reads past the new end of the
// file as zeros); any other byte came from somewhere else.
bool IsPatternPrefix(std::string_view body, std::string_view pattern) {
    if (body.size() > pattern.size()) return false;
    for (std::size_t i = 0; i < body.size(); ++i)
        if (body[i] != pattern[i] && body[i] != '\0') return false;
    return true;
}

class WebRootFaults : public stress::ServedFolder {};

}  // namespace

TEST_F(WebRootFaults, ARemovedWebRootGivesNotFoundAndTheNextStartMakesItAgain) {
    Plant(L"index.html", "home");
    Plant(L"a.txt", "hello");
    EXPECT_EQ(Exchange(Request("GET", "/")).bytes, OkResponse("text/html; charset=utf-8", "home"));
    std::wstring folder = root_;
    folder.pop_back();
    ASSERT_TRUE(testing_support::RemoveTree(folder));
    ASSERT_FALSE(platform::PathExists(folder));

    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(Exchange(Request("GET", "/")).bytes, IndexNotFound);
        EXPECT_EQ(Exchange(Request("GET", "/a.txt")).bytes, NotFound);
        EXPECT_EQ(Exchange(Request("HEAD", "/a.txt")).bytes, NotFound);
        EXPECT_EQ(Exchange(Request("GET", "/sub/")).bytes, NotFound);
    }
    EXPECT_FALSE(platform::PathExists(folder)) << "a request made the web root";

    server_.Stop();
    ASSERT_TRUE(server_.Start(nullptr));
    EXPECT_TRUE(platform::QueryAttributes(folder).directory);
    Plant(L"a.txt", "hello again");
    EXPECT_EQ(Exchange(Request("GET", "/a.txt")).bytes, OkResponse("text/plain; charset=utf-8", "hello again"));

    stress::LogContents log = stress::ReadLog();
    EXPECT_TRUE(log.broken.empty()) << log.broken.front();
    EXPECT_EQ(log.infoLines, 3);  // started, stopped, started
    EXPECT_EQ(log.accessLines, 14);
    EXPECT_EQ(log.access[Record("GET", "/", 404)], 3);
    EXPECT_EQ(log.access[Record("GET", "/a.txt", 404)], 3);
    EXPECT_EQ(log.access[Record("HEAD", "/a.txt", 404)], 3);
    EXPECT_EQ(log.access[Record("GET", "/sub/", 404)], 3);
    EXPECT_EQ(log.access[Record("GET", "/a.txt", 200)], 1);
}

TEST_F(WebRootFaults, AFileTruncatedAndGrownWhileFetchedIsSentAsFarAsItWasRead) {
    constexpr int Clients = 20;
    constexpr auto Duration = 5s;
    constexpr std::size_t MaxSize = 1024 * 1024;
    // Whatever its size, the file is always a prefix of this pattern.
    const std::string pattern = stress::PatternBytes(MaxSize, 7);
    Plant(L"changing.bin", pattern.substr(0, MaxSize / 2));
    const std::filesystem::path path = At(L"changing.bin");
    const platform::ProcessCounts baseline = platform::CurrentProcessCounts();

    std::atomic<bool> fetching{true};
    std::thread changer([&] {
        std::size_t size = MaxSize / 2;
        for (unsigned step = 1; step < 1000000 && fetching.load(); ++step) {
            const std::size_t wanted = (step * 2654435761u) % (MaxSize + 1);
            std::error_code error;
            if (wanted < size) {
                std::filesystem::resize_file(path, wanted, error);
            } else {
                std::ofstream out(path, std::ios::binary | std::ios::app);
                out.write(pattern.data() + size, static_cast<std::streamsize>(wanted - size));
                if (!out) error = std::make_error_code(std::errc::io_error);
            }
            // A writer can be kept out while a request holds the file (Windows share modes).
            const auto now = std::filesystem::file_size(path, error);
            if (!error) size = static_cast<std::size_t>(now);
            std::this_thread::sleep_for(1ms);
        }
    });

    std::atomic<int> whole{0}, refused{0};
    std::mutex seenMutex;
    std::set<std::size_t> lengths;
    std::vector<std::string> wrong;
    const auto end = std::chrono::steady_clock::now() + Duration;
    std::vector<std::thread> clients;
    for (int c = 0; c < Clients; ++c)
        clients.emplace_back([&] {
            for (int i = 0; i < 100000 && std::chrono::steady_clock::now() < end; ++i) {
                const stress::Received received = Exchange(Request("GET", "/changing.bin"));
                std::size_t length = 0;
                std::string_view body;
                std::lock_guard<std::mutex> lock(seenMutex);
                if (!received.closedCleanly) {
                    wrong.push_back("not closed cleanly after " + std::to_string(received.bytes.size()) + " bytes");
                } else if (SplitOkResponse(received.bytes, "application/octet-stream", length, body)) {
                    if (body.size() != length || !IsPatternPrefix(body, pattern))
                        wrong.push_back("Content-Length " + std::to_string(length) + " with a body of " +
                                        std::to_string(body.size()) + " bytes");
                    else
                        ++whole;
                    lengths.insert(length);
                } else if (received.bytes == NotFound) {
                    ++refused;  // the changer held the file open without sharing it for reading
                } else {
                    wrong.push_back("an answer beginning " + received.bytes.substr(0, 40));
                }
            }
        });
    for (std::thread& client : clients) client.join();
    fetching.store(false);
    changer.join();

    EXPECT_TRUE(wrong.empty()) << wrong.size() << " wrong answers, the first: " << wrong.front();
    EXPECT_GT(whole.load(), 100);
    EXPECT_GT(lengths.size(), 20u) << "the file hardly changed while it was fetched";
#ifndef _WIN32
    EXPECT_EQ(refused.load(), 0);  // nothing keeps a reader out here
#endif
    const stress::CountsCheck counts = stress::WaitForCounts(baseline);
    EXPECT_TRUE(counts.back) << "threads " << counts.last.threads << " (baseline " << baseline.threads
                             << "), handles " << counts.last.handles << " (baseline " << baseline.handles << ")";
    stress::LogContents log = stress::ReadLog();
    EXPECT_TRUE(log.broken.empty()) << log.broken.front();
    EXPECT_EQ(log.access[Record("GET", "/changing.bin", 200)], whole.load());
    EXPECT_EQ(log.access[Record("GET", "/changing.bin", 404)], refused.load());
}
