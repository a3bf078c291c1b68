#pragma once
// The program's own help window, for a desktop that has no program for help.mht: the page of
// the document with its pictures, links to the web opened by the desktop's browser.

#include <QDialog>
#include <QTextBrowser>
#include <memory>

#include "app/helpdocument.h"

namespace tirelle::app {

// A browser that finds the page's pictures and style sheets among the document's parts.
class HelpBrowser : public QTextBrowser {
public:
    explicit HelpBrowser(QWidget* parent = nullptr) : QTextBrowser(parent) {}
    void showPage(HelpDocument document);
    QVariant loadResource(int type, const QUrl& name) override;

private:
    HelpDocument document_;
};

class THelpForm : public QDialog {
public:
    explicit THelpForm(QWidget* parent = nullptr);
    // Shows the document's page; false, showing nothing, when the file cannot be read or
    // holds no page.
    bool showDocument(const QString& path);

    HelpBrowser* Browser = nullptr;
};

}  // namespace tirelle::app
