#include "ui/status_text.h"

#include "storage/data_folders.h"
#include "ui/port_probe.h"
#include "ui/version.h"

namespace ui {

namespace {

const wchar_t* PortWord(bool running, bool accepted) {
    if (running) return accepted ? L"LISTENING" : L"NOT LISTENING";
    return accepted ? L"IN USE (other app?)" : L"FREE";
}

}  // namespace

std::wstring ComposeStatusText(bool running, bool accepted, const std::wstring& webRoot, const std::wstring& logFile) {
    std::wstring text;
    text += running ? L" Server:            RUNNING\n Port:               "
                    : L" Server:            STOPPED\n Port:               ";
    text += std::to_wstring(server::ServerPort);
    text += L"\n Port Status:     ";
    text += PortWord(running, accepted);
    if (running) {
        text += L"\n URL:               ";
        text += ServerUrl;
        text += L"\n\n Web Root:\n     ";
    } else {
        // The URL line stays, empty, so that the text has the same lines in every state.
        text += L"\n\n\n Web Root:\n     ";
    }
    text += webRoot;
    text += L"\n Log:\n     ";
    text += logFile;
    text += L"\n\n Quarvello v" QUARVELLO_VERSION_TEXT L"\n Serves one folder over HTTP on port 80.";
    return text;
}

std::wstring CurrentStatusText(const server::WebServer& server) {
    const bool accepted = ProbePort();
    const bool running = server.running.load();
    const std::wstring webRoot = running ? server.servingPaths->webRootPath : storage::WebRootPath();
    return ComposeStatusText(running, accepted, webRoot, storage::LogFilePath());
}

}  // namespace ui
