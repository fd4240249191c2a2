#pragma once
// Resources shared by the program's windows: the window's DPI, the child-control factory with
// its shared font, and the log viewer's library and fonts, all released together when the
// control window ends.
#include <windows.h>

namespace ui {

// A font of one recipe, held with the DPI it was made for.
struct DpiFont {
    HFONT (*make)(int dpi);
    HFONT handle = nullptr;
    int dpi = 0;
};

// The shared 10-point "Segoe UI" font, made by the first successful CreateChildControl.
extern DpiFont UiFont;
// Made by the first log viewer; released with the others.
extern HMODULE RichEditModule;
extern DpiFont LogTextFont;
extern DpiFont LogButtonFont;

// The recipes, shared with the tests that measure texts: 10-point "Segoe UI" (the stock GUI
// font when it cannot be made) and 12-pixel-at-96-DPI "Consolas" (the stock fixed font).
HFONT CreateUiFont(int dpi);
HFONT CreateLogTextFont(int dpi);

// The font made for dpi: the one held when it was made for dpi, else a new one, which also
// replaces the old one in every control of this thread's windows before the old is deleted.
// Null only when even the stock font is missing; the next call tries again.
HFONT FontForDpi(DpiFont& font, int dpi);

// The DPI of the window's monitor where the system can tell (Windows 10 1607 and later), else
// the screen's LOGPIXELSY, else 96.
int WindowDpi(HWND window);
// The window rectangle for a client rectangle at dpi: AdjustWindowRectExForDpi where the
// system has it, else AdjustWindowRectEx. No menu.
void AdjustWindowRectForDpi(RECT& rect, DWORD style, DWORD exStyle, int dpi);
// WM_DPICHANGED's suggested window rectangle taken as it is.
void MoveToSuggestedRect(HWND window, LPARAM suggested);

// Creates a child control and gives it UiFont for the parent's DPI; null when the control
// cannot be created.
HWND CreateChildControl(const wchar_t* className, const wchar_t* text, DWORD style, int x, int y, int width,
                        int height, HWND parent, int id, HINSTANCE instance);

// Deletes UiFont, LogTextFont and LogButtonFont, in this order, and frees RichEditModule.
void ReleaseUiResources();

}  // namespace ui
