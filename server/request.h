#pragma once
// Reception of the request head, the split of the request line, the peer text and the method
// rule.
#include <chrono>
#include <cstddef>
#include <span>
#include <string>
#include <string_view>

#include "platform/sockets.h"

namespace server {

// The most bytes one received line may hold, carriage returns not counted.
inline constexpr std::size_t MaxLineBytes = 8192;

enum class HeadStage {
    RequestLine,  // the request line has not ended yet
    HeaderLines,  // the request line is taken; header lines are being skipped
    Complete,     // the head is over: the request is answered
    Refused,      // no request line could be taken: the connection closes without an answer
};

// What has been taken of one request head. Lines follow one rule: a carriage return is dropped
// wherever it stands, a line feed ends the line, and a line that grows beyond MaxLineBytes
// fails. A failed request line refuses the request; a failed header line, or an empty one,
// ends the head. Header lines are counted, not kept.
struct RequestHead {
    HeadStage stage = HeadStage::RequestLine;
    std::size_t lineBytes = 0;         // bytes of the current line so far
    std::size_t requestLineBytes = 0;  // set when the request line ends
    char requestLine[MaxLineBytes];    // left uninitialised: only the taken bytes are read

    // The request line without its line end; empty until the request line has ended.
    std::string_view RequestLineText() const { return {requestLine, requestLineBytes}; }
};

// Takes bytes from the front of bytes into head, exactly as a reader of one byte at a time
// would, and stops right after the byte that ends the head. Returns how many bytes it took.
std::size_t TakeRequestHead(RequestHead& head, std::string_view bytes);

// The connection ended, a receive failed or the deadline passed before the head ended.
void EndRequestHead(RequestHead& head);

// Whole milliseconds until the deadline, rounded up, so at least 1 while it lies ahead (a
// receive time-out of 0 would mean none at all); 0 once it has passed.
int MillisecondsUntil(std::chrono::steady_clock::time_point deadline);

// Receives the request head from the socket by peeking at what has arrived and consuming
// exactly the bytes that TakeRequestHead took, so nothing after the head is ever read. A
// usual head that arrives in one piece costs one peek and one receive. Every receive is bound
// by the deadline through the socket's receive time-out. scratch holds the peeked bytes.
void ReceiveRequestHead(platform::Socket socket, RequestHead& head, std::span<char> scratch,
                        std::chrono::steady_clock::time_point deadline);

// The three fields of a request line, as views into the line they were cut from. All three
// are empty when the line holds fewer than two spaces.
struct RequestLine {
    std::string_view method;
    std::string_view target;
    std::string_view version;
};

// Only the space (0x20) separates: the method ends at the first space, the target at the
// second; the version is the rest, further spaces included.
RequestLine ParseRequestLine(std::string_view line);

// The peer's numeric address, or "unknown" for a family other than IPv4 and IPv6.
std::string FormatPeerAddress(const platform::PeerAddress& peer);

// Only "GET" and "HEAD" are answered, compared byte for byte.
bool IsServedMethod(std::string_view method);
inline bool IsHeadMethod(std::string_view method) { return method == "HEAD"; }

}  // namespace server
