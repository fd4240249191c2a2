#include "ui/control_window_layout.h"

#include <algorithm>

namespace ui {

const wchar_t* StartStopText(bool running) { return running ? L"Stop server" : L"Start server"; }

Rgb IndicatorColor(bool running) { return running ? RunningColor : StoppedColor; }

EllipseBox IndicatorEllipse(const ControlRect& item, int dpi) {
    const int inset = ScaleForDpi(2, dpi), diameter = std::min(item.width, item.height) - inset;
    return {item.x + inset, item.y + inset, item.x + diameter, item.y + diameter};
}

int StatusTextHeight(int clientHeight, int dpi) {
    const auto scaled = [dpi](int length) { return ScaleForDpi(length, dpi); };
    return std::max(std::min(clientHeight - scaled(60), scaled(260)), scaled(60));
}

ControlWindowLayout LayOutControlWindow(int clientWidth, int clientHeight, int dpi) {
    ControlWindowLayout layout{};
    layout.indicator = ScaleRect(ControlRect{12, 17, 22, 22}, dpi);
    layout.startStop = ScaleRect(ControlRect{44, 6, 140, 32}, dpi);
    layout.fileManager = ScaleRect(ControlRect{194, 6, 140, 32}, dpi);
    // The gap from 334 to 494 stays empty.
    layout.log = ScaleRect(ControlRect{494, 6, 80, 32}, dpi);
    layout.status = ScaleRect(ControlRect{580, 6, 82, 32}, dpi);
    layout.statusText = {ScaleForDpi(12, dpi), ScaleForDpi(48, dpi), clientWidth - ScaleForDpi(24, dpi),
                         StatusTextHeight(clientHeight, dpi)};
    return layout;
}

WindowSize WindowSizeForClientHeight(int clientHeight, const FrameWidening& frame, int dpi) {
    return {frame.left + ScaleForDpi(ControlWindowClientWidth, dpi) + frame.right,
            frame.top + ScaleForDpi(clientHeight, dpi) + frame.bottom - ScaleForDpi(ClientHeightShortfall, dpi)};
}

}  // namespace ui
