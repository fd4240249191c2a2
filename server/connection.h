#pragma once
#include <string>

#include "platform/sockets.h"

namespace server {

struct WebServer;

// One accepted connection, owned by its thread. It carries its own copy of the web root
// path, so no handler reads the server's string while a later start replaces it.
struct ConnectionRecord {
    WebServer& server;
    platform::Socket clientSocket;
    platform::PeerAddress peerAddress;
    std::wstring webRootPath;
};

// Answers at most one request on the connection, writes its access record, and closes the
// socket on every path.
void HandleConnection(const ConnectionRecord& record);

}  // namespace server
