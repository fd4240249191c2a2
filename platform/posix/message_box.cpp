#include "platform/message_box.h"

#include <atomic>
#include <cstdio>

#include "platform/text.h"

namespace platform {

namespace {
std::atomic<MessageSink> installedSink{nullptr};
}

void ShowMessage(WindowHandle, const std::wstring& text, const std::wstring& caption, MessageIcon) {
    std::string line = WideToUtf8(caption) + ": " + WideToUtf8(text) + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
    if (MessageSink sink = installedSink.load()) sink(caption, text);
}

void SetMessageSink(MessageSink sink) { installedSink.store(sink); }

}  // namespace platform
