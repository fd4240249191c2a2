#include "ui/logviewer/log_viewer_layout.h"

namespace ui::logviewer {

namespace {
constexpr int Margin = 12;
constexpr int ButtonWidth = 130;
constexpr int ButtonHeight = 32;
constexpr int BottomRowOffset = 44;  // from the client's bottom edge to the buttons' top
constexpr int TextGap = 22;          // the text's top margin and the 10 pixels between it and the buttons
}  // namespace

LogViewerRects LayoutLogViewer(int clientWidth, int clientHeight) {
    const int bottomRow = clientHeight - BottomRowOffset;
    LogViewerRects rects;
    rects.refresh = {Margin, bottomRow, ButtonWidth, ButtonHeight};
    rects.clearLog = {152, bottomRow, ButtonWidth, ButtonHeight};
    rects.close = {clientWidth - Margin - ButtonWidth, bottomRow, ButtonWidth, ButtonHeight};
    rects.text = {Margin, Margin, clientWidth - 2 * Margin, bottomRow - TextGap};
    return rects;
}

}  // namespace ui::logviewer
