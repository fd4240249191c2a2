#include "ui/filemanager/file_manager_layout.h"

#include <algorithm>

namespace ui::filemanager {

namespace {
constexpr int Margin = 12;
constexpr int ButtonWidth = 130;
constexpr int DeleteButtonWidth = 150;
constexpr int ButtonHeight = 32;
constexpr int BottomRowOffset = 44;  // from the client's bottom edge to the buttons' top
constexpr int ListTop = 54;
constexpr int ListHeightReserve = 108;  // the two rows and their margins
constexpr int MinListHeight = 60;
}  // namespace

FileManagerRects LayoutFileManager(int clientWidth, int clientHeight, int dpi) {
    const auto scaled = [dpi](int length) { return ScaleForDpi(length, dpi); };
    const int margin = scaled(Margin), buttonWidth = scaled(ButtonWidth), buttonHeight = scaled(ButtonHeight);
    FileManagerRects rects;
    rects.explorer = {margin, margin, buttonWidth, buttonHeight};
    rects.importFiles = {scaled(152), margin, buttonWidth, buttonHeight};
    rects.deleteFiles = {scaled(292), margin, scaled(DeleteButtonWidth), buttonHeight};
    rects.notepad = {scaled(452), margin, buttonWidth, buttonHeight};
    const int bottomRow = clientHeight - scaled(BottomRowOffset);
    rects.refresh = {margin, bottomRow, buttonWidth, buttonHeight};
    rects.close = {clientWidth - scaled(Margin + ButtonWidth), bottomRow, buttonWidth, buttonHeight};
    rects.fileList = {margin, scaled(ListTop), clientWidth - scaled(2 * Margin),
                      std::max(clientHeight - scaled(ListHeightReserve), scaled(MinListHeight))};
    return rects;
}

}  // namespace ui::filemanager
