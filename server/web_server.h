#pragma once
// The one web server: its start and stop, the accept thread and the hand-over of every
// accepted connection to a detached thread of its own.
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>

#include "platform/message_box.h"
#include "platform/sockets.h"
#include "server/connection.h"

namespace server {

inline constexpr std::uint16_t ServerPort = 80;

struct WebServer {
    std::atomic<bool> running{false};
    std::atomic<bool> stopRequested{false};
    // How many accepts have failed, for as long as this object lives; no other trace is kept.
    std::atomic<int> acceptFailures{0};
    std::thread acceptThread;
    platform::Socket listenSocket = platform::InvalidSocket;
    bool listenerTimeouts = false;  // the listener holds the connections' time-outs
    // The paths of the current run, handed to each connection; set by a successful Start.
    std::shared_ptr<const ServingPaths> servingPaths;

    // True when the server runs afterwards (also when it already ran). On failure the user
    // has been shown why, in a box owned by owner, and the server holds nothing.
    bool Start(platform::WindowHandle owner);
    // Afterwards the server is stopped; no effect when it is not running. Connections in
    // flight are not waited for: each finishes on its own thread.
    void Stop();
};

// The process-wide server of the program.
extern WebServer TheWebServer;

// What the accept loop does after a failed accept. It never ends the loop: only a Stop does,
// so a listener that fails in a way no code names is tried again after a pause, not left dead.
enum class AcceptStep {
    Next,           // one connection failed: the next at once
    PauseThenNext,  // a shortage, or any other failure: AcceptPauseMs, then the next
};
AcceptStep StepAfterAcceptFailure(platform::AcceptFailure failure);
// Long enough that a failing listener never makes the thread spin, short enough not to delay a Stop.
inline constexpr int AcceptPauseMs = 50;

void AcceptLoop(WebServer& server);

}  // namespace server
