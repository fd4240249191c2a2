#pragma once
// Where the file manager window's controls go for a given client size.
#include "ui/dpi_scale.h"

namespace ui::filemanager {

struct FileManagerRects {
    ControlRect explorer, importFiles, deleteFiles, notepad;  // the top row, fixed
    ControlRect refresh, close;                               // the bottom row, following the bottom edge
    ControlRect fileList;                                     // between the rows
};

// The top row never moves; Refresh and Close keep their top 44 pixels above the client's
// bottom edge and Close 142 pixels left of its right edge. The list keeps 12-pixel side
// margins and is never lower than 60 pixels, so a tiny window lets it overlap the bottom row.
// Every length is that at 96 DPI, scaled to dpi.
FileManagerRects LayoutFileManager(int clientWidth, int clientHeight, int dpi);

}  // namespace ui::filemanager
