// The real server under load over loopback port 80: many clients with mixed requests at once,
// idle and slow clients against the request-head deadline, and clients that reset the
// connection in the middle of a large body.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>

#include "server/connection.h"
#include "server/response.h"
#include "stress_support.h"

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using stress::Exchange;
using stress::OkResponse;
using stress::Received;
using stress::Record;
using stress::Request;

namespace {

const std::string Small = stress::PatternBytes(1024, 1);
const std::string Big = stress::PatternBytes(10 * 1024 * 1024, 2);
constexpr const char* SmallType = "text/plain; charset=utf-8";
constexpr const char* BigType = "application/octet-stream";

// Room for every client socket and its server side at once.
bool RaiseDescriptorLimit(rlim_t wanted) {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0) return false;
    if (limit.rlim_cur >= wanted) return true;
    limit.rlim_cur = std::min(wanted, limit.rlim_max);
    return ::setrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur >= wanted;
}

int Fd(platform::Socket socket) { return static_cast<int>(socket); }

// The first few of many failures, for the message of one assertion.
class FailureSamples {
public:
    void Add(const std::string& what) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (++count_ <= 5) text_ += "\n  " + what;
    }
    int Count() const { return count_; }
    const std::string& Text() const { return text_; }

private:
    std::mutex mutex_;
    int count_ = 0;
    std::string text_;
};

class Load : public stress::ServedFolder {};

}  // namespace

TEST_F(Load, FiftyClientsForThirtySecondsGetExactResponsesAndOneWholeRecordEach) {
    constexpr int Clients = 50;
    constexpr auto Duration = 30s;
    constexpr int MaxRequestsEach = 200000;
    Plant(L"small.txt", Small);
    Plant(L"big.bin", Big);
    struct Kind {
        const char* name;
        std::string request;
        std::string response;
        std::string record;
    };
    const Kind kinds[] = {
        {"GET of 1 KiB", Request("GET", "/small.txt"), OkResponse(SmallType, Small), Record("GET", "/small.txt", 200)},
        {"GET of 10 MiB", Request("GET", "/big.bin"), OkResponse(BigType, Big), Record("GET", "/big.bin", 200)},
        {"HEAD of 10 MiB", Request("HEAD", "/big.bin"), OkResponse(BigType, Big, true), Record("HEAD", "/big.bin", 200)},
        {"404", Request("GET", "/missing.txt"), std::string(server::NotFoundResponse.bytes),
         Record("GET", "/missing.txt", 404)},
        {"405 with a 64 KiB body",
         "POST /small.txt HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: 65536\r\n\r\n" + std::string(65536, 'x'),
         std::string(server::MethodNotAllowedResponse.bytes), Record("POST", "/small.txt", 405)},
        {"400 for ..", Request("GET", "/../small.txt"), std::string(server::BadRequestResponse.bytes),
         Record("GET", "/../small.txt", 400)},
    };
    constexpr int KindCount = static_cast<int>(std::size(kinds));
    // In every eight requests three small GETs and one of each other kind; each client starts
    // elsewhere in the cycle.
    constexpr int Cycle[] = {0, 1, 0, 2, 0, 3, 4, 5};
    std::atomic<long> sent[KindCount] = {};
    std::atomic<long> exact[KindCount] = {};
    FailureSamples wrong;

    const auto end = Clock::now() + Duration;
    std::vector<std::thread> clients;
    for (int c = 0; c < Clients; ++c)
        clients.emplace_back([&, c] {
            for (int i = 0; i < MaxRequestsEach && Clock::now() < end; ++i) {
                const int k = Cycle[(c + i) % std::size(Cycle)];
                ++sent[k];
                const Received received = Exchange(kinds[k].request, 30s, kinds[k].response.size());
                if (received.closedCleanly && received.bytes == kinds[k].response) {
                    ++exact[k];
                    continue;
                }
                wrong.Add(std::string(kinds[k].name) + ": " + std::to_string(received.bytes.size()) + " bytes, " +
                          (received.closedCleanly ? "closed" : "not closed cleanly") + ", begins " +
                          received.bytes.substr(0, 40));
            }
        });
    for (std::thread& client : clients) client.join();

    long total = 0;
    for (int k = 0; k < KindCount; ++k) {
        total += sent[k];
        EXPECT_GT(sent[k].load(), 0) << kinds[k].name;
        EXPECT_EQ(exact[k].load(), sent[k].load()) << kinds[k].name << wrong.Text();
    }
    const stress::LogContents log = stress::ReadLog();
    EXPECT_TRUE(log.broken.empty()) << log.broken.size() << " broken lines, the first: " << log.broken.front();
    EXPECT_EQ(log.infoLines, 1);
    EXPECT_EQ(log.accessLines, total);
    for (int k = 0; k < KindCount; ++k) {
        auto found = log.access.find(kinds[k].record);
        EXPECT_EQ(found == log.access.end() ? 0 : found->second, sent[k].load()) << kinds[k].record;
    }
    std::printf("%ld requests in %lld s by %d clients\n", total,
                static_cast<long long>(std::chrono::duration_cast<std::chrono::seconds>(Duration).count()), Clients);
}

