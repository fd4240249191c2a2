#pragma once
#include <string>

namespace platform {

using WindowHandle = void*;  // HWND on Windows; unused elsewhere

enum class MessageIcon { Error, Information, Warning };

// Windows: a modal MessageBoxW owned by owner with an OK button. POSIX: "caption: text" on
// standard error. A sink, when installed, receives every message instead of the box (and in
// addition to standard error), so that tests see what the user would have been shown.
void ShowMessage(WindowHandle owner, const std::wstring& text, const std::wstring& caption, MessageIcon icon);

using MessageSink = void (*)(const std::wstring& caption, const std::wstring& text);
void SetMessageSink(MessageSink sink);  // nullptr removes it

}  // namespace platform
