#include "server/response.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <chrono>
#include <cstring>
#include <memory>
#include <new>

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

// The buffer for a file of size bytes after room bytes, or null when it cannot be had; never throws.
std::unique_ptr<char[]> AllocateFileBuffer(std::int64_t size, std::size_t room) {
    const std::int64_t limit = fileBufferLimitForTests.load(std::memory_order_relaxed);
    if (limit >= 0 && size > limit) return nullptr;
    return std::unique_ptr<char[]>(new (std::nothrow) char[room + static_cast<std::size_t>(size)]);
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

bool SendAll(platform::Socket socket, std::string_view bytes) {
    int timeout = SendTimeoutMs;  // what the socket holds
    while (!bytes.empty()) {
        const int piece = static_cast<int>(std::min(bytes.size(), SendPieceBytes));
        const auto started = std::chrono::steady_clock::now();
        const int sent = platform::Send(socket, bytes.data(), piece);
        if (sent <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(sent));
        // A whole piece renews the deadline. A piece cut short (POSIX hands back what went out
        // before the time-out) dates its progress to its start: the next call gets the rest.
        const int next =
            sent == piece ? SendTimeoutMs : MillisecondsUntil(started + std::chrono::milliseconds(SendTimeoutMs));
        if (next == 0 || (next != timeout && !platform::SetSendTimeout(socket, timeout = next))) return false;
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
    // The answer is one block: the file's bytes are read after room for the header, which is
    // then written right before them.
    constexpr std::size_t headerRoom = sizeof OkHeader::bytes;
    std::unique_ptr<char[]> buffer = AllocateFileBuffer(*size, headerRoom);
    if (!buffer) {
        platform::CloseFile(file);
        return SendFixed(socket, ReadFailedResponse);
    }
    char* const body = buffer.get() + headerRoom;
    // One read of the whole size; a file that shrank in between is sent as far as it was read.
    const platform::FileReadResult read = platform::ReadOnce(file, body, static_cast<std::uint32_t>(*size));
    platform::CloseFile(file);
    if (!read.ok) return SendFixed(socket, ReadFailedResponse);

    const std::wstring_view belowWebRoot =
        std::wstring_view(resolvedPath).substr(std::min(webRootLength, resolvedPath.size()));
    const OkHeader header = FormatOkHeader(ContentTypeFor(belowWebRoot), read.bytesRead);
    char* const start = body - header.size;
    std::memcpy(start, header.bytes, header.size);
    SendAll(socket, {start, header.size + (headOnly ? 0 : read.bytesRead)});
    return 200;
}

void SetFileBufferLimitForTests(std::int64_t bytes) { fileBufferLimitForTests.store(bytes); }

}  // namespace server