TEST_F(Load, IdleAndSlowClientsAreClosedAtTheDeadlineWhileALiveClientIsServed) {
    constexpr int Idle = 1000, Slow = 200;
    constexpr auto Deadline = 5s;
    constexpr auto DripEvery = 2s;
    ASSERT_TRUE(RaiseDescriptorLimit(2 * (Idle + Slow) + 512));
    server::SetRequestHeadTimeoutForTests(static_cast<int>(std::chrono::milliseconds(Deadline).count()));
    Plant(L"small.txt", Small);
    const std::string answer = OkResponse(SmallType, Small);
    const platform::ProcessCounts baseline = platform::CurrentProcessCounts();

    // Idle ones send nothing; slow ones send a whole request line, then one header byte every
    // two seconds, and never end the header block.
    struct Waiting {
        platform::Socket socket = platform::InvalidSocket;
        bool slow = false;
        Clock::time_point connectedAt, closedAt;
        std::string bytes;
        bool closed = false, reset = false;
    };
    // The live client starts first: it must be served while the others arrive, too.
    std::atomic<bool> watching{true};
    int liveCount = 0;
    FailureSamples liveWrong;
    Clock::duration slowest{};
    std::thread live([&] {
        for (int i = 0; i < 1000 && watching.load(); ++i) {
            const auto begin = Clock::now();
            const Received received = Exchange(Request("GET", "/small.txt"), 5s);
            slowest = std::max(slowest, Clock::now() - begin);
            ++liveCount;
            if (received.bytes != answer || !received.closedCleanly)
                liveWrong.Add("live request " + std::to_string(i) + ": " + std::to_string(received.bytes.size()) + " bytes");
            std::this_thread::sleep_for(100ms);
        }
    });

    std::vector<Waiting> waiting(Idle + Slow);
    std::vector<std::atomic<bool>> finished(waiting.size());
    std::string connectFailure;
    for (std::size_t i = 0; i < waiting.size() && connectFailure.empty(); ++i) {
        Waiting& w = waiting[i];
        w.slow = i >= static_cast<std::size_t>(Idle);
        w.socket = platform::OpenTcpSocket();
        if (w.socket == platform::InvalidSocket || !platform::ConnectIpv4(w.socket, "127.0.0.1", server::ServerPort) ||
            (w.slow && platform::Send(w.socket, "GET /small.txt HTTP/1.1\r\n", 25) != 25))
            connectFailure = "client " + std::to_string(i) + " could not connect and send";
        w.connectedAt = Clock::now();
    }
    if (!connectFailure.empty()) {
        watching.store(false);
        live.join();
        for (Waiting& w : waiting)
            if (w.socket != platform::InvalidSocket) platform::CloseSocket(w.socket);
        FAIL() << connectFailure;
    }
    const auto connectedBy = Clock::now();

    std::thread dripper([&] {
        const std::string header = "X-Slow: abcdefghijklmnopqrstuvwxyz";
        for (int round = 0; round < 20 && watching.load(); ++round) {
            const auto next = connectedBy + DripEvery * (round + 1);
            while (watching.load() && Clock::now() < next) std::this_thread::sleep_for(20ms);
            for (std::size_t i = Idle; i < waiting.size() && watching.load(); ++i)
                if (!finished[i].load()) platform::Send(waiting[i].socket, &header[round % header.size()], 1);
        }
    });

    // Watches every waiting client at once and notes when its connection ends.
    std::vector<pollfd> polled(waiting.size());
    for (std::size_t i = 0; i < waiting.size(); ++i) polled[i] = {Fd(waiting[i].socket), POLLIN, 0};
    std::size_t open = waiting.size();
    const auto giveUp = connectedBy + Deadline + 10s;
    char buffer[4096];
    while (open > 0 && Clock::now() < giveUp) {
        if (::poll(polled.data(), polled.size(), 100) <= 0) continue;
        for (std::size_t i = 0; i < polled.size(); ++i) {
            if (polled[i].fd < 0 || polled[i].revents == 0) continue;
            Waiting& w = waiting[i];
            for (;;) {
                const ssize_t n = ::recv(polled[i].fd, buffer, sizeof buffer, MSG_DONTWAIT);
                if (n > 0) {
                    w.bytes.append(buffer, static_cast<std::size_t>(n));
                    continue;
                }
                if (n < 0 && errno == EINTR) continue;
                if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
                w.closed = true;
                w.reset = n < 0;
                w.closedAt = Clock::now();
                polled[i].fd = -1;
                finished[i].store(true);
                --open;
                break;
            }
        }
    }
    watching.store(false);
    dripper.join();
    live.join();

    FailureSamples notClosed, wrongBytes, early, late;
    for (std::size_t i = 0; i < waiting.size(); ++i) {
        const Waiting& w = waiting[i];
        const std::string who = (w.slow ? "slow client " : "idle client ") + std::to_string(i);
        if (!w.closed || w.reset) {
            notClosed.Add(who + (w.reset ? " was reset" : " is still open"));
            continue;
        }
        if (w.bytes != (w.slow ? answer : std::string()))
            wrongBytes.Add(who + " got " + std::to_string(w.bytes.size()) + " bytes");
        const auto held = std::chrono::duration_cast<std::chrono::milliseconds>(w.closedAt - w.connectedAt);
        if (held < Deadline - 50ms) early.Add(who + " closed after " + std::to_string(held.count()) + " ms");
        if (held > Deadline + 2s) late.Add(who + " closed after " + std::to_string(held.count()) + " ms");
    }
    EXPECT_EQ(notClosed.Count(), 0) << notClosed.Text();
    EXPECT_EQ(wrongBytes.Count(), 0) << wrongBytes.Text();
    EXPECT_EQ(early.Count(), 0) << early.Text();
    EXPECT_EQ(late.Count(), 0) << late.Text();
    EXPECT_GE(liveCount, 20);
    EXPECT_EQ(liveWrong.Count(), 0) << liveWrong.Text();
    EXPECT_LT(slowest, 1s) << std::chrono::duration_cast<std::chrono::milliseconds>(slowest).count() << " ms";

    for (Waiting& w : waiting) platform::CloseSocket(w.socket);
    const stress::CountsCheck counts = stress::WaitForCounts(baseline);
    EXPECT_TRUE(counts.back) << "threads " << counts.last.threads << " (baseline " << baseline.threads
                             << "), descriptors " << counts.last.handles << " (baseline " << baseline.handles << ")";

    stress::LogContents log = stress::ReadLog();
    EXPECT_TRUE(log.broken.empty()) << log.broken.front();
    EXPECT_EQ(log.accessLines, Slow + liveCount);  // the idle ones are never answered
    EXPECT_EQ(log.access[Record("GET", "/small.txt", 200)], Slow + liveCount);
}

