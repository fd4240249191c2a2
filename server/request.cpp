#include "server/request.h"

#include <algorithm>
#include <climits>

namespace server {

std::size_t TakeRequestHead(RequestHead& head, std::string_view bytes) {
    std::size_t taken = 0;
    while (taken < bytes.size() && (head.stage == HeadStage::RequestLine || head.stage == HeadStage::HeaderLines)) {
        const char byte = bytes[taken++];
        if (byte == '\r') continue;
        if (byte == '\n') {
            if (head.stage == HeadStage::RequestLine) {
                head.requestLineBytes = head.lineBytes;
                head.stage = HeadStage::HeaderLines;
            } else if (head.lineBytes == 0) {
                head.stage = HeadStage::Complete;
            }
            head.lineBytes = 0;
            continue;
        }
        if (head.lineBytes == MaxLineBytes) {
            // This byte would make the line too long: it is the last one taken.
            EndRequestHead(head);
            continue;
        }
        if (head.stage == HeadStage::RequestLine) head.requestLine[head.lineBytes] = byte;
        ++head.lineBytes;
    }
    return taken;
}

void EndRequestHead(RequestHead& head) {
    if (head.stage == HeadStage::RequestLine)
        head.stage = HeadStage::Refused;
    else if (head.stage == HeadStage::HeaderLines)
        head.stage = HeadStage::Complete;
}

int MillisecondsUntil(std::chrono::steady_clock::time_point deadline) {
    auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
    return static_cast<int>(std::clamp<long long>(left, 0, INT_MAX));
}

namespace {

// Receives and drops count bytes that a peek has already shown, so they are all there.
bool Consume(platform::Socket socket, char* scratch, std::size_t count) {
    while (count > 0) {
        int received = platform::Receive(socket, scratch, static_cast<int>(count));
        if (received <= 0) return false;
        count -= static_cast<std::size_t>(received);
    }
    return true;
}

}  // namespace

void ReceiveRequestHead(platform::Socket socket, RequestHead& head, std::span<char> scratch,
                        std::chrono::steady_clock::time_point deadline) {
    const int scratchBytes = static_cast<int>(std::min<std::size_t>(scratch.size(), INT_MAX));
    // The deadline covers the whole head, not each receive: the time-out is set to what is
    // left before every peek, which for a head that arrives in one piece is once.
    while (head.stage == HeadStage::RequestLine || head.stage == HeadStage::HeaderLines) {
        const int left = MillisecondsUntil(deadline);
        if (left == 0 || !platform::SetReceiveTimeout(socket, left)) break;
        const int peeked = platform::Peek(socket, scratch.data(), scratchBytes);
        if (peeked <= 0) break;
        const std::size_t taken = TakeRequestHead(head, {scratch.data(), static_cast<std::size_t>(peeked)});
        if (!Consume(socket, scratch.data(), taken)) break;
    }
    EndRequestHead(head);
}

RequestLine ParseRequestLine(std::string_view line) {
    const std::size_t first = line.find(' ');
    if (first == std::string_view::npos) return {};
    const std::size_t second = line.find(' ', first + 1);
    if (second == std::string_view::npos) return {};
    return {line.substr(0, first), line.substr(first + 1, second - first - 1), line.substr(second + 1)};
}

std::string FormatPeerAddress(const platform::PeerAddress& peer) {
    std::string text = platform::NumericAddressText(peer);
    return text.empty() ? std::string("unknown") : text;
}

bool IsServedMethod(std::string_view method) { return method == "GET" || method == "HEAD"; }

}  // namespace server
