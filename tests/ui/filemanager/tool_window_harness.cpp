#include "tool_window_harness.h"

namespace tool_window_testing {

OwnerWindow::OwnerWindow() {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = ::DefWindowProcW;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"Quarvello_TestOwner_Wnd";
    ::RegisterClassW(&windowClass);  // fails harmlessly when an earlier test registered it
    handle = ::CreateWindowExW(0, windowClass.lpszClassName, L"Owner", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200, nullptr,
                               nullptr, windowClass.hInstance, nullptr);
}

void OwnerWindow::Destroy() {
    if (handle != nullptr && ::IsWindow(handle)) ::DestroyWindow(handle);
    handle = nullptr;
}

HWND OnlyWindowOfClass(const wchar_t* className) {
    HWND first = ::FindWindowExW(nullptr, nullptr, className, nullptr);
    return first != nullptr && ::FindWindowExW(nullptr, first, className, nullptr) == nullptr ? first : nullptr;
}

std::wstring WindowText(HWND window) {
    std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(::GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

RECT PlacementOf(HWND control) {
    RECT r{};
    ::GetWindowRect(control, &r);
    ::MapWindowPoints(HWND_DESKTOP, ::GetParent(control), reinterpret_cast<POINT*>(&r), 2);
    return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

void PressButton(HWND window, int id) {
    ::SendMessageW(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(::GetDlgItem(window, id)));
}

}  // namespace tool_window_testing
