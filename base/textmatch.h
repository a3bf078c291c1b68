#pragma once
// Matching a search text against a cell's bytes, as the list's find does it: a part of the cell
// starting at a character boundary, the whole cell, or its beginning, with or without regard to
// case. Upper-casing follows the code page and never changes a text's length in bytes, so
// positions found in an upper-cased text hold in the original.

#include <string>
#include <string_view>

#include "base/codepage.h"

namespace tirelle {

enum class MatchKind {
    AnyPart,    // the cell contains the text, starting at a character boundary
    WholeCell,  // the cell equals the text
    Beginning,  // the cell's first bytes equal the text
};

// Upper-cases by the code page: ASCII letters, and for multi-byte characters the letters whose
// upper case has the same length in the code page (GBK: full-width Latin, Greek, Cyrillic, small
// Roman numerals; UTF-8: the Unicode case mapping). The second byte of a double-byte character
// is never touched on its own.
void UpperCaseInPlace(std::string& text, const CodePage& page);
std::string UpperCase(std::string_view text, const CodePage& page);

// True when `part` occurs in `text` at a position where a character begins; an occurrence that
// starts inside a multi-byte character does not count. An empty part or text never matches.
bool ContainsAtBoundary(std::string_view text, std::string_view part, const CodePage& page);

// One search text prepared for many cells. Not thread-safe: it keeps a scratch buffer.
class TextMatcher {
public:
    TextMatcher(std::string_view wanted, MatchKind kind, bool ignoreCase, const CodePage& page);

    // Any part: an empty text or cell never matches. Whole cell: an empty text matches only an
    // empty cell. Beginning: an empty text matches every cell; a cell shorter than the text is
    // compared whole (so it does not match).
    bool matches(std::string_view cell);

private:
    std::string wanted_;  // upper-cased when case is ignored
    MatchKind kind_;
    bool ignoreCase_;
    CodePage page_;
    std::string scratch_;
};

}  // namespace tirelle
