// The program's file dialog over a folder that holds a store in use: it lists DB.mdb-wal and
// DB.mdb-shm, with their types, without opening either. (A descriptor of them opened and closed
// in this process would drop the engine's locks on them, see Connection::isStoreFile.)

#include <sys/inotify.h>
#include <unistd.h>

#include <QFileDialog>
#include <QFileSystemModel>
#include <QTimer>
#include <QtTest>

#include "app/ui/dialogs.h"
#include "tests/support/tempfolder.h"
#include "tests/support/testmain.h"

class FileDialogTest : public QObject {
    Q_OBJECT
private slots:
    void listsTheStoresJournalFilesWithoutOpeningThem();
};

void FileDialogTest::listsTheStoresJournalFilesWithoutOpeningThem() {
    tirelle::testing::TempFolder folder;
    const std::string noise(40000, '\x5a');
    for (const char* name : {"DB.mdb", "DB.mdb-wal", "DB.mdb-shm", "a.srt"}) folder.write(name, noise);
    const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    QVERIFY(watch >= 0);
    QVERIFY(::inotify_add_watch(watch, folder.path().c_str(), IN_OPEN) >= 0);

    const QString dir = QString::fromStdString(folder.path().string());
    bool typed = false;
    QTimer::singleShot(0, this, [&] {
        auto* box = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!box) return;
        box->selectNameFilter(box->nameFilters().last());  // every file shown
        auto* model = box->findChild<QFileSystemModel*>();
        const QString shm = dir + QStringLiteral("/DB.mdb-shm");
        // The type of a file comes with its details: once it is there, the file was looked at.
        typed = model && QTest::qWaitFor([&] {
                    const QModelIndex index = model->index(shm);
                    return index.isValid() && !model->type(index).isEmpty();
                });
        box->reject();
    });
    tirelle::ui::FileDialog dialog = tirelle::ui::srtOpenDialog();
    dialog.fileName = dir + QStringLiteral("/a.srt");
    QVERIFY(!tirelle::ui::dialogs().runFileDialog(nullptr, dialog));
    QVERIFY(typed);

    QStringList opened;
    alignas(inotify_event) char buffer[4096];
    for (ssize_t n; (n = ::read(watch, buffer, sizeof buffer)) > 0;)
        for (char* p = buffer; p < buffer + n;) {
            const auto* event = reinterpret_cast<const inotify_event*>(p);
            if (event->len) opened << QString::fromUtf8(event->name);
            p += sizeof(inotify_event) + event->len;
        }
    ::close(watch);
    QVERIFY2(!opened.contains("DB.mdb-wal") && !opened.contains("DB.mdb-shm"),
             qPrintable(opened.join(' ')));
}

TIRELLE_TEST_MAIN(FileDialogTest)
#include "filedialog_test.moc"
