#pragma once
// A Dialogs implementation for tests: every call is recorded, and answers come from queues the
// test fills beforehand. An unexpected dialog (no answer queued) fails loudly instead of
// blocking: it records the call and gives the "cancel" answer.

#include <QString>
#include <QStringList>
#include <deque>
#include <optional>

#include "app/ui/dialogs.h"

namespace tirelle::testing {

class ScriptedDialogs : public ui::Dialogs {
public:
    // Installs itself as the program's dialogs; the destructor restores the Qt ones.
    ScriptedDialogs();
    ~ScriptedDialogs() override;

    // --- answers, consumed in order
    std::deque<bool> questionAnswers;                // true = "&Yes"
    std::deque<bool> confirmAnswers;                 // true = not Cancel
    std::deque<std::optional<QString>> fileAnswers;  // nothing = cancelled
    std::deque<std::optional<ui::FontChoice>> fontAnswers;
    std::deque<std::optional<QString>> inputAnswers;
    std::deque<bool> documentOpens;  // not a dialog: when empty, the desktop opens it

    // --- what was shown, in order: "notice: text", "question: text", "confirm: title: text",
    // "error: text", "open OpenDialog2", "save SaveDialog1", "font: title", "input: caption: prompt",
    // "document: path"
    QStringList log;
    QStringList errors;   // texts of error boxes
    QStringList notices;  // texts of notices
    // The dialogs as last shown, for checking their settings.
    ui::FileDialog lastFileDialog;
    ui::FontChoice lastFontShown;
    QString lastInputInitial;
    int unexpected = 0;  // dialogs shown with no answer queued

    void notice(QWidget* parent, const QString& text) override;
    bool question(QWidget* parent, const QString& text) override;
    bool confirm(QWidget* parent, const QString& title, const QString& text) override;
    void errorBox(QWidget* parent, const QString& text) override;
    bool runFileDialog(QWidget* parent, ui::FileDialog& dialog) override;
    std::optional<ui::FontChoice> chooseFont(QWidget* parent, const QString& title,
                                             const ui::FontChoice& current) override;
    std::optional<QString> inputText(QWidget* parent, const QString& caption, const QString& prompt,
                                     const QString& initial) override;
    // The desktop opens the document unless `documentOpens` holds false at its front.
    void openDocument(QWidget* parent, const QString& path,
                      std::function<void()> cannotOpen) override;
};

}  // namespace tirelle::testing
