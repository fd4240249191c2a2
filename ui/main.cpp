// Process entry: starts the server and runs the message loop until the process is asked to quit.
#include <windows.h>
#include <objbase.h>

#include "platform/sockets.h"
#include "server/web_server.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    // The process holds one use of the socket library for its whole life, so that the count
    // never touches zero while connection threads end and the server restarts around them.
    const bool socketsHeld = platform::StartSockets();
    server::TheWebServer.Start(nullptr);
    MSG message;
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
    server::TheWebServer.Stop();
    if (socketsHeld) platform::StopSockets();
    ::CoUninitialize();
    return 0;
}
