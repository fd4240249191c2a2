#include "ui/window_kit.h"

#include <utility>

namespace ui {

namespace {

// One per window, attached at WM_NCCREATE and freed with its fonts at WM_NCDESTROY.
struct WindowScale {
    int dpi = BaseDpi;
    HFONT fonts[2] = {};  // by FontKind, made on first use
};

HINSTANCE InstanceOf(HWND window) { return reinterpret_cast<HINSTANCE>(::GetWindowLongPtrW(window, GWLP_HINSTANCE)); }

WindowScale* ScaleOf(HWND window) { return reinterpret_cast<WindowScale*>(::GetWindowLongPtrW(window, GWLP_USERDATA)); }

HFONT CreateFontOrStock(int height, const wchar_t* face, int stock) {
    HFONT font = ::CreateFontW(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                               CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH | FF_DONTCARE, face);
    return font != nullptr ? font : static_cast<HFONT>(::GetStockObject(stock));
}

// A function of user32 that older Windows lacks, or null.
template <class Function>
Function User32Function(const char* name) {
    // Through void(*)(), which converts to any function type without a warning.
    return reinterpret_cast<Function>(
        reinterpret_cast<void (*)()>(::GetProcAddress(::GetModuleHandleW(L"user32.dll"), name)));
}

}  // namespace

HFONT CreateUiFont(int dpi) { return CreateFontOrStock(UiFontHeight(dpi), L"Segoe UI", DEFAULT_GUI_FONT); }

HFONT CreateLogTextFont(int dpi) { return CreateFontOrStock(LogTextFontHeight(dpi), L"Consolas", SYSTEM_FIXED_FONT); }

int WindowDpi(HWND window) {
    static const auto getDpiForWindow = User32Function<UINT(WINAPI*)(HWND)>("GetDpiForWindow");
    if (getDpiForWindow != nullptr && window != nullptr)
        if (const UINT dpi = getDpiForWindow(window)) return static_cast<int>(dpi);
    int dpi = BaseDpi;
    if (HDC screen = ::GetDC(nullptr)) {
        dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
        ::ReleaseDC(nullptr, screen);
    }
    return dpi;
}

int DpiOf(HWND window) {
    const WindowScale* scale = ScaleOf(window);
    return scale != nullptr ? scale->dpi : WindowDpi(window);
}

HFONT FontOf(HWND window, FontKind kind) {
    WindowScale* scale = ScaleOf(window);
    if (scale == nullptr) return nullptr;
    HFONT& font = scale->fonts[static_cast<int>(kind)];
    if (font == nullptr) font = (kind == FontKind::Ui ? CreateUiFont : CreateLogTextFont)(scale->dpi);
    return font;
}

DpiChange::DpiChange(HWND window, int dpi) {
    if (WindowScale* scale = ScaleOf(window)) {
        scale->dpi = dpi;
        for (int i = 0; i < 2; ++i) retired[i] = std::exchange(scale->fonts[i], nullptr);
    }
}

DpiChange::~DpiChange() {
    for (HFONT font : retired)
        if (font != nullptr) ::DeleteObject(font);
}

void TrackScale(HWND window, UINT message) {
    if (message == WM_NCCREATE) {
        ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(new WindowScale{WindowDpi(window)}));
    } else if (message == WM_NCDESTROY) {
        const DpiChange fontsDeleted(window, BaseDpi);  // the controls are gone by now
        delete ScaleOf(window);
        ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    }
}

void AdjustWindowRectForDpi(RECT& rect, DWORD style, DWORD exStyle, int dpi) {
    static const auto adjustForDpi =
        User32Function<BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT)>("AdjustWindowRectExForDpi");
    if (adjustForDpi == nullptr || !adjustForDpi(&rect, style, FALSE, exStyle, static_cast<UINT>(dpi)))
        ::AdjustWindowRectEx(&rect, style, FALSE, exStyle);
}

void MoveToSuggestedRect(HWND window, LPARAM suggested) {
    const RECT& r = *reinterpret_cast<const RECT*>(suggested);
    ::SetWindowPos(window, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

void RegisterWindowClass(HINSTANCE instance, const wchar_t* name, WNDPROC procedure) {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = instance;
    windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1));
    windowClass.lpszClassName = name;
    ::RegisterClassW(&windowClass);
}

HWND CreateControl(HWND window, const wchar_t* className, const wchar_t* text, DWORD style, DWORD exStyle,
                   const ControlRect& r, int id, HFONT font) {
    HWND control = ::CreateWindowExW(exStyle, className, text, style, r.x, r.y, r.width, r.height, window,
                                     reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), InstanceOf(window), nullptr);
    if (control != nullptr && font != nullptr)
        ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    return control;
}

void ShowToolWindow(ToolWindowBase& tool, WNDPROC procedure, HWND owner) {
    try {
        if (tool.handle != nullptr && ::IsWindow(tool.handle)) {
            ::ShowWindow(tool.handle, SW_SHOWNORMAL);
            ::SetForegroundWindow(tool.handle);
            tool.fill(tool.handle);
            return;
        }
        const HINSTANCE instance = InstanceOf(owner);
        if (!tool.registered) {
            // Registered once, whatever the outcome: a failed registration is not retried.
            RegisterWindowClass(instance, tool.className, procedure);
            tool.registered = true;
        }
        const int dpi = WindowDpi(owner);
        tool.handle = ::CreateWindowExW(WS_EX_DLGMODALFRAME, tool.className, tool.title, WS_OVERLAPPEDWINDOW,
                                        CW_USEDEFAULT, CW_USEDEFAULT, ScaleForDpi(tool.width, dpi),
                                        ScaleForDpi(tool.height, dpi), owner, nullptr, instance, nullptr);
        if (tool.handle == nullptr) return;  // refused: the next press tries again
        ::ShowWindow(tool.handle, SW_SHOW);
        ::UpdateWindow(tool.handle);
    } catch (...) {
        // Memory ran out while the content was read: the window stays as far as it got.
    }
}

}  // namespace ui
