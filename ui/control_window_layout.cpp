#include "ui/control_window_layout.h"

#include <algorithm>

namespace ui {

const wchar_t* StartStopText(bool running) { return running ? L"Stop server" : L"Start server"; }

Rgb IndicatorColor(bool running) { return running ? RunningColor : StoppedColor; }

EllipseBox IndicatorEllipse(const ControlRect& item) {
    const int diameter = std::min(item.width, item.height) - 2;
    return {item.x + 2, item.y + 2, item.x + diameter, item.y + diameter};
}

int StatusTextHeight(int clientHeight) { return std::max(std::min(clientHeight - 60, 260), 60); }

ControlWindowLayout LayOutControlWindow(int clientWidth, int clientHeight, bool statusPanelVisible) {
    ControlWindowLayout layout{};
    layout.indicator = {12, 17, 22, 22};
    layout.startStop = {44, 6, 140, 32};
    layout.fileManager = {194, 6, 140, 32};
    // The gap from 334 to 494 stays empty.
    layout.log = {494, 6, 80, 32};
    layout.status = {580, 6, 82, 32};
    layout.statusText = {12, 48, clientWidth - 24, StatusTextHeight(clientHeight)};
    layout.statusTextVisible = statusPanelVisible;
    return layout;
}

WindowSize WindowSizeForClientHeight(int clientHeight, const FrameWidening& frame) {
    return {frame.left + ControlWindowClientWidth + frame.right,
            frame.top + clientHeight + frame.bottom - ClientHeightShortfall};
}

}  // namespace ui
