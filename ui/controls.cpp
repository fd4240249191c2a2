#include "ui/controls.h"

#include <initializer_list>
#include <utility>

#include "ui/dpi_scale.h"

namespace ui {

DpiFont UiFont{CreateUiFont};
HMODULE RichEditModule = nullptr;
DpiFont LogTextFont{CreateLogTextFont};
DpiFont LogButtonFont{CreateUiFont};

namespace {

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

BOOL CALLBACK ReplaceFontInControl(HWND control, LPARAM fonts) {
    const auto& [from, to] = *reinterpret_cast<const std::pair<HFONT, HFONT>*>(fonts);
    if (reinterpret_cast<HFONT>(::SendMessageW(control, WM_GETFONT, 0, 0)) == from)
        ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(to), TRUE);
    return TRUE;
}

BOOL CALLBACK ReplaceFontInWindow(HWND window, LPARAM fonts) {
    ::EnumChildWindows(window, ReplaceFontInControl, fonts);
    return TRUE;
}

}  // namespace

HFONT CreateUiFont(int dpi) { return CreateFontOrStock(UiFontHeight(dpi), L"Segoe UI", DEFAULT_GUI_FONT); }

HFONT CreateLogTextFont(int dpi) { return CreateFontOrStock(LogTextFontHeight(dpi), L"Consolas", SYSTEM_FIXED_FONT); }

HFONT FontForDpi(DpiFont& font, int dpi) {
    if (font.handle != nullptr && font.dpi == dpi) return font.handle;
    std::pair<HFONT, HFONT> fonts{font.handle, font.make(dpi)};
    font.handle = fonts.second;
    font.dpi = dpi;
    if (fonts.first != nullptr) {
        // No control may keep a deleted font: a window left at another DPI takes this one.
        ::EnumThreadWindows(::GetCurrentThreadId(), ReplaceFontInWindow, reinterpret_cast<LPARAM>(&fonts));
        ::DeleteObject(fonts.first);
    }
    return font.handle;
}

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

HWND CreateChildControl(const wchar_t* className, const wchar_t* text, DWORD style, int x, int y, int width,
                        int height, HWND parent, int id, HINSTANCE instance) {
    HWND control = ::CreateWindowExW(0, className, text, style, x, y, width, height, parent,
                                     reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
    if (control == nullptr) return nullptr;
    if (HFONT font = FontForDpi(UiFont, WindowDpi(parent)))
        ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    return control;
}

void ReleaseUiResources() {
    for (DpiFont* font : {&UiFont, &LogTextFont, &LogButtonFont}) {
        if (font->handle != nullptr) ::DeleteObject(font->handle);
        *font = {font->make};
    }
    if (RichEditModule != nullptr) ::FreeLibrary(RichEditModule);
    RichEditModule = nullptr;
}

}  // namespace ui
