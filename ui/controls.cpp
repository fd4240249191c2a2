#include "ui/controls.h"

#include <initializer_list>

namespace ui {

HFONT UiFont = nullptr;
HMODULE RichEditModule = nullptr;
HFONT LogTextFont = nullptr;
HFONT LogButtonFont = nullptr;

HFONT CreateUiFont() {
    int resolution = 96;
    if (HDC screen = ::GetDC(nullptr)) {
        resolution = ::GetDeviceCaps(screen, LOGPIXELSY);
        ::ReleaseDC(nullptr, screen);
    }
    HFONT font = ::CreateFontW(-::MulDiv(10, resolution, 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                               OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                               L"Segoe UI");
    if (font == nullptr) font = static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));
    return font;
}

HWND CreateChildControl(const wchar_t* className, const wchar_t* text, DWORD style, int x, int y, int width,
                        int height, HWND parent, int id, HINSTANCE instance) {
    HWND control = ::CreateWindowExW(0, className, text, style, x, y, width, height, parent,
                                     reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
    if (control == nullptr) return nullptr;
    if (UiFont == nullptr) UiFont = CreateUiFont();
    if (UiFont != nullptr) ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(UiFont), TRUE);
    return control;
}

void ReleaseUiResources() {
    for (HFONT* font : {&UiFont, &LogTextFont, &LogButtonFont}) {
        if (*font != nullptr) ::DeleteObject(*font);
        *font = nullptr;
    }
    if (RichEditModule != nullptr) ::FreeLibrary(RichEditModule);
    RichEditModule = nullptr;
}

}  // namespace ui
