#include "program_driver.h"

#include <thread>

#include "ui/control_window_layout.h"

namespace program_driver {

bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline) return condition();
        std::this_thread::sleep_for(PollInterval);
    }
    return true;
}

std::wstring ProgramPath() {
    wchar_t own[MAX_PATH] = {};
    const DWORD length = ::GetModuleFileNameW(nullptr, own, MAX_PATH);
    std::wstring path(own, length);
    path.erase(path.find_last_of(L'\\') + 1);
    return path + L"..\\..\\ui\\Quarvello.exe";
}

HWND FindControlWindow(DWORD processId) {
    for (HWND window = nullptr; (window = ::FindWindowExW(nullptr, window, ui::ControlWindowClassName, nullptr));) {
        DWORD owner = 0;
        ::GetWindowThreadProcessId(window, &owner);
        if (processId == 0 || owner == processId) return window;
    }
    return nullptr;
}

std::wstring TextOf(HWND window) {
    DWORD_PTR length = 0;
    if (!::SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 2000, &length)) return {};
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    if (!::SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                               SMTO_ABORTIFHUNG, 2000, &copied))
        return {};
    text.resize(copied);
    return text;
}

std::wstring ItemText(HWND window, int id) { return TextOf(::GetDlgItem(window, id)); }

void Press(HWND window, int id) {
    ::PostMessageW(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(::GetDlgItem(window, id)));
}

void Settle(HWND window) {
    DWORD_PTR ignored = 0;
    ::SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 2000, &ignored);
}

SIZE ClientSize(HWND window) {
    RECT r{};
    ::GetClientRect(window, &r);
    return {r.right - r.left, r.bottom - r.top};
}

SIZE OuterSize(HWND window) {
    RECT r{};
    ::GetWindowRect(window, &r);
    return {r.right - r.left, r.bottom - r.top};
}

RECT RectInParent(HWND control) {
    RECT r{};
    ::GetWindowRect(control, &r);
    ::MapWindowPoints(HWND_DESKTOP, ::GetParent(control), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

namespace {

bool HasClass(HWND window, const wchar_t* className) {
    wchar_t name[64] = {};
    ::GetClassNameW(window, name, 64);
    return ::lstrcmpiW(name, className) == 0;
}

struct BoxSearch {
    HWND owner;
    HWND found;
};

BOOL CALLBACK MatchOwnedBox(HWND window, LPARAM context) {
    auto* search = reinterpret_cast<BoxSearch*>(context);
    if (HasClass(window, L"#32770") && ::GetWindow(window, GW_OWNER) == search->owner) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

struct TextSearch {
    std::wstring text;
};

BOOL CALLBACK MatchStaticText(HWND window, LPARAM context) {
    auto* search = reinterpret_cast<TextSearch*>(context);
    if (!HasClass(window, L"Static")) return TRUE;
    std::wstring text = TextOf(window);
    if (text.empty()) return TRUE;  // the icon
    search->text = std::move(text);
    return FALSE;
}

}  // namespace

HWND FindOwnedMessageBox(HWND owner) {
    BoxSearch search{owner, nullptr};
    ::EnumWindows(MatchOwnedBox, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::wstring MessageBoxText(HWND box) {
    TextSearch search;
    ::EnumChildWindows(box, MatchStaticText, reinterpret_cast<LPARAM>(&search));
    return search.text;
}

void Answer(HWND box, int button) { ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0); }

COLORREF ScreenPixelAtCentre(HWND window) {
    RECT r{};
    ::GetWindowRect(window, &r);
    HDC screen = ::GetDC(nullptr);
    const COLORREF color = ::GetPixel(screen, (r.left + r.right) / 2, (r.top + r.bottom) / 2);
    ::ReleaseDC(nullptr, screen);
    return color;
}

std::vector<std::wstring> SplitLines(const std::wstring& text) {
    std::vector<std::wstring> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find(L'\n', start)) != std::wstring::npos; start = end + 1)
        lines.push_back(text.substr(start, end - start));
    lines.push_back(text.substr(start));
    return lines;
}

Program::~Program() {
    if (process_.hProcess == nullptr) return;
    if (Running() && !CloseAndWait()) {
        ::TerminateProcess(process_.hProcess, 1);
        ::WaitForSingleObject(process_.hProcess, 5000);
    }
    ::CloseHandle(process_.hThread);
    ::CloseHandle(process_.hProcess);
}

bool Program::Launch() {
    std::wstring commandLine = L"\"" + ProgramPath() + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    return ::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                            &process_) != FALSE;
}

HWND Program::WaitForWindow(std::chrono::milliseconds timeout) {
    WaitFor([&] { return (window_ = FindControlWindow(process_.dwProcessId)) != nullptr; }, timeout);
    return window_;
}

std::optional<DWORD> Program::CloseAndWait(std::chrono::milliseconds timeout) {
    if (HWND window = window_ != nullptr ? window_ : FindControlWindow(process_.dwProcessId))
        ::PostMessageW(window, WM_CLOSE, 0, 0);
    if (::WaitForSingleObject(process_.hProcess, static_cast<DWORD>(timeout.count())) != WAIT_OBJECT_0)
        return std::nullopt;
    DWORD code = 0;
    ::GetExitCodeProcess(process_.hProcess, &code);
    return code;
}

bool Program::Running() const {
    return process_.hProcess != nullptr && ::WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT;
}

}  // namespace program_driver
