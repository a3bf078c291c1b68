#include "tests/support/scripteddialogs.h"

namespace tirelle::testing {

ScriptedDialogs::ScriptedDialogs() {
    ui::setDialogs(this);
}
ScriptedDialogs::~ScriptedDialogs() {
    ui::setDialogs(nullptr);
}

namespace {
template <class T>
T take(std::deque<T>& queue, int& unexpected, T fallback) {
    if (queue.empty()) {
        ++unexpected;
        return fallback;
    }
    fallback = std::move(queue.front());
    queue.pop_front();
    return fallback;
}
}  // namespace

void ScriptedDialogs::notice(QWidget*, const QString& text) {
    log << "notice: " + text;
    notices << text;
}

bool ScriptedDialogs::question(QWidget*, const QString& text) {
    log << "question: " + text;
    return take(questionAnswers, unexpected, false);
}

bool ScriptedDialogs::confirm(QWidget*, const QString& title, const QString& text) {
    log << "confirm: " + title + ": " + text;
    return take(confirmAnswers, unexpected, false);
}

void ScriptedDialogs::errorBox(QWidget*, const QString& text) {
    log << "error: " + text;
    errors << text;
}

bool ScriptedDialogs::runFileDialog(QWidget*, ui::FileDialog& dialog) {
    log << QString(dialog.kind == ui::FileDialog::Kind::Open ? "open " : "save ") + dialog.name;
    lastFileDialog = dialog;
    auto answer = take(fileAnswers, unexpected, std::optional<QString>());
    if (!answer) return false;
    dialog.fileName = *answer;
    return true;
}

std::optional<ui::FontChoice> ScriptedDialogs::chooseFont(QWidget*, const QString& title,
                                                         const ui::FontChoice& current) {
    log << "font: " + title;
    lastFontShown = current;
    return take(fontAnswers, unexpected, std::optional<ui::FontChoice>());
}

std::optional<QString> ScriptedDialogs::inputText(QWidget*, const QString& caption,
                                                  const QString& prompt, const QString& initial) {
    log << "input: " + caption + ": " + prompt;
    lastInputInitial = initial;
    return take(inputAnswers, unexpected, std::optional<QString>());
}

void ScriptedDialogs::openDocument(QWidget*, const QString& path,
                                   std::function<void()> cannotOpen) {
    log << "document: " + path;
    bool opens = true;
    if (!documentOpens.empty()) {
        opens = documentOpens.front();
        documentOpens.pop_front();
    }
    if (!opens && cannotOpen) cannotOpen();
}

}  // namespace tirelle::testing
