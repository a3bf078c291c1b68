// The styling tags a caption draws: which tags are taken out, the style of every stretch of
// text, and what stays literal.

#include "srt/styletags.h"

#include <gtest/gtest.h>

#include <string>

namespace tirelle::srt {
namespace {

// Each run as its flags ("i", "b", "u", "#colour") in brackets before its text.
std::string Runs(const StyledText& styled) {
    std::string out;
    for (const StyledRun& run : styled.runs) {
        out += '[';
        if (run.italic) out += 'i';
        if (run.bold) out += 'b';
        if (run.underline) out += 'u';
        if (!run.color.empty()) out += "=" + run.color;
        out += ']' + run.text;
    }
    return out;
}

struct TagRow {
    std::string text;
    std::string runs;
    bool tagged;
};

const TagRow kTagRows[] = {
    {"plain", "[]plain", false},
    {"<i>slanted</i> upright", "[i]slanted[] upright", true},
    {"<B>bold</B>", "[b]bold", true},
    {"<i><b>both</b> one</i>", "[ib]both[i] one", true},
    {"<i>a<i>b</i>c</i>d", "[i]abc[]d", true},
    {"<u>line\r\nnext</u>", "[u]line\r\nnext", true},
    {"<font color=\"#ff0000\">red</font>", "[=#ff0000]red", true},
    {"<FONT COLOR='yellow'>y</FONT>", "[=yellow]y", true},
    {"<font color=#0f0>g</font>", "[=#0f0]g", true},
    {"<font color=\"red\">r<font color=\"blue\">b</font>r</font>", "[=red]r[=blue]b[=red]r", true},
    // Everything else stays as written.
    {"<font face=\"Arial\">x</font>", "[]<font face=\"Arial\">x</font>", false},
    {"<font color=\"red;x\">x</font>", "[]<font color=\"red;x\">x</font>", false},
    {"<font color=\"#12345\">x", "[]<font color=\"#12345\">x", false},
    {"<script>alert(1)</script>", "[]<script>alert(1)</script>", false},
    {"</i>closed before", "[]</i>closed before", false},
    {"a < b <i>c</i>", "[]a < b [i]c", true},
    {"{\\an8}<i>top", "[]{\\an8}[i]top", true},
    {"<i>unclosed", "[i]unclosed", true},
    {"<i >spaced</i>", "[]<i >spaced</i>", false},
    {"中文<i>斜体</i>", "[]中文[i]斜体", true},
};

TEST(style_tags, runs_and_literal_text) {
    for (const TagRow& row : kTagRows) {
        const StyledText styled = SplitStyleTags(row.text);
        EXPECT_EQ(Runs(styled), row.runs) << row.text;
        EXPECT_EQ(styled.tagged, row.tagged) << row.text;
    }
}

}  // namespace
}  // namespace tirelle::srt
