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

FileManagerRects LayoutFileManager(int clientWidth, int clientHeight) {
    FileManagerRects rects;
    rects.explorer = {Margin, Margin, ButtonWidth, ButtonHeight};
    rects.importFiles = {152, Margin, ButtonWidth, ButtonHeight};
    rects.deleteFiles = {292, Margin, DeleteButtonWidth, ButtonHeight};
    rects.notepad = {452, Margin, ButtonWidth, ButtonHeight};
    const int bottomRow = clientHeight - BottomRowOffset;
    rects.refresh = {Margin, bottomRow, ButtonWidth, ButtonHeight};
    rects.close = {clientWidth - Margin - ButtonWidth, bottomRow, ButtonWidth, ButtonHeight};
    rects.fileList = {Margin, ListTop, clientWidth - 2 * Margin,
                      std::max(clientHeight - ListHeightReserve, MinListHeight)};
    return rects;
}

}  // namespace ui::filemanager
