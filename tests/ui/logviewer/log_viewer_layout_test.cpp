#include "ui/logviewer/log_viewer_layout.h"

#include <gtest/gtest.h>

using namespace ui::logviewer;

namespace ui::logviewer {
void PrintTo(const ControlRect& r, std::ostream* out) {
    *out << "(" << r.x << ", " << r.y << ", " << r.width << ", " << r.height << ")";
}
}  // namespace ui::logviewer

TEST(LayoutLogViewer, PlacesControlsForUsualAndTinySizes) {
    struct Case {
        int width, height;
        LogViewerRects rects;
    };
    const Case cases[] = {
        {744, 481, {{12, 437, 130, 32}, {152, 437, 130, 32}, {602, 437, 130, 32}, {12, 12, 720, 415}}},
        {1280, 1000, {{12, 956, 130, 32}, {152, 956, 130, 32}, {1138, 956, 130, 32}, {12, 12, 1256, 934}}},
        {100, 60, {{12, 16, 130, 32}, {152, 16, 130, 32}, {-42, 16, 130, 32}, {12, 12, 76, -6}}},  // no floor
        {0, 0, {{12, -44, 130, 32}, {152, -44, 130, 32}, {-142, -44, 130, 32}, {12, 12, -24, -66}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << " x " << c.height);
        LogViewerRects rects = LayoutLogViewer(c.width, c.height);
        EXPECT_EQ(rects.refresh, c.rects.refresh);
        EXPECT_EQ(rects.clearLog, c.rects.clearLog);
        EXPECT_EQ(rects.close, c.rects.close);
        EXPECT_EQ(rects.text, c.rects.text);
    }
}
