#include "app/helpform.h"

#include <QFile>
#include <QImage>
#include <QVBoxLayout>

#include "app/ui/scaling.h"

namespace tirelle::app {

void HelpBrowser::showPage(HelpDocument document) {
    document_ = std::move(document);
    QTextBrowser::document()->setBaseUrl(document_.base);
    setHtml(document_.html);
}

QVariant HelpBrowser::loadResource(int type, const QUrl& name) {
    // A link to a place in the page itself.
    const auto page = [](const QUrl& url) { return url.adjusted(QUrl::RemoveFragment); };
    if (type == QTextDocument::HtmlResource &&
        page(document_.base.resolved(name)) == page(document_.base))
        return document_.html;
    const std::optional<QByteArray> body = document_.part(name);
    if (!body) return {};  // nothing from outside the document
    if (type == QTextDocument::ImageResource) {
        QImage picture;
        picture.loadFromData(*body);
        return picture;
    }
    if (type == QTextDocument::StyleSheetResource) return QString::fromUtf8(*body);
    return *body;
}

THelpForm::THelpForm(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("HelpForm"));
    setWindowTitle(QStringLiteral("帮助"));
    setWindowFlag(Qt::WindowMaximizeButtonHint);
    resize(ui::scaled(760), ui::scaled(620));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    Browser = new HelpBrowser(this);
    Browser->setObjectName(QStringLiteral("Browser"));
    Browser->setOpenExternalLinks(true);
    layout->addWidget(Browser);
}

bool THelpForm::showDocument(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return false;
    std::optional<HelpDocument> document = ParseMhtml(file.readAll());
    if (!document) return false;
    Browser->showPage(std::move(*document));
    if (!Browser->documentTitle().isEmpty())
        setWindowTitle(QStringLiteral("帮助 - ") + Browser->documentTitle());
    show();
    raise();
    activateWindow();
    return true;
}

}  // namespace tirelle::app
