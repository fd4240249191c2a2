#include "server/request.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

#include "test_support.h"

using namespace std::chrono_literals;
using server::HeadStage;
using server::MaxLineBytes;
using server::RequestHead;

namespace {

std::string Repeat(char c, std::size_t n) { return std::string(n, c); }
const std::string Line8192 = "GET /" + Repeat('a', MaxLineBytes - 14) + " HTTP/1.1";

struct HeadCase {
    std::string input;
    HeadStage stage;
    std::string requestLine;
    std::string untaken;  // what a reader of one byte at a time would not have read
};

}  // namespace

TEST(ParseRequestLine, SplitsAtTheFirstTwoSpacesOnly) {
    struct Case {
        std::string line, method, target, version;
    } cases[] = {
        {"GET / HTTP/1.1", "GET", "/", "HTTP/1.1"},
        {"GET / ", "GET", "/", ""},                    // the second space is the last byte
        {"GET  HTTP/1.1", "GET", "", "HTTP/1.1"},      // adjacent spaces: an empty target
        {"GET  / HTTP/1.1", "GET", "", "/ HTTP/1.1"},  // the version takes the rest
        {" / x", "", "/", "x"},
        {"GET /", "", "", ""},  // one space
        {"GET\t/ HTTP/1.1", "", "", ""},  // a tab separates nothing
        {"", "", "", ""},
    };
    for (const auto& c : cases) {
        server::RequestLine parsed = server::ParseRequestLine(c.line);
        EXPECT_EQ(parsed.method, c.method) << c.line;
        EXPECT_EQ(parsed.target, c.target) << c.line;
        EXPECT_EQ(parsed.version, c.version) << c.line;
    }
}

TEST(TakeRequestHead, TakesLinesInAnyPiecesExactlyAsAByteAtATimeReader) {
    const HeadCase cases[] = {
        {"GET / HTTP/1.1\r\nHost: x\r\n\r\nBODY", HeadStage::Complete, "GET / HTTP/1.1", "BODY"},
        {"GET / HTTP/1.1\nHost: x\n\nBODY", HeadStage::Complete, "GET / HTTP/1.1", "BODY"},
        {"G\rET /a\rb HTTP/1.1\r\r\n\r\r\nX", HeadStage::Complete, "GET /ab HTTP/1.1", "X"},
        {"\r\nGET / HTTP/1.1\r\n\r\n", HeadStage::Complete, "", ""},  // the empty line is the request line
        {"GET / HTTP/1.1\r\nHost", HeadStage::HeaderLines, "GET / HTTP/1.1", ""},
        {"GET / HTT", HeadStage::RequestLine, "", ""},
        {"\r\r" + Line8192 + "\r\n\r\nX", HeadStage::Complete, Line8192, "X"},
        {Line8192 + "s\n\n", HeadStage::Refused, "", "\n\n"},
        {"GET / x\n" + Repeat('h', MaxLineBytes + 1) + "\n\n", HeadStage::Complete, "GET / x", "\n\n"},
        {"GET / x\n" + Repeat('h', MaxLineBytes) + "\n\nX", HeadStage::Complete, "GET / x", "X"},
    };
    for (const auto& c : cases) {
        for (std::size_t piece : {c.input.size(), std::size_t{1}, std::size_t{7}}) {
            auto head = std::make_unique<RequestHead>();
            std::size_t taken = 0;
            while (taken < c.input.size()) {
                const std::string_view next = std::string_view(c.input).substr(taken, piece);
                const std::size_t took = server::TakeRequestHead(*head, next);
                taken += took;
                if (took < next.size()) break;
            }
            const std::string shown = c.input.substr(0, 30) + " in pieces of " + std::to_string(piece);
            EXPECT_EQ(head->stage, c.stage) << shown;
            EXPECT_EQ(head->RequestLineText(), c.requestLine) << shown;
            EXPECT_EQ(c.input.substr(taken), c.untaken) << shown;
        }
    }
}

TEST(FormatPeerAddress, GivesTheNumericAddressOrUnknown) {
    auto peer = [](unsigned char family, std::initializer_list<unsigned char> address, std::size_t offset) {
        platform::PeerAddress p;
        p.bytes[0] = family;
        std::copy(address.begin(), address.end(), p.bytes + offset);
        return p;
    };
#ifdef _WIN32
    constexpr unsigned char Inet6 = 23;
#else
    constexpr unsigned char Inet6 = 10;
#endif
    EXPECT_EQ(server::FormatPeerAddress(peer(2, {192, 168, 1, 20}, 4)), "192.168.1.20");
    EXPECT_EQ(server::FormatPeerAddress(peer(Inet6, {0x20, 0x01, 0x0d, 0xb8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}, 8)),
              "2001:db8::1");
    EXPECT_EQ(server::FormatPeerAddress(peer(0, {127, 0, 0, 1}, 4)), "unknown");
    EXPECT_EQ(server::FormatPeerAddress(peer(1, {127, 0, 0, 1}, 4)), "unknown");
}

