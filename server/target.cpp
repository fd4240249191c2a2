#include "server/target.h"

#include <algorithm>

namespace server {

std::wstring WidenTarget(std::string_view target) {
    std::wstring wide(target.size(), L'\0');
    std::transform(target.begin(), target.end(), wide.begin(),
                   [](char byte) { return static_cast<wchar_t>(static_cast<unsigned char>(byte)); });
    return wide;
}

bool IsIndexTarget(std::wstring_view wideTarget) { return wideTarget.empty() || wideTarget == L"/"; }

bool IsUsableIndex(const platform::PathAttributes& attributes) { return attributes.exists && !attributes.directory; }

std::wstring ResolveTargetPath(const std::wstring& webRootPath, std::wstring_view wideTarget, wchar_t separator) {
    if (wideTarget.size() >= 2 && wideTarget.find(L"..") != std::wstring_view::npos) return {};
    if (wideTarget.find(L'\0') != std::wstring_view::npos) return {};
    std::size_t start = 0;
    while (start < wideTarget.size() && (wideTarget[start] == L'/' || wideTarget[start] == L'\\')) ++start;
    std::wstring path;
    path.reserve(webRootPath.size() + wideTarget.size() - start);
    path.append(webRootPath);
    for (wchar_t c : wideTarget.substr(start)) path.push_back(c == L'/' || c == L'\\' ? separator : c);
    return path;
}

namespace {

wchar_t UpperAscii(wchar_t c) { return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - L'a' + L'A') : c; }

bool EqualsIgnoringCase(std::wstring_view name, std::wstring_view upper) {
    return name.size() == upper.size() &&
           std::equal(name.begin(), name.end(), upper.begin(), [](wchar_t a, wchar_t b) { return UpperAscii(a) == b; });
}

// COM and LPT take one digit, 0 to 9, or the superscripts one, two and three that the bytes
// 0xB9, 0xB2 and 0xB3 widen to.
bool IsPortDigit(wchar_t c) { return (c >= L'0' && c <= L'9') || c == L'\u00B9' || c == L'\u00B2' || c == L'\u00B3'; }

bool IsReservedDeviceName(std::wstring_view name) {
    // The system sees the device in the part before the first dot or colon, without the
    // blanks at its end: "nul.html", "Com1 .txt" and "aux:x" all name a device.
    name = name.substr(0, std::min(name.find(L'.'), name.find(L':')));
    while (!name.empty() && name.back() == L' ') name.remove_suffix(1);
    for (std::wstring_view device : {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$", L"CLOCK$", L"CONFIG$"})
        if (EqualsIgnoringCase(name, device)) return true;
    if (name.size() != 4 || !IsPortDigit(name[3])) return false;
    return EqualsIgnoringCase(name.substr(0, 3), L"COM") || EqualsIgnoringCase(name.substr(0, 3), L"LPT");
}

}  // namespace

bool NamesReservedDevice(std::wstring_view wideTarget) {
    std::size_t start = 0;
    while (start <= wideTarget.size()) {
        std::size_t end = wideTarget.find_first_of(L"/\\", start);
        if (end == std::wstring_view::npos) end = wideTarget.size();
        if (IsReservedDeviceName(wideTarget.substr(start, end - start))) return true;
        start = end + 1;
    }
    return false;
}

}  // namespace server
