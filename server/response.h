#pragma once
// Every response the server sends: the fixed ones, the 200 header with its content type, and
// the answer for a resolved file.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/sockets.h"

namespace server {

// The largest file served: 50 MiB.
inline constexpr std::int64_t MaxFileBytes = 52428800;

// A response sent byte for byte, with the status its access record carries.
struct FixedResponse {
    int status;
    std::string_view bytes;
};

inline constexpr FixedResponse BadRequestResponse{400, "HTTP/1.1 400 Bad Request\r\nConnection: close\r\n\r\n"};
inline constexpr FixedResponse IndexNotFoundResponse{
    404, "HTTP/1.1 404 Not Found\r\nConnection: close\r\n\r\nindex.html not found"};
inline constexpr FixedResponse NotFoundResponse{404, "HTTP/1.1 404 Not Found\r\nConnection: close\r\n\r\nNot Found"};
inline constexpr FixedResponse MethodNotAllowedResponse{405,
                                                        "HTTP/1.1 405 Method Not Allowed\r\nConnection: close\r\n\r\n"};
inline constexpr FixedResponse PayloadTooLargeResponse{
    413, "HTTP/1.1 413 Payload Too Large\r\nConnection: close\r\n\r\nFile too large"};
inline constexpr FixedResponse ReadFailedResponse{
    500, "HTTP/1.1 500 Internal Server Error\r\nConnection: close\r\n\r\nRead failed"};

// The content type of the first row whose text occurs anywhere in the path below the web root,
// compared without regard to ASCII case: a substring test of that path, not of its last
// extension. The web root's own folders never decide it: a user folder such as "u.jsmith"
// would otherwise give its type to every file of the web root.
std::string_view ContentTypeFor(std::wstring_view pathBelowWebRoot);

// The 200 header for a body of length bytes, composed without allocating. The content types
// of ContentTypeFor all fit; a longer one would be cut short, never overrun the buffer.
struct OkHeader {
    char bytes[160];
    std::size_t size = 0;
    std::string_view Text() const { return {bytes, size}; }
};
OkHeader FormatOkHeader(std::string_view contentType, std::uint32_t length);

// A client that takes no data for this long is let go: the send stops and the connection ends.
// It bounds the time without progress, never the length of a transfer. The bytes go out in
// pieces of at most SendPieceBytes, each with the whole deadline: on Windows the time-out
// counts from the start of a call and leaves the socket unusable, so a slow but steady reader
// must finish every piece well within it.
inline constexpr int SendTimeoutMs = 60000;
inline constexpr std::size_t SendPieceBytes = 256 * 1024;

// Sends all the bytes, going on after partial sends; stops at the first failure or when the
// client has taken nothing for SendTimeoutMs. The socket holds that time-out on entry (each
// connection's does). True when everything went out.
bool SendAll(platform::Socket socket, std::string_view bytes);

// Sends the response and returns the status its access record carries.
int SendFixed(platform::Socket socket, const FixedResponse& response);

// Answers a resolved path, whose first webRootLength characters are the web root: 404 "Not
// Found" when it cannot be opened or is not a regular file, 413 when its size cannot be had or
// exceeds MaxFileBytes, 500 when its buffer cannot be had or the read fails, else 200 with the
// body unless headOnly. Returns the status sent.
int AnswerFile(platform::Socket socket, const std::wstring& resolvedPath, std::size_t webRootLength, bool headOnly);

// Tests only: file buffers above this many bytes fail to allocate, as when memory runs out.
// A negative value restores the normal behaviour.
void SetFileBufferLimitForTests(std::int64_t bytes);

}  // namespace server
