#include "app/captionhtml.h"

#include <QColor>
#include <QStringList>

#include "app/ui/textcodec.h"
#include "srt/styletags.h"

namespace tirelle::app {

CaptionText captionText(const std::string& caption) {
    const srt::StyledText styled = srt::SplitStyleTags(caption);
    if (!styled.tagged) return {ui::toDisplay(caption), Qt::PlainText};
    QString html = QStringLiteral("<div style=\"white-space:pre-wrap\">");
    for (const srt::StyledRun& run : styled.runs) {
        QStringList style;
        if (run.italic) style << QStringLiteral("font-style:italic");
        if (run.bold) style << QStringLiteral("font-weight:bold");
        if (run.underline) style << QStringLiteral("text-decoration:underline");
        // A name Qt does not know leaves the colour as it is, as a player does.
        const QColor colour(QString::fromLatin1(run.color));
        if (!run.color.empty() && colour.isValid())
            style << QStringLiteral("color:") + colour.name();
        QString text = ui::toDisplay(run.text).toHtmlEscaped();
        text.replace(QLatin1Char('\n'), QStringLiteral("<br>"));
        if (style.isEmpty())
            html += text;
        else
            html += QStringLiteral("<span style=\"") + style.join(QLatin1Char(';')) +
                    QStringLiteral("\">") + text + QStringLiteral("</span>");
    }
    return {html + QStringLiteral("</div>"), Qt::RichText};
}

}  // namespace tirelle::app
