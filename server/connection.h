#pragma once
#include <chrono>
#include <memory>
#include <string>

#include "platform/sockets.h"

namespace server {

// Where one run of the server serves from and logs to: taken at its start and shared by its
// connections, so that no handler reads a string that a later start replaces, and no request
// asks the system for the data folder again.
struct ServingPaths {
    std::wstring webRootPath;
    std::wstring logFolderPath;
};

// One accepted connection, owned by its thread. It shares the paths of the run that accepted
// it, so no handler reads a string that a later start replaces.
struct ConnectionRecord {
    platform::Socket clientSocket;
    platform::PeerAddress peerAddress;
    std::shared_ptr<const ServingPaths> paths;
    std::chrono::steady_clock::time_point acceptedAt;
    // The socket took RequestHeadTimeoutMs and SendTimeoutMs from its listener.
    bool timeoutsInherited;
};

// The request line and the header block must have arrived this long after the accept. A
// client that is still sending by then is treated as if its connection had ended: before the
// end of the request line it gets no answer, within the headers it is answered.
inline constexpr int RequestHeadTimeoutMs = 30000;

// After the response, where the client may still send (MoreBytesMayFollow), the sending side is
// shut down and what the client still sends is read
// and dropped until it closes, for at most this long and this much, so that unread request
// bytes never make the close a reset that could destroy the response in flight.
inline constexpr int DrainTimeoutMs = 2000;
inline constexpr std::size_t DrainMaxBytes = 1024 * 1024;

// Answers at most one request on the connection: receives its head, sends the response,
// writes its access record, and closes the socket on every path.
void HandleConnection(const ConnectionRecord& record);

// Tests only: a shorter request-head deadline for connections handled afterwards; 0 restores
// RequestHeadTimeoutMs.
void SetRequestHeadTimeoutForTests(int milliseconds);

}  // namespace server
