#pragma once
// Lengths at a display's resolution. Every length of the windows is given for 96 DPI (100%);
// at a window's DPI it is that length times DPI / 96, so that the windows look the same at
// every scale, drawn at the display's own resolution.

namespace ui {

inline constexpr int BaseDpi = 96;

// number * numerator / denominator (> 0), rounded as MulDiv rounds: half away from zero.
constexpr int MulDivRounded(int number, int numerator, int denominator) {
    const long long product = static_cast<long long>(number) * numerator;
    const long long half = product < 0 ? -(denominator / 2) : denominator / 2;
    return static_cast<int>((product + half) / denominator);
}

// value * dpi / 96, rounded as MulDiv rounds. Exactly value at 96.
constexpr int ScaleForDpi(int value, int dpi) { return MulDivRounded(value, dpi, BaseDpi); }

// A control's place in its window's client area.
struct ControlRect {
    int x = 0, y = 0, width = 0, height = 0;
    friend bool operator==(const ControlRect&, const ControlRect&) = default;
};

// The same rectangle, every field scaled.
constexpr ControlRect ScaleRect(const ControlRect& r, int dpi) {
    return {ScaleForDpi(r.x, dpi), ScaleForDpi(r.y, dpi), ScaleForDpi(r.width, dpi), ScaleForDpi(r.height, dpi)};
}

// The character heights (negative, as CreateFontW takes them) of the windows' fonts: 10 points
// of "Segoe UI", -MulDiv(10, dpi, 72), and the log text's 12 pixels at 96 DPI, scaled.
constexpr int UiFontHeight(int dpi) { return -MulDivRounded(10, dpi, 72); }
constexpr int LogTextFontHeight(int dpi) { return -ScaleForDpi(12, dpi); }

}  // namespace ui
