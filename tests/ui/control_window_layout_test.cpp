#include "ui/control_window_layout.h"

#include <gtest/gtest.h>

#include <iterator>
#include <ostream>

namespace ui {
std::ostream& operator<<(std::ostream& out, const ControlRect& r) {
    return out << "(" << r.x << ", " << r.y << ", " << r.width << ", " << r.height << ")";
}
}  // namespace ui

using namespace ui;

namespace {
bool Overlap(const ControlRect& a, const ControlRect& b) {
    return a.x < b.x + b.width && b.x < a.x + a.width && a.y < b.y + b.height && b.y < a.y + a.height;
}
}  // namespace

TEST(ControlWindowState, ButtonTextAndIndicatorFollowTheRunningFlag) {
    struct Case {
        bool running;
        const wchar_t* text;
        Rgb color;
    };
    for (const Case& c : {Case{true, L"Stop server", Rgb{0, 200, 0}}, Case{false, L"Start server", Rgb{220, 0, 0}}}) {
        EXPECT_STREQ(StartStopText(c.running), c.text) << c.running;
        EXPECT_EQ(IndicatorColor(c.running), c.color) << c.running;
    }
}

TEST(IndicatorEllipse, IsACircleOfTheSmallerSideLessTwoInsetByTwo) {
    struct Case {
        ControlRect item;
        EllipseBox box;
    };
    const Case cases[] = {
        {{0, 0, 22, 22}, {2, 2, 20, 20}},    // the indicator as laid out, in its own coordinates
        {{12, 17, 22, 22}, {14, 19, 32, 37}},
        {{0, 0, 30, 22}, {2, 2, 20, 20}},    // wider than high: the height decides
        {{5, 5, 10, 40}, {7, 7, 13, 13}},    // higher than wide: the width decides
        {{0, 0, 2, 2}, {2, 2, 0, 0}},        // degenerate: nothing to draw, but no crash
    };
    for (const Case& c : cases) EXPECT_EQ(IndicatorEllipse(c.item), c.box) << c.item;
}

TEST(StatusTextHeight, IsClientHeightLessSixtyBetweenSixtyAndTwoHundredSixty) {
    struct Case {
        int clientHeight, height;
    };
    const Case cases[] = {{332, 260}, {320, 260}, {319, 259}, {1000, 260}, {200, 140},
                          {121, 61},  {120, 60},  {100, 60},  {50, 60},    {0, 60}, {-10, 60}};
    for (const Case& c : cases) EXPECT_EQ(StatusTextHeight(c.clientHeight), c.height) << c.clientHeight;
}

TEST(LayOutControlWindow, TopRowDoesNotDependOnTheSizeOrThePanel) {
    const ControlWindowLayout reference = LayOutControlWindow(680, 50, false);
    const struct {
        int width, height;
    } sizes[] = {{680, 332}, {0, 0}, {100, 20}, {2000, 1500}};
    for (const auto& size : sizes) {
        for (bool visible : {false, true}) {
            const ControlWindowLayout layout = LayOutControlWindow(size.width, size.height, visible);
            EXPECT_EQ(layout.indicator, reference.indicator);
            EXPECT_EQ(layout.startStop, reference.startStop);
            EXPECT_EQ(layout.fileManager, reference.fileManager);
            EXPECT_EQ(layout.log, reference.log);
            EXPECT_EQ(layout.status, reference.status);
            EXPECT_EQ(layout.statusTextVisible, visible);
        }
    }
}

TEST(LayOutControlWindow, TopRowControlsNeitherOverlapNorFillTheGap) {
    const ControlWindowLayout layout = LayOutControlWindow(680, 50, false);
    const ControlRect row[] = {layout.indicator, layout.startStop, layout.fileManager, layout.log, layout.status};
    for (std::size_t i = 0; i < std::size(row); ++i) {
        EXPECT_LE(row[i].x + row[i].width, 680) << row[i];
        for (std::size_t j = i + 1; j < std::size(row); ++j) EXPECT_FALSE(Overlap(row[i], row[j])) << row[i] << row[j];
        EXPECT_FALSE(Overlap(row[i], ControlRect{334, 0, 160, 48})) << row[i] << " enters the empty gap";
    }
}

TEST(LayOutControlWindow, StatusTextFillsTheWidthBelowTheButtons) {
    struct Case {
        int width, height;
        ControlRect text;
    };
    const Case cases[] = {
        {680, 332, {12, 48, 656, 260}},  // expanded
        {680, 50, {12, 48, 656, 60}},    // collapsed: never lower than 60
        {680, 200, {12, 48, 656, 140}},
        {800, 600, {12, 48, 776, 260}},  // never higher than 260
        {24, 100, {12, 48, 0, 60}},
    };
    for (const Case& c : cases) {
        const ControlWindowLayout layout = LayOutControlWindow(c.width, c.height, true);
        EXPECT_EQ(layout.statusText, c.text) << c.width << " x " << c.height;
        EXPECT_GE(layout.statusText.y, layout.startStop.y + layout.startStop.height);
    }
}

TEST(WindowSizeForClientHeight, WidensByTheFrameAndComesOutSixteenLower) {
    struct Case {
        int clientHeight;
        FrameWidening frame;
        WindowSize size;
    };
    const Case cases[] = {
        {66, {0, 0, 0, 0}, {680, 50}},
        {348, {0, 0, 0, 0}, {680, 332}},
        {66, {8, 31, 8, 8}, {696, 89}},    // a sizing frame with a caption
        {348, {8, 31, 8, 8}, {696, 371}},
        {66, {3, 25, 5, 4}, {688, 79}},    // uneven sides add up on their own axis
    };
    for (const Case& c : cases) {
        const WindowSize size = WindowSizeForClientHeight(c.clientHeight, c.frame);
        EXPECT_EQ(size, c.size) << c.clientHeight << " in frame " << c.frame.left << "/" << c.frame.top << "/"
                                << c.frame.right << "/" << c.frame.bottom;
        // What the frame leaves inside is the client the window ends up with.
        EXPECT_EQ(size.width - c.frame.left - c.frame.right, ControlWindowClientWidth);
        EXPECT_EQ(size.height - c.frame.top - c.frame.bottom, c.clientHeight - ClientHeightShortfall);
    }
}
