#include "platform/message_box.h"

#include <windows.h>

#include <atomic>

namespace platform {

namespace {
std::atomic<MessageSink> installedSink{nullptr};
}

void ShowMessage(WindowHandle owner, const std::wstring& text, const std::wstring& caption, MessageIcon icon) {
    if (MessageSink sink = installedSink.load()) {
        sink(caption, text);
        return;
    }
    UINT flags = MB_OK;
    switch (icon) {
    case MessageIcon::Error: flags |= MB_ICONERROR; break;
    case MessageIcon::Information: flags |= MB_ICONINFORMATION; break;
    case MessageIcon::Warning: flags |= MB_ICONWARNING; break;
    }
    ::MessageBoxW(static_cast<HWND>(owner), text.c_str(), caption.c_str(), flags);
}

void SetMessageSink(MessageSink sink) { installedSink.store(sink); }

}  // namespace platform
