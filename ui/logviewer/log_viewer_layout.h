#pragma once
// Where the log viewer window's controls go for a given client size.
#include "ui/dpi_scale.h"

namespace ui::logviewer {

struct LogViewerRects {
    ControlRect refresh, clearLog, close;  // the bottom row, following the bottom edge
    ControlRect text;                      // everything above it
};

// The buttons' top stays 44 pixels above the client's bottom edge, Close 142 pixels left of
// its right edge; the text keeps 12-pixel margins at the left, top and right and ends 10
// pixels above the buttons. No lower limit: a tiny window gets overlapping or empty controls.
// Every length is that at 96 DPI, scaled to dpi.
LogViewerRects LayoutLogViewer(int clientWidth, int clientHeight, int dpi);

}  // namespace ui::logviewer