namespace {

// A connection over loopback port 80: a raw client and the server's side of it.
struct SocketPair {
    SocketPair() {
        listener = platform::OpenTcpSocket();
        platform::SetListenerAddressOptions(listener);
        EXPECT_TRUE(platform::BindAnyAddress(listener, 80) && platform::ListenWithLargestBacklog(listener));
        client = std::make_unique<testing_support::LoopbackClient>();
        platform::PeerAddress peer;
        accepted = client->Connected() ? platform::Accept(listener, peer) : platform::InvalidSocket;
        EXPECT_NE(accepted, platform::InvalidSocket);
    }
    ~SocketPair() {
        platform::CloseSocket(accepted);
        client.reset();
        platform::CloseSocket(listener);
    }
    void Receive(std::chrono::milliseconds deadline = 10s) {
        server::ReceiveRequestHead(accepted, *head, scratch, std::chrono::steady_clock::now() + deadline);
    }
    // What is left to read on the server's side, up to count bytes.
    std::string Unread(std::size_t count) {
        std::string rest;
        char buffer[4096];
        platform::SetReceiveTimeout(accepted, 500);
        while (rest.size() < count) {
            int n = platform::Receive(accepted, buffer, static_cast<int>(std::min(sizeof buffer, count - rest.size())));
            if (n <= 0) break;
            rest.append(buffer, static_cast<std::size_t>(n));
        }
        return rest;
    }

    platform::Socket listener, accepted;
    std::unique_ptr<testing_support::LoopbackClient> client;
    std::unique_ptr<RequestHead> head = std::make_unique<RequestHead>();
    char scratch[8192];
};

}  // namespace

TEST(Reception, TakesTheHeadFromTheSocketAndLeavesWhatFollowsUnread) {
    const HeadCase cases[] = {
        {"GET /a\rb HTTP/1.1\r\nHost: h\r\n\r\nBODY", HeadStage::Complete, "GET /ab HTTP/1.1", "BODY"},
        {"HEAD /x HTTP/1.0\nA: 1\n\nGET /second HTTP/1.1\n\n", HeadStage::Complete, "HEAD /x HTTP/1.0",
         "GET /second HTTP/1.1\n\n"},
        {Line8192 + "\r\n\r\nrest", HeadStage::Complete, Line8192, "rest"},
        {Line8192 + "s\r\n\r\n", HeadStage::Refused, "", "\r\n\r\n"},
        {"GET / HTTP/1.1\r\n" + Repeat('h', MaxLineBytes + 99) + "\r\n\r\n", HeadStage::Complete, "GET / HTTP/1.1",
         Repeat('h', 98) + "\r\n\r\n"},  // reading stopped at the 8193rd byte of the long line
        // Nothing to leave unread: the client half-closes after the request line and a header.
        {"GET /x HTTP/1.1\r\nHost: h\r\n", HeadStage::Complete, "GET /x HTTP/1.1", ""},
    };
    for (const auto& c : cases) {
        SocketPair pair;
        ASSERT_TRUE(pair.client->SendBytes(c.input));
        if (c.untaken.empty()) pair.client->ShutdownSend();
        pair.Receive();
        EXPECT_EQ(pair.head->stage, c.stage) << c.input.substr(0, 30);
        EXPECT_EQ(pair.head->RequestLineText(), c.requestLine) << c.input.substr(0, 30);
        EXPECT_EQ(pair.Unread(c.untaken.size()), c.untaken) << c.input.substr(0, 30);
    }
}

TEST(Reception, TakesAHeadThatArrivesInManySegments) {
    SocketPair pair;
    std::thread sender([&] {
        for (std::size_t at = 0; at < Line8192.size(); at += 3000) {
            std::string piece(1, '\r');  // carriage returns do not count towards the limit
            pair.client->SendBytes(piece.append(Line8192, at, 3000));
            std::this_thread::sleep_for(20ms);
        }
        pair.client->SendBytes("\r\n\r\nrest");
    });
    pair.Receive();
    sender.join();
    EXPECT_EQ(pair.head->stage, HeadStage::Complete);
    EXPECT_EQ(pair.head->RequestLineText(), Line8192);
    EXPECT_EQ(pair.Unread(4), "rest");
}

TEST(Reception, TheDeadlineCoversTheWholeHeadNotEachReceive) {
    // One byte every 50 ms never lets a receive wait long; the deadline ends it all the same.
    SocketPair pair;
    std::atomic<bool> done{false};
    std::thread dripper([&] {
        for (int i = 0; i < 100 && !done.load(); ++i, std::this_thread::sleep_for(50ms))
            pair.client->SendBytes(std::string(1, "GET /slowly"[i % 11]));
    });
    const auto begin = std::chrono::steady_clock::now();
    pair.Receive(400ms);
    const auto took = std::chrono::steady_clock::now() - begin;
    done.store(true);
    dripper.join();
    EXPECT_EQ(pair.head->stage, HeadStage::Refused);
    EXPECT_GE(took, 350ms);
    EXPECT_LT(took, 2s);
}
