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

// The longest header name that tells of a body, with its colon: "transfer-encoding:".
inline constexpr std::size_t BodyHeaderNameBytes = 18;

// What has been taken of one request head. Lines follow one rule: a carriage return is dropped
// wherever it stands, a line feed ends the line, and a line that grows beyond MaxLineBytes
// fails. A failed request line refuses the request; a failed header line, or an empty one,
// ends the head. Header lines are counted, not kept; only whether one announces a body is.
struct RequestHead {
    HeadStage stage = HeadStage::RequestLine;
    std::size_t lineBytes = 0;         // bytes of the current line so far
    std::size_t requestLineBytes = 0;  // set when the request line ends
    bool endedByEmptyLine = false;     // the head ended as a head does, not cut off
    bool bodyAnnounced = false;        // a Content-Length or Transfer-Encoding header line was taken
    bool sendingEnded = false;         // the client's sending ended before the head was over
    std::size_t bytesAfterHead = 0;    // received with the head, after its end
    char headerName[BodyHeaderNameBytes];  // the current header line's first bytes, lower-cased
    char requestLine[MaxLineBytes];        // left uninitialised: only the taken bytes are read

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

// A receive may end this much after the head's deadline: a socket that already holds a time-out
// within this of what is left keeps it, which spares the call for every head that arrives in
// its first receive.
inline constexpr int ReceiveTimeoutSlackMs = 50;

// Receives the request head from the socket into scratch, piece by piece, and takes it with
// TakeRequestHead; bytes after the head are counted, never taken as a request. A usual head
// that arrives in one piece costs one receive. Every receive is bound by the deadline through
// the socket's receive time-out, which holds timeoutHeld milliseconds on entry.
void ReceiveRequestHead(platform::Socket socket, RequestHead& head, std::span<char> scratch,
                        std::chrono::steady_clock::time_point deadline, int timeoutHeld);

// Whether the client may still send once the head is answered, so that its bytes must be read
// before the close (or the close becomes a reset that can destroy the answer): a body was
// announced or has begun, or the head was cut off while the client was still sending.
bool MoreBytesMayFollow(const RequestHead& head);

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
