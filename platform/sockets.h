#pragma once
// Thin socket layer: Winsock 2 on Windows, BSD sockets on POSIX.
// Every call passes plain values and reports failure in its result; the error code of
// the last failed call is LastSocketError(), read right after the call.
#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

using Socket = std::uintptr_t;
inline constexpr Socket InvalidSocket = ~Socket{0};

// The peer's address exactly as accept() filled it: a 128-byte socket address storage.
struct PeerAddress {
    alignas(8) unsigned char bytes[128] = {};
};

// Counted like WSAStartup/WSACleanup: every successful StartSockets needs one StopSockets.
// The last StopSockets of the process resets every socket still open (Windows); no-op on POSIX.
bool StartSockets();
void StopSockets();
// How many StartSockets of this process are not yet matched by a StopSockets.
int SocketLibraryUses();

Socket OpenTcpSocket();  // IPv4 stream socket, or InvalidSocket
// Exclusive use of the bound port: SO_EXCLUSIVEADDRUSE on Windows, SO_REUSEADDR on POSIX
// (which there still refuses a second listener but allows rebinding over TIME_WAIT).
void SetListenerAddressOptions(Socket s);
bool BindAnyAddress(Socket s, std::uint16_t port);  // 0.0.0.0:port
bool ListenWithLargestBacklog(Socket s);
// Blocks until a connection arrives; InvalidSocket when the listener fails or is closed.
Socket Accept(Socket listener, PeerAddress& peer);
// What the error code of a failed Accept says, in the terms of the system it runs on.
enum class AcceptFailure {
    PeerGone,  // that one connection failed (reset or aborted before it was taken)
    Shortage,  // the system ran short of descriptors, buffers or memory
    Other,     // the listener was closed, or failed in a way no code here names
};
AcceptFailure ClassifyAcceptError(int code);
// Connects to the IPv4 address given as dotted text, waiting at most milliseconds for the outcome
// (a non-blocking connect): false on a refusal, an error or when the time runs out. The socket is
// left non-blocking, fit to be closed.
bool ConnectIpv4Within(Socket s, const char* dottedAddress, std::uint16_t port, int milliseconds);

// Each returns the bytes moved (> 0), 0 when the peer closed, or < 0 on an error or timeout.
int Receive(Socket s, void* buffer, int length);
int Send(Socket s, const void* data, int length);

bool SetReceiveTimeout(Socket s, int milliseconds);
bool SetSendTimeout(Socket s, int milliseconds);
void ShutdownSend(Socket s);
void CloseSocket(Socket s);
// Closes a listener so that a thread blocked in Accept on it returns at once.
void CloseListener(Socket s);

int LastSocketError();
// Numeric text of an IPv4 or IPv6 peer address; empty for any other family.
std::string NumericAddressText(const PeerAddress& peer);

}  // namespace platform
