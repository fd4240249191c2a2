#include "server/system_error_text.h"

#include "platform/system_error.h"

namespace server {

std::wstring TrimTrailingBreaks(std::wstring text) {
    while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' ')) text.pop_back();
    return text;
}

std::wstring SystemErrorText(int code) { return TrimTrailingBreaks(platform::SystemMessage(code)); }

}  // namespace server
