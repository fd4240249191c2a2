#include "tool_window_harness.h"

#include <chrono>
#include <set>

namespace tool_window_testing {

namespace {
constexpr wchar_t OwnerClassName[] = L"Quarvello_TestOwner_Wnd";
constexpr UINT ReadTimeoutMs = 2000;

std::wstring TextByMessage(HWND window) {
    wchar_t buffer[4096] = {};
    DWORD_PTR copied = 0;
    ::SendMessageTimeoutW(window, WM_GETTEXT, std::size(buffer), reinterpret_cast<LPARAM>(buffer), SMTO_ABORTIFHUNG,
                          ReadTimeoutMs, &copied);
    return buffer;
}

struct BoxSearch {
    DWORD process;
    std::vector<HWND> boxes;
};

BOOL CALLBACK CollectBox(HWND window, LPARAM data) {
    auto* search = reinterpret_cast<BoxSearch*>(data);
    DWORD process = 0;
    ::GetWindowThreadProcessId(window, &process);
    if (process == search->process && ClassNameOf(window) == L"#32770" && ::IsWindowVisible(window))
        search->boxes.push_back(window);
    return TRUE;
}

BOOL CALLBACK CollectStaticText(HWND child, LPARAM data) {
    auto* text = reinterpret_cast<std::wstring*>(data);
    if (_wcsicmp(ClassNameOf(child).c_str(), L"Static") == 0) {
        std::wstring part = TextByMessage(child);
        if (!part.empty()) *text += part;
    }
    return TRUE;
}

bool HasVisibleButton(HWND box, int id) {
    HWND button = ::GetDlgItem(box, id);
    return button != nullptr && ::IsWindowVisible(button);
}
}  // namespace

OwnerWindow::OwnerWindow() {
    HINSTANCE instance = ::GetModuleHandleW(nullptr);
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = ::DefWindowProcW;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = OwnerClassName;
    ::RegisterClassW(&windowClass);  // fails harmlessly when a previous test registered it
    window_ = ::CreateWindowExW(0, OwnerClassName, L"Owner", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200, nullptr, nullptr,
                                instance, nullptr);
}

OwnerWindow::~OwnerWindow() { Destroy(); }

void OwnerWindow::Destroy() {
    if (window_ != nullptr && ::IsWindow(window_)) ::DestroyWindow(window_);
    window_ = nullptr;
    PumpMessages();
}

void PumpMessages() {
    MSG message;
    for (int i = 0; i < 500 && ::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE); ++i) {
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
}

std::vector<HWND> ThreadWindowsOfClass(const wchar_t* className) {
    struct Search {
        const wchar_t* className;
        std::vector<HWND> found;
    } search{className, {}};
    ::EnumThreadWindows(
        ::GetCurrentThreadId(),
        [](HWND window, LPARAM data) -> BOOL {
            auto* s = reinterpret_cast<Search*>(data);
            if (ClassNameOf(window) == s->className) s->found.push_back(window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::wstring WindowText(HWND window) {
    std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(::GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

std::wstring ClassNameOf(HWND window) {
    wchar_t name[256] = {};
    ::GetClassNameW(window, name, static_cast<int>(std::size(name)));
    return name;
}

Placement PlacementOf(HWND control) {
    RECT r{};
    ::GetWindowRect(control, &r);
    ::MapWindowPoints(HWND_DESKTOP, ::GetParent(control), reinterpret_cast<POINT*>(&r), 2);
    return {r.left, r.top, r.right - r.left, r.bottom - r.top};
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

void PressButton(HWND window, int id) {
    ::SendMessageW(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(::GetDlgItem(window, id)));
}

BoxAnswerer::BoxAnswerer(int button) : button_(button), thread_([this] { Run(); }) {}

BoxAnswerer::~BoxAnswerer() { Stop(); }

std::vector<SeenBox> BoxAnswerer::Stop() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    std::lock_guard<std::mutex> lock(mutex_);
    return seen_;
}

void BoxAnswerer::Run() {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    std::set<HWND> answered;
    while (!stop_ && std::chrono::steady_clock::now() < deadline) {
        BoxSearch search{::GetCurrentProcessId(), {}};
        ::EnumWindows(CollectBox, reinterpret_cast<LPARAM>(&search));
        for (HWND box : search.boxes) {
            if (answered.count(box) != 0) continue;
            answered.insert(box);
            SeenBox seen;
            seen.caption = TextByMessage(box);
            ::EnumChildWindows(box, CollectStaticText, reinterpret_cast<LPARAM>(&seen.text));
            for (int id : {IDOK, IDCANCEL, IDABORT, IDRETRY, IDIGNORE, IDYES, IDNO})
                if (HasVisibleButton(box, id)) seen.buttons.push_back(id);
            int press = button_;
            for (int fallback : {IDOK, IDNO, IDCANCEL})
                if (!HasVisibleButton(box, press)) press = fallback;
            ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(press, BN_CLICKED),
                           reinterpret_cast<LPARAM>(::GetDlgItem(box, press)));
            std::lock_guard<std::mutex> lock(mutex_);
            seen_.push_back(std::move(seen));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

}  // namespace tool_window_testing
