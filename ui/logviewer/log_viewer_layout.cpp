#include "ui/logviewer/log_viewer_layout.h"

namespace ui::logviewer {

namespace {
constexpr int Margin = 12;
constexpr int ButtonWidth = 130;
constexpr int ButtonHeight = 32;
constexpr int BottomRowOffset = 44;  // from the client's bottom edge to the buttons' top
constexpr int TextGap = 22;          // the text's top margin and the 10 pixels between it and the buttons
}  // namespace

LogViewerRects LayoutLogViewer(int clientWidth, int clientHeight, int dpi) {
    const auto scaled = [dpi](int length) { return ScaleForDpi(length, dpi); };
    const int margin = scaled(Margin), buttonWidth = scaled(ButtonWidth), buttonHeight = scaled(ButtonHeight);
    const int bottomRow = clientHeight - scaled(BottomRowOffset);
    LogViewerRects rects;
    rects.refresh = {margin, bottomRow, buttonWidth, buttonHeight};
    rects.clearLog = {scaled(152), bottomRow, buttonWidth, buttonHeight};
    rects.close = {clientWidth - scaled(Margin + ButtonWidth), bottomRow, buttonWidth, buttonHeight};
    rects.text = {margin, margin, clientWidth - scaled(2 * Margin), clientHeight - scaled(BottomRowOffset + TextGap)};
    return rects;
}

}  // namespace ui::logviewer
