#pragma once
// A plain listener on the server port that stands for another program holding it.
#include <gtest/gtest.h>

#include "platform/sockets.h"
#include "server/web_server.h"

namespace testing_support {

struct OtherListener {
    platform::Socket socket = platform::InvalidSocket;
    OtherListener() {
        socket = platform::OpenTcpSocket();
        platform::SetListenerAddressOptions(socket);  // past TIME_WAIT of earlier tests
        const bool ok =
            platform::BindAnyAddress(socket, server::ServerPort) && platform::ListenWithLargestBacklog(socket);
        EXPECT_TRUE(ok) << "could not take the server port for the test";
    }
    ~OtherListener() { Release(); }
    OtherListener(const OtherListener&) = delete;
    OtherListener& operator=(const OtherListener&) = delete;
    void Release() {
        if (socket == platform::InvalidSocket) return;
        platform::CloseSocket(socket);
        socket = platform::InvalidSocket;
    }
};

}  // namespace testing_support
