#include "ui/filemanager/file_manager_layout.h"

#include <gtest/gtest.h>

using namespace ui::filemanager;

namespace ui::filemanager {
void PrintTo(const ControlRect& r, std::ostream* out) {
    *out << "(" << r.x << ", " << r.y << ", " << r.width << ", " << r.height << ")";
}
}  // namespace ui::filemanager

TEST(LayoutFileManager, PlacesControlsForUsualAndTinySizes) {
    struct Case {
        int width, height;
        ControlRect refresh, close, fileList;
    };
    const Case cases[] = {
        {884, 521, {12, 477, 130, 32}, {742, 477, 130, 32}, {12, 54, 860, 413}},
        {1904, 1001, {12, 957, 130, 32}, {1762, 957, 130, 32}, {12, 54, 1880, 893}},
        {300, 168, {12, 124, 130, 32}, {158, 124, 130, 32}, {12, 54, 276, 60}},  // list exactly at its floor
        {300, 150, {12, 106, 130, 32}, {158, 106, 130, 32}, {12, 54, 276, 60}},  // overlaps the bottom row
        {0, 0, {12, -44, 130, 32}, {-142, -44, 130, 32}, {12, 54, -24, 60}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << " x " << c.height);
        FileManagerRects rects = LayoutFileManager(c.width, c.height);
        // The top row never moves; Delete files is the wide one.
        EXPECT_EQ(rects.explorer, (ControlRect{12, 12, 130, 32}));
        EXPECT_EQ(rects.importFiles, (ControlRect{152, 12, 130, 32}));
        EXPECT_EQ(rects.deleteFiles, (ControlRect{292, 12, 150, 32}));
        EXPECT_EQ(rects.notepad, (ControlRect{452, 12, 130, 32}));
        EXPECT_EQ(rects.refresh, c.refresh);
        EXPECT_EQ(rects.close, c.close);
        EXPECT_EQ(rects.fileList, c.fileList);
    }
}
