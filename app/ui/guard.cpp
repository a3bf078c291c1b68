#include "app/ui/guard.h"

#include <QApplication>

#include "app/ui/dialogs.h"
#include "app/ui/textcodec.h"

namespace tirelle::ui {

QString errorBoxText(const QString& message) {
    if (!message.isEmpty() && message.back() > QLatin1Char('.')) return message + QLatin1Char('.');
    return message;
}

void reportMessage(const QString& message) noexcept {
    try {
        QWidget* parent = QApplication::activeModalWidget();
        if (!parent) parent = QApplication::activeWindow();
        dialogs().errorBox(parent, errorBoxText(message));
    } catch (...) {
        // Showing the box failed (out of memory): nothing more can be reported.
    }
}

void reportException(const std::exception& error) noexcept {
    try {
        reportMessage(toQString(error.what()));
    } catch (...) {
    }
}

}  // namespace tirelle::ui
