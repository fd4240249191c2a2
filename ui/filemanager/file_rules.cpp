#include "ui/filemanager/file_rules.h"

#include <algorithm>

namespace ui::filemanager {

namespace {
constexpr std::size_t ConfirmationNameLimit = 10;

bool IsSlash(wchar_t c) { return c == L'\\' || c == L'/'; }
}  // namespace

bool IsSafeFileName(std::wstring_view name) {
    return name.find(L'\\') == std::wstring_view::npos && name.find(L'/') == std::wstring_view::npos &&
           name.find(L"..") == std::wstring_view::npos;
}

std::wstring BuildDeleteConfirmation(const std::vector<std::wstring>& names) {
    std::wstring text = L"Delete selected files?\n\n";
    const std::size_t shown = std::min(names.size(), ConfirmationNameLimit);
    for (std::size_t i = 0; i < shown; ++i) text += names[i] + L"\n";
    if (names.size() > ConfirmationNameLimit) text += L"...\n";
    return text;
}

std::wstring_view LastPathComponent(std::wstring_view path) {
    std::size_t start = 0;
    for (std::size_t i = 0; i + 1 < path.size(); ++i) {
        // A separator at the end, or doubled, starts no component of its own.
        if ((IsSlash(path[i]) || path[i] == L':') && !IsSlash(path[i + 1])) start = i + 1;
    }
    return path.substr(start);
}

std::vector<ImportPair> SplitOpenFileSelection(std::wstring_view buffer) {
    std::vector<ImportPair> pairs;
    std::size_t end = std::min(buffer.find(L'\0'), buffer.size());
    std::wstring_view first = buffer.substr(0, end);
    // The end of the buffer counts as a NUL, so a full buffer cannot be read past.
    if (end + 1 >= buffer.size() || buffer[end + 1] == L'\0') {
        std::wstring_view name = LastPathComponent(first);
        if (!name.empty()) pairs.push_back({std::wstring(first), std::wstring(name)});
        return pairs;
    }
    for (std::size_t start = end + 1; start < buffer.size();) {
        std::size_t stop = std::min(buffer.find(L'\0', start), buffer.size());
        if (stop == start) break;
        std::wstring name(buffer.substr(start, stop - start));
        pairs.push_back({std::wstring(first) + L"\\" + name, name});
        start = stop + 1;
    }
    return pairs;
}

std::wstring NotepadCommandLine(const std::wstring& webRootPath, const std::wstring& fileName) {
    return L"notepad.exe \"" + webRootPath + fileName + L"\"";
}

}  // namespace ui::filemanager
