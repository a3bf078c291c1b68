#include "app/application.h"

#include <QDir>
#include <QLibraryInfo>
#include <QLocale>
#include <QTimer>
#include <QTranslator>
#include <clocale>
#include <csignal>

#include "app/aboutform.h"
#include "app/srtform.h"
#include "app/toolform.h"
#include "app/ui/dialogs.h"
#include "app/ui/guard.h"
#include "app/ui/scaling.h"
#include "store/connection.h"

namespace tirelle::app {

Application::Application(int& argc, char** argv) : QApplication(argc, argv) {}

bool Application::notify(QObject* receiver, QEvent* event) {
    bool handled = false;
    ui::guarded([&] { handled = QApplication::notify(receiver, event); });
    return handled;
}

void prepareProcess() {
    // A file-size limit makes a write that passes it fail with "File too large" instead of
    // ending the program, so a save or an open reports it like any other failed write.
    std::signal(SIGXFSZ, SIG_IGN);
    // Number texts are always read and written with "."; the player library insists on it.
    std::setlocale(LC_NUMERIC, "C");
    QApplication::setApplicationName(ui::applicationTitle());
    ui::installFontSubstitutions();
}

void installQtTranslations() {
    // Qt's standard dialogs (file, font, input) speak the desktop's language; the program's own
    // texts are written in the program and are not translated.
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    for (const char* catalogue : {"qtbase", "qt"}) {
        auto* translator = new QTranslator(qApp);
        if (translator->load(QLocale::system(), QString::fromLatin1(catalogue),
                             QStringLiteral("_"), folder) &&
            QCoreApplication::installTranslator(translator))
            return;  // one catalogue is enough: "qt" holds the base module's texts too
        delete translator;
    }
}

std::optional<store::StoreLock> claimStore(const std::filesystem::path& storeFile) {
    store::StoreLock lock(storeFile);
    if (lock.state() == store::StoreLock::State::HeldElsewhere) {
        ui::dialogs().errorBox(nullptr, QStringLiteral("字幕库正被另一个 Tirelle 使用：") +
                                            QString::fromStdString(storeFile.string()));
        return std::nullopt;
    }
    return lock;
}

int runProgram() {
    const std::filesystem::path folder =
        QDir(QCoreApplication::applicationDirPath()).absolutePath().toStdString();
    // Held until the program ends; a crash lets it go as well.
    const std::optional<store::StoreLock> claim =
        claimStore(store::StoreFolder(folder) / store::kStoreFileName);
    if (!claim) return 1;
    SrtForm = new TSrtForm(TSrtForm::Options{folder, nullptr});
    ToolForm = SrtForm->toolForm();
    AboutForm = new TAboutForm(SrtForm);
    SrtForm->showMaximized();
    // A file named on the command line (the menu entry's SRT association passes one) is opened
    // once the event loop runs, so its questions and errors show over the window.
    if (const QStringList arguments = QCoreApplication::arguments(); arguments.size() > 1)
        QTimer::singleShot(0, SrtForm, [file = QDir().absoluteFilePath(arguments.at(1))] {
            SrtForm->OpenSubtitleFile(file);
        });
    const int code = QApplication::exec();
    delete SrtForm;  // the tools window and the about box go with it
    SrtForm = nullptr;
    ToolForm = nullptr;
    AboutForm = nullptr;
    return code;
}

}  // namespace tirelle::app
