#pragma once
// The application's top-level error handler. Every entry point from the event loop (menu,
// button, slider, timer, player event, create handler) runs through guarded(), so no exception
// ever crosses Qt's event loop: what the core throws ends the handler and is shown in the
// error box, and the event loop goes on.

#include <QString>
#include <exception>
#include <string>
#include <utility>

namespace tirelle::ui {

// The error box text: the message with "." added when its last character sorts after "."
// (letters, digits and Chinese characters do; "." and ")" do not).
QString errorBoxText(const QString& message);

// Shows an exception's message in the error box.
void reportException(const std::exception& error) noexcept;
void reportMessage(const QString& message) noexcept;

template <class F>
void guarded(F&& handler) noexcept {
    try {
        std::forward<F>(handler)();
    } catch (const std::exception& error) {
        reportException(error);
    } catch (...) {
        reportMessage(QStringLiteral("Unknown error"));
    }
}

}  // namespace tirelle::ui
