#pragma once
// The help document help.mht is a web page archived as MIME (MHTML): a multipart/related
// message whose first text/html part is the page and whose other parts are its pictures and
// style sheets, each named by its Content-Location or its Content-ID ("cid:..." in the page).

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QUrl>
#include <optional>

namespace tirelle::app {

struct HelpDocument {
    QString html;  // the page, decoded from its charset
    QUrl base;     // the page's own Content-Location, against which relative names resolve
    // The other parts' bodies, decoded, by their absolute Content-Location and by "cid:<id>".
    QHash<QString, QByteArray> parts;

    // The body of the part `name` refers to from the page; nothing when none is archived.
    std::optional<QByteArray> part(const QUrl& name) const;
};

// The page and its parts; nothing when the bytes hold no HTML page (a single text/html
// message counts as a page without parts).
std::optional<HelpDocument> ParseMhtml(const QByteArray& bytes);

}  // namespace tirelle::app