TEST_F(Load, ClientsThatResetInTheMiddleOfABodyLeaveTheServerServingAndNothingBehind) {
    constexpr int Clients = 500, AtOnce = 25;
    // A send to a reset peer must fail, not end the process: the default action stays in place.
    std::signal(SIGPIPE, SIG_DFL);
    Plant(L"big.bin", Big);
    Plant(L"small.txt", Small);
    const std::string response = OkResponse(BigType, Big);
    const platform::ProcessCounts baseline = platform::CurrentProcessCounts();

    std::atomic<int> resetMidBody{0};
    FailureSamples wrong;
    for (int wave = 0; wave < Clients / AtOnce; ++wave) {
        std::vector<std::thread> clients;
        for (int t = 0; t < AtOnce; ++t)
            clients.emplace_back([&, i = wave * AtOnce + t] {
                // Somewhere between 64 KiB into the response and 64 KiB before its end.
                const std::size_t cut = 65536 + (static_cast<std::size_t>(i) * 1000003u) % (response.size() - 131072);
                testing_support::LoopbackClient client;
                if (!client.SendBytes(Request("GET", "/big.bin"))) {
                    wrong.Add("client " + std::to_string(i) + " could not send");
                    return;
                }
                platform::SetReceiveTimeout(client.Handle(), 20000);
                std::vector<char> buffer(256 * 1024);
                std::size_t got = 0;
                while (got < cut) {
                    const int n = platform::Receive(client.Handle(), buffer.data(),
                                                    static_cast<int>(std::min(buffer.size(), cut - got)));
                    if (n <= 0) break;
                    if (std::memcmp(buffer.data(), response.data() + got, static_cast<std::size_t>(n)) != 0) {
                        wrong.Add("client " + std::to_string(i) + " got other bytes at " + std::to_string(got));
                        break;
                    }
                    got += static_cast<std::size_t>(n);
                }
                // Linger on with a time of zero: the close resets the connection.
                const linger abort{1, 0};
                ::setsockopt(Fd(client.Handle()), SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
                client.Close();
                if (got == cut) ++resetMidBody;
            });
        for (std::thread& client : clients) client.join();
    }
    EXPECT_EQ(resetMidBody.load(), Clients) << wrong.Text();

    const Received after = Exchange(Request("GET", "/small.txt"));
    EXPECT_TRUE(after.closedCleanly);
    EXPECT_EQ(after.bytes, OkResponse(SmallType, Small));
    const stress::CountsCheck counts = stress::WaitForCounts(baseline);
    EXPECT_TRUE(counts.back) << "threads " << counts.last.threads << " (baseline " << baseline.threads
                             << "), descriptors " << counts.last.handles << " (baseline " << baseline.handles << ")";

    // A response cut short by the client is still recorded as sent.
    stress::LogContents log = stress::ReadLog();
    EXPECT_TRUE(log.broken.empty()) << log.broken.front();
    EXPECT_EQ(log.accessLines, Clients + 1);
    EXPECT_EQ(log.access[Record("GET", "/big.bin", 200)], Clients);
}
