#include "server/request.h"

#include <algorithm>
#include <climits>
#include <cstdlib>

namespace server {

namespace {

// The header line just ended announces a body.
bool AnnouncesBody(const RequestHead& head) {
    const std::string_view name(head.headerName, std::min(head.lineBytes, BodyHeaderNameBytes));
    return name.starts_with("content-length:") || name.starts_with("transfer-encoding:");
}

}  // namespace

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
                head.endedByEmptyLine = true;
            } else {
                head.bodyAnnounced = head.bodyAnnounced || AnnouncesBody(head);
            }
            head.lineBytes = 0;
            continue;
        }
        if (head.lineBytes == MaxLineBytes) {
            // This byte would make the line too long: it is the last one taken.
            EndRequestHead(head);
            continue;
        }
        if (head.stage == HeadStage::RequestLine)
            head.requestLine[head.lineBytes] = byte;
        else if (head.lineBytes < BodyHeaderNameBytes)
            head.headerName[head.lineBytes] = byte >= 'A' && byte <= 'Z' ? static_cast<char>(byte - 'A' + 'a') : byte;
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

void ReceiveRequestHead(platform::Socket socket, RequestHead& head, std::span<char> scratch,
                        std::chrono::steady_clock::time_point deadline, int timeoutHeld) {
    const int scratchBytes = static_cast<int>(std::min<std::size_t>(scratch.size(), INT_MAX));
    // The deadline covers the whole head, not each receive: the time-out is brought to what is
    // left wherever the one the socket holds is further off than the slack.
    while (head.stage == HeadStage::RequestLine || head.stage == HeadStage::HeaderLines) {
        const int left = MillisecondsUntil(deadline);
        if (left == 0) break;
        if (std::abs(left - timeoutHeld) > ReceiveTimeoutSlackMs) {
            if (!platform::SetReceiveTimeout(socket, left)) break;
            timeoutHeld = left;
        }
        const int received = platform::Receive(socket, scratch.data(), scratchBytes);
        head.sendingEnded = received == 0;
        if (received <= 0) break;
        const std::size_t taken = TakeRequestHead(head, {scratch.data(), static_cast<std::size_t>(received)});
        head.bytesAfterHead += static_cast<std::size_t>(received) - taken;
    }
    EndRequestHead(head);
}

bool MoreBytesMayFollow(const RequestHead& head) {
    return !head.sendingEnded && (head.bodyAnnounced || head.bytesAfterHead > 0 || !head.endedByEmptyLine);
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
