#pragma once
// What the preview caption shows for the texts of the active subtitles (code-page bytes, CR LF
// line breaks): the text as it is when it holds no styling tag; otherwise rich text in which
// the tags' italics, bold, underline and colours are the only markup and every character of
// the text, '<' and '&' included, is escaped, so nothing else a text holds is taken as HTML.

#include <QString>
#include <string>

namespace tirelle::app {

struct CaptionText {
    QString text;
    Qt::TextFormat format = Qt::PlainText;
};

CaptionText captionText(const std::string& caption);

}  // namespace tirelle::app
