#pragma once
// Geometry is designed at 120 pixels per inch; it scales with the screen's logical density.
// Fonts are given in points.

#include <QFont>
#include <QRect>

namespace tirelle::ui {

// Logical dots per inch of the primary screen (96 when there is none).
double screenDpi();
// Design pixels (at 120 ppi) to device-independent pixels on this screen.
int scaled(int designPixels);
QRect scaled(int x, int y, int w, int h);
// Widths scaled by running total, so that their sum scales exactly.
void scaleRunningTotal(int* widths, int count);

// "宋体" at the given point size, GB2312 glyphs through whatever CJK font is installed.
QFont songti(int pointSize);
// Maps "宋体" (and SimSun) to an installed CJK family; call once after QApplication exists.
void installFontSubstitutions();

}  // namespace tirelle::ui
