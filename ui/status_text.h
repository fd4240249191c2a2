#pragma once
// The text of the control window's status panel.
#include <string>

#include "server/web_server.h"

namespace ui {

inline constexpr wchar_t ServerUrl[] = L"http://localhost/";

// Twelve lines joined by bare line feeds: server state, port, port state, URL (an empty line
// while stopped), an empty line, the web root and the log file each under its label, an empty
// line and two lines about the program. The port state reads the probe's result as the
// server listening while it runs and as another program holding the port while it is stopped.
std::wstring ComposeStatusText(bool running, bool accepted, const std::wstring& webRoot, const std::wstring& logFile);

// Probes the port, then reads the server's state, and composes the text for this moment.
// While the server runs the web root is the one it serves; while it is stopped, the one the
// next start would take. Nothing is created or checked on disk.
std::wstring CurrentStatusText(const server::WebServer& server);

}  // namespace ui
