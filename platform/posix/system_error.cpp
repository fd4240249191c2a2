#include "platform/system_error.h"

#include <cstring>

#include "platform/text.h"

namespace platform {

std::wstring SystemMessage(int code) {
    char buffer[256] = {};
    // The GNU strerror_r returns the text, which need not be in the buffer.
    const char* text = ::strerror_r(code, buffer, sizeof buffer);
    if (text == nullptr || std::strncmp(text, "Unknown error", 13) == 0) return {};
    return Utf8ToWide(text);
}

}  // namespace platform
