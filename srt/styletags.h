#pragma once
// The styling tags of subtitle texts that players draw instead of printing: <i>, <b>, <u> with
// their closing tags, and <font color="..."> ... </font>, tag names in any case. Everything
// else, other tags and a closing tag with nothing open included, is text.
//
// The texts are bytes in UTF-8 or GBK: '<', '>', '"' and '\'' are never part of a multi-byte
// character in either, so a run never starts or ends inside a character.

#include <string>
#include <string_view>
#include <vector>

namespace tirelle::srt {

// A stretch of text in one style.
struct StyledRun {
    std::string text;  // bytes as in the subtitle, line breaks included
    bool italic = false;
    bool bold = false;
    bool underline = false;
    // The colour as the innermost open font tag gives it: "#" with 3 or 6 hexadecimal digits,
    // or a colour name of ASCII letters; "" for the default colour.
    std::string color;

    bool operator==(const StyledRun&) const = default;
};

struct StyledText {
    std::vector<StyledRun> runs;  // in text order; no empty run
    bool tagged = false;          // a styling tag was found (and taken out)
};

// The text cut into runs, the styling tags taken out.
StyledText SplitStyleTags(std::string_view text);

}  // namespace tirelle::srt
