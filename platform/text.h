#pragma once
#include <string>

namespace platform {

// UTF-16 (Windows) or UTF-32 (POSIX) wide text to UTF-8. An unpaired surrogate, or on POSIX
// any value that is not a Unicode scalar, becomes U+FFFD (EF BF BD).
std::string WideToUtf8(const std::wstring& text);
// UTF-8 to wide text; invalid sequences become U+FFFD.
std::wstring Utf8ToWide(const std::string& text);

}  // namespace platform
