#pragma once
// The row-height rule of the subtitle list: from the font's metrics and the two settings
// `RowLines` and `RowHeight` to the height of every data row and whether cells wrap.

#include <QFont>

namespace tirelle::listview {

// What the rule needs of a font, in pixels.
struct TextMetrics {
    int textHeight = 0;       // height of the text "Wg"
    int height = 0;           // ascent + descent
    int externalLeading = 0;  // extra space the font asks for between lines
    int internalLeading = 0;  // space for accents inside the height
};

// The metrics of a font as the platform measures it.
TextMetrics measureFont(const QFont& font);

// Outcome of the rule.
struct RowLayout {
    int rowPixels = 0;   // height of every data row, the line below it included
    int rowLines = 0;    // `RowLines` written back: whole text lines the row holds
    int rowHeight = 0;   // `RowHeight` written back: the margin
    bool wraps = false;  // cells break their text into lines
};

// Pixels of a data row taken by the flat frame and the line between rows.
inline constexpr int kRowMargin = 2;

// Runs the rule for the given settings (negative values count as 0). Heights that would not fit
// in an int are clamped to the largest one that does.
RowLayout layoutRows(const TextMetrics& metrics, int rowLines, int rowHeight);

// Height of the title row: "Wg" in the title font plus 2 pixels.
inline int titleRowPixels(const TextMetrics& titleMetrics) {
    return titleMetrics.textHeight + 2;
}

}  // namespace tirelle::listview
