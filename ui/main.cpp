// Process entry: opens the control window, which starts the server, and runs the message loop
// until that window is destroyed. The command line is ignored; the exit code is always 0.
#include <windows.h>
#include <objbase.h>

#include "platform/sockets.h"
#include "server/web_server.h"
#include "ui/control_window.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    // The process holds one use of the socket library for its whole life, so that the count
    // never touches zero while connection threads end and the server restarts around them.
    const bool socketsHeld = platform::StartSockets();
    ui::RegisterControlWindowClass(instance);
    // Without a window nothing would ever end the message loop, so there is none then.
    if (HWND window = ui::CreateControlWindow(instance)) {
        ui::RemoveSizingFrame(window);
        ::ShowWindow(window, showCommand);
        ::UpdateWindow(window);
        MSG message;
        while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
        }
    }
    // Whatever ended the loop, the server is stopped (its accept thread joined) before the end.
    server::TheWebServer.Stop();
    if (socketsHeld) platform::StopSockets();
    ::CoUninitialize();
    return 0;
}
