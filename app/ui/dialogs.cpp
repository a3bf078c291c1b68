#include "app/ui/dialogs.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeDatabase>
#include <QProcess>
#include <QPushButton>
#include <QUrl>

#include "app/ui/fontdialog.h"

namespace tirelle::ui {

namespace {

// The real dialogs. Every box is application-modal and runs a nested event loop, in which
// timers keep ticking and player events keep arriving.
// Icons and type names from the file's name alone. Qt's own provider reads a file whose name it
// does not know to guess its type; a read of the store's journal files (DB.mdb-wal, DB.mdb-shm)
// from this process, closed again, would drop every lock the engine holds on them, and another
// program reading the store would then take the shared index for its own and cut it short.
class NameOnlyIcons : public QFileIconProvider {
public:
    QIcon icon(const QFileInfo& info) const override {
        if (info.isDir()) return QFileIconProvider::icon(QAbstractFileIconProvider::Folder);
        const QIcon themed = QIcon::fromTheme(typeOf(info).iconName());
        return themed.isNull() ? QFileIconProvider::icon(QAbstractFileIconProvider::File) : themed;
    }
    QString type(const QFileInfo& info) const override {
        if (info.isDir()) return QFileIconProvider::type(info);
        return typeOf(info).comment();
    }

private:
    static QMimeType typeOf(const QFileInfo& info) {
        return QMimeDatabase().mimeTypeForFile(info, QMimeDatabase::MatchExtension);
    }
};

class QtDialogs : public Dialogs {
public:
    void notice(QWidget* parent, const QString& text) override {
        QMessageBox box(QMessageBox::NoIcon, applicationTitle(), text, QMessageBox::NoButton,
                        parent);
        box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
        box.exec();
    }

    bool question(QWidget* parent, const QString& text) override {
        QMessageBox box(QMessageBox::NoIcon, applicationTitle(), text, QMessageBox::NoButton,
                        parent);
        QPushButton* yes = box.addButton(QStringLiteral("&Yes"), QMessageBox::YesRole);
        QPushButton* no = box.addButton(QStringLiteral("&No"), QMessageBox::NoRole);
        box.setDefaultButton(yes);
        box.setEscapeButton(no);  // Escape and the close box answer no
        box.exec();
        return box.clickedButton() == yes;
    }

    bool confirm(QWidget* parent, const QString& title, const QString& text) override {
        QMessageBox box(QMessageBox::Question, title, text, QMessageBox::NoButton, parent);
        QPushButton* ok = box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
        QPushButton* cancel = box.addButton(QStringLiteral("Cancel"), QMessageBox::RejectRole);
        box.setDefaultButton(ok);
        box.setEscapeButton(cancel);
        box.exec();
        return box.clickedButton() != cancel;
    }

    void errorBox(QWidget* parent, const QString& text) override {
        QMessageBox box(QMessageBox::Critical, applicationTitle(), text, QMessageBox::NoButton,
                        parent);
        box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
        box.exec();
    }

    bool runFileDialog(QWidget* parent, FileDialog& dialog) override {
        QFileDialog box(parent);
        box.setOption(QFileDialog::DontUseNativeDialog);
        static NameOnlyIcons icons;
        box.setIconProvider(&icons);
        if (dialog.kind == FileDialog::Kind::Open) {
            box.setAcceptMode(QFileDialog::AcceptOpen);
            box.setFileMode(QFileDialog::AnyFile);  // a name that does not exist may be typed
        } else {
            box.setAcceptMode(QFileDialog::AcceptSave);
            box.setOption(QFileDialog::DontConfirmOverwrite);
        }
        if (!dialog.filters.isEmpty()) box.setNameFilters(dialog.filters);
        if (!dialog.defaultSuffix.isEmpty()) box.setDefaultSuffix(dialog.defaultSuffix);
        if (!dialog.fileName.isEmpty()) box.selectFile(dialog.fileName);
        if (box.exec() != QDialog::Accepted || box.selectedFiles().isEmpty()) return false;
        dialog.fileName = box.selectedFiles().first();
        return true;
    }

    std::optional<FontChoice> chooseFont(QWidget* parent, const QString& title,
                                         const FontChoice& current) override {
        return runFontDialog(parent, title, current);
    }

    std::optional<QString> inputText(QWidget* parent, const QString& caption, const QString& prompt,
                                     const QString& initial) override {
        QInputDialog box(parent);
        box.setWindowTitle(caption);
        box.setLabelText(prompt);
        box.setTextValue(initial);
        if (auto* edit = box.findChild<QLineEdit*>()) {
            edit->setMaxLength(255);
            edit->selectAll();
        }
        if (box.exec() != QDialog::Accepted) return std::nullopt;
        return box.textValue();
    }

    void openDocument(QWidget* parent, const QString& path,
                      std::function<void()> cannotOpen) override {
        if (!QFileInfo(path).isFile()) return;
        // xdg-open ends with a failure at once when no program handles the document; while it
        // runs, or after it ended well, the desktop has it. Nothing here waits for it.
        auto* opener = new QProcess(parent);
        const auto failed = [opener, cannotOpen] {
            opener->deleteLater();
            if (cannotOpen) cannotOpen();
        };
        QObject::connect(opener, &QProcess::errorOccurred, opener,
                         [failed](QProcess::ProcessError error) {
                             if (error == QProcess::FailedToStart) failed();
                         });
        QObject::connect(opener, &QProcess::finished, opener,
                         [opener, failed](int code, QProcess::ExitStatus status) {
                             if (code != 0 || status != QProcess::NormalExit)
                                 failed();
                             else
                                 opener->deleteLater();
                         });
        opener->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        opener->start(QStringLiteral("xdg-open"), {path});
    }
};

QtDialogs& qtDialogs() {
    static QtDialogs instance;
    return instance;
}

Dialogs* installed = nullptr;

}  // namespace

Dialogs& dialogs() {
    return installed ? *installed : qtDialogs();
}

void setDialogs(Dialogs* replacement) {
    installed = replacement;
}

QString applicationTitle() {
    return QStringLiteral("Tirelle");
}

FileDialog srtOpenDialog() {
    FileDialog dialog;
    dialog.kind = FileDialog::Kind::Open;
    dialog.name = QStringLiteral("OpenDialog2");
    dialog.filters = {QStringLiteral("Srt文件  (*.srt)"), QStringLiteral("所有文件 (*)")};
    return dialog;
}

FileDialog srtSaveDialog() {
    FileDialog dialog;
    dialog.kind = FileDialog::Kind::Save;
    dialog.name = QStringLiteral("SaveDialog1");
    dialog.filters = {QStringLiteral("srt文件 (*.srt)")};
    dialog.defaultSuffix = QStringLiteral("srt");
    return dialog;
}

}  // namespace tirelle::ui
