#include "server/response.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <chrono>
#include <cstring>
#include <memory>
#include <new>
#include <optional>

#include "platform/files.h"
#include "server/request.h"

namespace server {

namespace {

struct ContentTypeRow {
    std::wstring_view text;
    std::string_view type;
};

// Tested in this order. The last three rows come after the first nine so that every path that
// one of the nine types keeps its type.
constexpr ContentTypeRow ContentTypes[] = {
    {L".html", "text/html; charset=utf-8"},
    {L".htm", "text/html; charset=utf-8"},
    {L".txt", "text/plain; charset=utf-8"},
    {L".json", "application/json; charset=utf-8"},
    {L".png", "image/png"},
    {L".jpg", "image/jpeg"},
    {L".jpeg", "image/jpeg"},
    {L".css", "text/css; charset=utf-8"},
    {L".js", "application/javascript; charset=utf-8"},
    // Browsers refuse these when they come as octet-stream: images in <img>, module scripts,
    // and streaming WebAssembly compilation.
    {L".svg", "image/svg+xml"},
    {L".mjs", "text/javascript; charset=utf-8"},
    {L".wasm", "application/wasm"},
};
constexpr std::string_view DefaultContentType = "application/octet-stream";

wchar_t LowerAscii(wchar_t c) { return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c; }

bool ContainsIgnoringCase(std::wstring_view text, std::wstring_view lowerPattern) {
    auto found = std::search(text.begin(), text.end(), lowerPattern.begin(), lowerPattern.end(),
                             [](wchar_t a, wchar_t b) { return LowerAscii(a) == b; });
    return found != text.end();
}

std::atomic<std::int64_t> fileBufferLimitForTests{-1};

// The file buffer, or null when it cannot be had; never throws.
std::unique_ptr<char[]> AllocateFileBuffer(std::int64_t size) {
    const std::int64_t limit = fileBufferLimitForTests.load(std::memory_order_relaxed);
    if (limit >= 0 && size > limit) return nullptr;
    return std::unique_ptr<char[]>(new (std::nothrow) char[static_cast<std::size_t>(size)]);
}

}  // namespace

std::string_view ContentTypeFor(std::wstring_view pathBelowWebRoot) {
    for (const ContentTypeRow& row : ContentTypes)
        if (ContainsIgnoringCase(pathBelowWebRoot, row.text)) return row.type;
    return DefaultContentType;
}

OkHeader FormatOkHeader(std::string_view contentType, std::uint32_t length) {
    OkHeader header;
    auto append = [&header](std::string_view text) {
        const std::size_t room = sizeof header.bytes - header.size;
        const std::size_t count = std::min(text.size(), room);
        std::memcpy(header.bytes + header.size, text.data(), count);
        header.size += count;
    };
    append("HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Type: ");
    append(contentType);
    append("\r\nContent-Length: ");
    char digits[10];
    auto converted = std::to_chars(digits, digits + sizeof digits, length);
    append({digits, static_cast<std::size_t>(converted.ptr - digits)});
    append("\r\n\r\n");
    return header;
}

bool SendAll(platform::Socket socket, std::string_view bytes) { return SendAll(socket, bytes, {}); }

bool SendAll(platform::Socket socket, std::string_view first, std::string_view second) {
    using Clock = std::chrono::steady_clock;
    const bool canWait = first.size() + second.size() > UnboundedSendBytes;
    int timeoutSet = SendTimeoutMs;
    if (canWait && !platform::SetSendTimeout(socket, timeoutSet)) return false;
    // Set after a call that returned only part of its piece: that call timed out (POSIX), its
    // progress is dated to its start, and the next call gets only what is left of the deadline.
    std::optional<Clock::time_point> cutShortAt;
    while (!first.empty() || !second.empty()) {
        if (first.empty()) std::swap(first, second);
        std::size_t firstPart = first.size(), secondPart = second.size();
        if (canWait) {
            const int wanted =
                cutShortAt ? MillisecondsUntil(*cutShortAt + std::chrono::milliseconds(SendTimeoutMs)) : SendTimeoutMs;
            if (wanted == 0 || (wanted != timeoutSet && !platform::SetSendTimeout(socket, wanted))) return false;
            timeoutSet = wanted;
            firstPart = std::min(firstPart, SendPieceBytes);
            secondPart = std::min(secondPart, SendPieceBytes - firstPart);
        }
        const Clock::time_point started = Clock::now();
        const long long sent = platform::SendGather(socket, first.data(), firstPart, second.data(), secondPart);
        if (sent <= 0) return false;
        auto advanced = static_cast<std::size_t>(sent);
        cutShortAt = advanced < firstPart + secondPart ? std::optional(started) : std::nullopt;
        const std::size_t fromFirst = std::min(advanced, first.size());
        first.remove_prefix(fromFirst);
        second.remove_prefix(std::min(advanced - fromFirst, second.size()));
    }
    return true;
}

int SendFixed(platform::Socket socket, const FixedResponse& response) {
    SendAll(socket, response.bytes);
    return response.status;
}

int AnswerFile(platform::Socket socket, const std::wstring& resolvedPath, std::size_t webRootLength, bool headOnly) {
    platform::FileHandle file = platform::OpenFileForRead(resolvedPath);
    if (!file.Valid()) return SendFixed(socket, NotFoundResponse);
    // Only a regular disk file is served: a pipe, socket or device may block or never end.
    const platform::OpenFileFacts facts = platform::DescribeOpenFile(file);
    if (!facts.regular) {
        platform::CloseFile(file);
        return SendFixed(socket, NotFoundResponse);
    }
    const std::optional<std::int64_t>& size = facts.size;
    if (!size || *size < 0 || *size > MaxFileBytes) {
        platform::CloseFile(file);
        return SendFixed(socket, PayloadTooLargeResponse);
    }
    std::unique_ptr<char[]> buffer = AllocateFileBuffer(*size);
    if (!buffer) {
        platform::CloseFile(file);
        return SendFixed(socket, ReadFailedResponse);
    }
    // One read of the whole size; a file that shrank in between is sent as far as it was read.
    const platform::FileReadResult read = platform::ReadOnce(file, buffer.get(), static_cast<std::uint32_t>(*size));
    platform::CloseFile(file);
    if (!read.ok) return SendFixed(socket, ReadFailedResponse);

    const std::wstring_view belowWebRoot =
        std::wstring_view(resolvedPath).substr(std::min(webRootLength, resolvedPath.size()));
    const OkHeader header = FormatOkHeader(ContentTypeFor(belowWebRoot), read.bytesRead);
    SendAll(socket, header.Text(), headOnly ? std::string_view{} : std::string_view{buffer.get(), read.bytesRead});
    return 200;
}

void SetFileBufferLimitForTests(std::int64_t bytes) { fileBufferLimitForTests.store(bytes); }

}  // namespace server
