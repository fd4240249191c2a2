#pragma once
// Resources shared by the program's windows: the child-control factory with its shared font,
// and the log viewer's library and fonts, all released together when the control window ends.
#include <windows.h>

namespace ui {

// The shared 10-point "Segoe UI" font, made by the first successful CreateChildControl.
extern HFONT UiFont;
// Made by the first log viewer; released with the others.
extern HMODULE RichEditModule;
extern HFONT LogTextFont;
extern HFONT LogButtonFont;

// A 10-point "Segoe UI" font for the screen, or the stock GUI font when it cannot be made.
HFONT CreateUiFont();

// Creates a child control and gives it UiFont; null when the control cannot be created.
HWND CreateChildControl(const wchar_t* className, const wchar_t* text, DWORD style, int x, int y, int width,
                        int height, HWND parent, int id, HINSTANCE instance);

// Deletes UiFont, LogTextFont and LogButtonFont, in this order, and frees RichEditModule.
void ReleaseUiResources();

}  // namespace ui
