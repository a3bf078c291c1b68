#include "app/statusline.h"

#include <QFileInfo>
#include <QStatusBar>

#include "srt/encoding.h"
#include "tools/filesteps.h"

namespace tirelle::app {

std::string shownName(const QString& fileName) {
    return QFileInfo(fileName).fileName().toStdString();
}

void StatusLine::show(const QString& text, int timeoutMs) {
    bar_->showMessage(text, timeoutMs);
}

void StatusLine::report(const std::string& utf8) {
    show(QString::fromStdString(utf8));
}

void StatusLine::showRead(const srt::ReadEncoding& encoding, const QString& fileName) {
    if (!encoding.converted) {
        show(QString());
        return;
    }
    const tools::ReadNote note = tools::DescribeRead(encoding);
    show(QString::fromStdString(note.lead) + QFileInfo(fileName).fileName() +
         QString::fromStdString(note.tail));
}

}  // namespace tirelle::app
