#pragma once
// What the control window shows and where, as plain values: control ids, button texts, the
// indicator's colours, the controls' rectangles and the window's size. The window code only
// feeds these functions and applies their results. Lengths are given for 96 DPI; each function
// takes the window's DPI and scales them (ui/dpi_scale.h).
#include <cstdint>

#include "ui/dpi_scale.h"
#include "ui/version.h"

namespace ui {

enum ControlId : int { IDC_START_STOP = 1001, IDC_FILE_MANAGER = 1005, IDC_LOG = 1006, IDC_STATUS = 1007,
                      IDC_STATUS_TEXT = 1010, IDC_INDICATOR = 1011 };

inline constexpr wchar_t ControlWindowClassName[] = L"Vorn_Server_HTTP_Wnd";
inline constexpr wchar_t ControlWindowTitle[] = L"Quarvello v" QUARVELLO_VERSION_TEXT L"   -  static file server";
inline constexpr int InitialWindowWidth = 780;
inline constexpr int InitialWindowHeight = 260;

// Client heights asked for; the window ends up ClientHeightShortfall pixels lower (see
// WindowSizeForClientHeight).
inline constexpr int ControlWindowClientWidth = 680;
inline constexpr int CollapsedClientHeight = 66;
inline constexpr int ExpandedClientHeight = 348;
inline constexpr int ClientHeightShortfall = 16;

inline constexpr unsigned RefreshTimerId = 1;
inline constexpr unsigned RefreshIntervalMs = 800;

// "Stop server" while the server runs, "Start server" otherwise.
const wchar_t* StartStopText(bool running);

struct Rgb {
    std::uint8_t red, green, blue;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};
inline constexpr Rgb RunningColor{0, 200, 0};
inline constexpr Rgb StoppedColor{220, 0, 0};
inline constexpr Rgb IndicatorOutlineColor{60, 60, 60};

// The indicator's fill: green while the server runs, red otherwise.
Rgb IndicatorColor(bool running);

// The ellipse's bounding box (left, top, right, bottom) inside an indicator item rectangle:
// a circle of the smaller side less 2, inset by 2 at the left and top (2 at 96 DPI, scaled).
struct EllipseBox {
    int left, top, right, bottom;
    friend bool operator==(const EllipseBox&, const EllipseBox&) = default;
};
EllipseBox IndicatorEllipse(const ControlRect& item, int dpi);

// The status text's height for a client height: clientHeight - 60, at most 260, then at
// least 60 (each at 96 DPI, scaled).
int StatusTextHeight(int clientHeight, int dpi);

struct ControlWindowLayout {
    ControlRect indicator, startStop, fileManager, log, status, statusText;
};
// Where each control goes for a client area of width x height. The buttons and the indicator
// do not depend on the size; the status text, shown only with the panel, fills the width below them.
ControlWindowLayout LayOutControlWindow(int clientWidth, int clientHeight, int dpi);

// What the window frame adds on each side of the client area (all >= 0 for a normal frame).
struct FrameWidening {
    int left, top, right, bottom;
};
struct WindowSize {
    int width, height;
    friend bool operator==(const WindowSize&, const WindowSize&) = default;
};
// The outer size for a client of ControlWindowClientWidth x clientHeight (both at 96 DPI,
// scaled) in the given frame, made ClientHeightShortfall pixels (scaled) lower: at 96 DPI the
// client comes out at clientHeight - 16.
WindowSize WindowSizeForClientHeight(int clientHeight, const FrameWidening& frame, int dpi);

}  // namespace ui
