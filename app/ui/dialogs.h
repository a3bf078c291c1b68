#pragma once
// Every modal interaction of the program goes through Dialogs: notices, questions, the error
// box, file, font and input dialogs. QtDialogs shows the real ones; tests install a scripted
// implementation (tests/support/scripteddialogs.h).

#include <QColor>
#include <QFont>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

class QWidget;

namespace tirelle::ui {

// Settings and memory of one named file dialog (OpenDialog1, OpenDialog2, SaveDialog1).
struct FileDialog {
    enum class Kind { Open, Save };
    Kind kind = Kind::Open;
    QString name;           // the dialog's name, e.g. "OpenDialog2"
    QStringList filters;    // Qt filter texts, e.g. "Srt文件  (*.srt)"; empty: every file
    QString defaultSuffix;  // appended to a name typed without extension ("srt")
    QString fileName;       // the file chosen last; offered again at the next opening
};

// The two dialogs for SRT files that both windows have, with the same settings: OpenDialog2
// (filters "Srt文件  *.srt", selected first, and "所有文件") and SaveDialog1 (filter
// "srt文件 *.srt", default extension "srt").
FileDialog srtOpenDialog();
FileDialog srtSaveDialog();

// A font with the colour the font dialog keeps alongside it.
struct FontChoice {
    QFont font;
    QColor color;
};

class Dialogs {
public:
    virtual ~Dialogs() = default;

    // Notice: application title, no icon, one "OK" button.
    virtual void notice(QWidget* parent, const QString& text) = 0;
    // Question: application title, no icon, "&Yes" (default) and "&No" (also Escape).
    // True only for "&Yes"; the close box counts as no.
    virtual bool question(QWidget* parent, const QString& text) = 0;
    // Confirmation: the given title, question icon, "OK" (default) and "Cancel" (also Escape
    // and the close box). True unless Cancel.
    virtual bool confirm(QWidget* parent, const QString& title, const QString& text) = 0;
    // The error box: application title, error icon, one OK button. The text is shown as given.
    virtual void errorBox(QWidget* parent, const QString& text) = 0;
    // Runs a file dialog; on acceptance stores the chosen path in dialog.fileName.
    virtual bool runFileDialog(QWidget* parent, FileDialog& dialog) = 0;
    // Font dialog with the title `title`, opened on `current`, offering the effects and the
    // colour; the chosen font and colour (the colour as it was unless one was picked), or
    // nothing when cancelled.
    virtual std::optional<FontChoice> chooseFont(QWidget* parent, const QString& title,
                                                 const FontChoice& current) = 0;
    // One-line input box; the typed text after OK, nothing after Cancel or the close box.
    virtual std::optional<QString> inputText(QWidget* parent, const QString& caption,
                                             const QString& prompt, const QString& initial) = 0;
    // Hands an existing document to the desktop's default viewer. When the desktop has none
    // that opens it, `cannotOpen` runs, later, on the GUI thread (not while `parent` is gone).
    // A missing file is not reported.
    virtual void openDocument(QWidget* parent, const QString& path,
                              std::function<void()> cannotOpen) = 0;
};

// The dialogs the whole program uses. Never null: QtDialogs until another is installed.
Dialogs& dialogs();
// Installs another implementation (tests); nullptr restores the Qt one. Not owned.
void setDialogs(Dialogs* replacement);

// The application title used by every message box: "Tirelle".
QString applicationTitle();

}  // namespace tirelle::ui
