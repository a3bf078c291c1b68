// Opening an SRT file into the store and saving the store, through the scripted dialogs.

#include <sys/resource.h>
#include <sys/stat.h>
#include <sqlite3.h>

#include <QtTest>

#include "app/srtform.h"
#include "app/ui/guard.h"
#include "app/widgets.h"
#include "tests/support/formfixture.h"
#include "store/statements.h"
#include "tests/support/testmain.h"

using tirelle::testing::FormFixture;
using tirelle::testing::TempFolder;

namespace {

QString path(const std::filesystem::path& file) {
    return QString::fromStdString(file.string());
}

std::vector<std::array<std::string, 3>> storedRows(tirelle::app::TSrtForm& form) {
    std::vector<std::array<std::string, 3>> rows;
    for (int row = 0; row < form.Sub.rowCount(); ++row) {
        const auto& record = form.Sub.rowAt(row);
        rows.push_back({record.STime, record.ETime, record.SubText});
    }
    return rows;
}

// Counts what reaches the list during a command: the dataset's notifications, and the readings
// of the whole table (the working statement run on the store's connection).
class Traffic : public tirelle::store::DatasetObserver {
public:
    Traffic(tirelle::store::Dataset& dataset, sqlite3* db) : dataset_(dataset), db_(db) {
        dataset_.addObserver(this);
        sqlite3_trace_v2(db_, SQLITE_TRACE_STMT, &Traffic::traced, this);
    }
    ~Traffic() override {
        sqlite3_trace_v2(db_, 0, nullptr, nullptr);
        dataset_.removeObserver(this);
    }
    void datasetChanged() override { ++redraws; }
    void currentChanged(bool) override { ++others; }
    void rowChanged(int) override { ++others; }
    void stateChanged() override { ++others; }

    int redraws = 0;
    int others = 0;
    int tableReads = 0;

private:
    static int traced(unsigned, void* self, void*, void* sql) {
        if (std::strcmp(static_cast<const char*>(sql), tirelle::store::kSelectAllSql) == 0)
            ++static_cast<Traffic*>(self)->tableReads;
        return 0;
    }
    tirelle::store::Dataset& dataset_;
    sqlite3* db_;
};

}  // namespace

class FilesTest : public QObject {
    Q_OBJECT
private slots:
    void init() { fixture = std::make_unique<FormFixture>(); }
    void cleanup() { fixture.reset(); }

    void openReplacesTheStoreWithTheFile();
    void openOnAnEmptyStoreAsksNothing();
    void openAsksToSaveFirst();
    void openCancelledChangesNothing();
    void openOfANamedFileAsksOnlyToSave();
    void openOfAPipeFailsAtOnce();
    void saveBeyondTheFileSizeLimitIsReported();
    void openMissingFileKeepsTheStore();
    void openEmptyFileEmptiesTheStore();
    void openPostsAPendingEditFirst();
    void openStopsAtAFailingBlockKeepingEarlierOnes();
    void openRedrawsTheListOnceAndReadsTheTableOnce();
    void saveOfAnEmptyStore();
    void saveWritesNumberedBlocks();
    void saveIncludesAPendingEditAndEndsCapture();
    void saveCancelledKeepsCaptureMode();
    void saveThenOpenRoundTrip();
    void saveFailureNamesTheFile();

private:
    std::unique_ptr<FormFixture> fixture;
};

void FilesTest::openReplacesTheStoreWithTheFile() {
    fixture->addRows({{"00:00:01,000", "00:00:02,000", "old"}});
    const auto file =
        fixture->folder.write("in.srt",
                              "1\r\n00:00:09,000 --> 00:00:10,000\r\nlate\r\n\r\n"
                              "2\r\n0:0:1,5 --> 00:00:03,000 X1:100\r\n  two  \r\nlines\r\n\r\n");
    fixture->dialogs.questionAnswers = {false};
    fixture->dialogs.fileAnswers = {path(file)};
    fixture->form->N6Click();
    QVERIFY(fixture->dialogs.errors.isEmpty());
    const std::vector<std::array<std::string, 3>> expected = {
        {"0:0:1,5", "00:00:03,000 X1:100", "two  \r\nlines"},
        {"00:00:09,000", "00:00:10,000", "late"}};
    QCOMPARE(storedRows(*fixture->form), expected);
    QCOMPARE(fixture->form->Sub.fieldByName("SubSort").asFloat(), 1.5);
    QCOMPARE(fixture->dialogs.lastFileDialog.name, QStringLiteral("OpenDialog2"));
    QCOMPARE(fixture->dialogs.lastFileDialog.filters.size(), 2);
    QCOMPARE(fixture->form->OpenDialog2.fileName, path(file));  // offered again next time
}

void FilesTest::openOnAnEmptyStoreAsksNothing() {
    const auto file = fixture->folder.write("in.srt", "1\n00:00:01,000 --> 00:00:02,000\nx\n");
    fixture->dialogs.fileAnswers = {path(file)};
    fixture->form->N6Click();
    QCOMPARE(fixture->dialogs.log, QStringList{"open OpenDialog2"});
    QCOMPARE(fixture->form->Sub.recordCount(), 1);
}

void FilesTest::openAsksToSaveFirst() {
    fixture->addRows({{"00:00:01,000", "00:00:02,000", "keep me"}});
    const auto saved = fixture->folder.file("saved.srt");
    const auto file = fixture->folder.write("in.srt", "1\n00:00:05,000 --> 00:00:06,000\nnew\n");
    fixture->dialogs.questionAnswers = {true};
    fixture->dialogs.fileAnswers = {path(saved), path(file)};
    fixture->form->N6Click();
    QCOMPARE(fixture->dialogs.log,
             (QStringList{"question: 是否另存现有字幕?", "save SaveDialog1", "open OpenDialog2"}));
    QCOMPARE(TempFolder::read(saved),
             std::string("1\r\n00:00:01,000 --> 00:00:02,000\r\nkeep me\r\n\r\n"));
    QCOMPARE(fixture->form->Sub.recordCount(), 1);
    QCOMPARE(fixture->form->Sub.fieldByName("SubText").asString(), std::string("new"));
}

void FilesTest::openOfANamedFileAsksOnlyToSave() {
    fixture->addRows({{"00:00:01,000", "00:00:02,000", "old"}});
    const auto file = fixture->folder.write("named.srt", "1\n00:00:05,000 --> 00:00:06,000\nnew\n");
    fixture->dialogs.questionAnswers = {false};
    fixture->form->OpenSubtitleFile(path(file));
    QCOMPARE(fixture->dialogs.log, QStringList{"question: 是否另存现有字幕?"});
    const std::vector<std::array<std::string, 3>> expected = {
        {"00:00:05,000", "00:00:06,000", "new"}};
    QCOMPARE(storedRows(*fixture->form), expected);
    QCOMPARE(fixture->form->OpenDialog2.fileName, path(file));
}

void FilesTest::openCancelledChangesNothing() {
    fixture->addRows({{"00:00:01,000", "00:00:02,000", "stay"}});
    fixture->dialogs.questionAnswers = {false};
    fixture->dialogs.fileAnswers = {std::nullopt};
    fixture->form->N6Click();
    QCOMPARE(fixture->form->Sub.recordCount(), 1);
    QCOMPARE(fixture->dialogs.errors, QStringList{});
}

void FilesTest::openMissingFileKeepsTheStore() {
    fixture->addRows({{"00:00:01,000", "00:00:02,000", "stay"}});
    const auto missing = fixture->folder.file("missing.srt");
    fixture->dialogs.questionAnswers = {false};
    fixture->dialogs.fileAnswers = {path(missing)};
    tirelle::ui::guarded([&] { fixture->form->N6Click(); });
    QCOMPARE(fixture->dialogs.errors,
             QStringList{"Cannot open file \"" + path(missing) + "\". No such file or directory."});
    QCOMPARE(fixture->form->Sub.recordCount(), 1);
}

void FilesTest::openEmptyFileEmptiesTheStore() {
    fixture->addRows({{"00:00:01,000", "00:00:02,000", "gone"}});
    const auto file = fixture->folder.write("empty.srt", "");
    fixture->dialogs.questionAnswers = {false};
    fixture->dialogs.fileAnswers = {path(file)};
    fixture->form->N6Click();
    QCOMPARE(fixture->form->Sub.recordCount(), 0);
    QVERIFY(fixture->dialogs.notices.isEmpty());
}

void FilesTest::openPostsAPendingEditFirst() {
    auto& sub = fixture->form->Sub;
    sub.append();  // a new row just started in the list, nothing set
    fixture->dialogs.questionAnswers = {false};
    fixture->dialogs.fileAnswers = {std::nullopt};
    fixture->form->N6Click();
    // The explicit post stores it as an empty row, so the question was asked.
    QCOMPARE(sub.recordCount(), 1);
    QCOMPARE(fixture->dialogs.log.first(), QStringLiteral("question: 是否另存现有字幕?"));
}

void FilesTest::openStopsAtAFailingBlockKeepingEarlierOnes() {
    auto& form = *fixture->form;
    form.ADOConn.execute(
        "CREATE TEMP TRIGGER refuse BEFORE INSERT ON Sub WHEN NEW.SubText = 'bad' "
        "BEGIN SELECT RAISE(ABORT, 'refused'); END",
        "test");
    const auto file = fixture->folder.write("in.srt",
                                            "1\n00:00:03,000 --> 00:00:04,000\ngood\n\n"
                                            "2\n00:00:01,000 --> 00:00:02,000\nbad\n\n"
                                            "3\n00:00:05,000 --> 00:00:06,000\nnever\n");
    fixture->dialogs.fileAnswers = {path(file)};
    tirelle::ui::guarded([&] { form.N6Click(); });
    QCOMPARE(fixture->dialogs.errors, QStringList{"Sub: refused."});
    // The first block is stored (and committed); the third was never read.
    form.Sub.cancel();
    form.Sub.requery();
    QCOMPARE(storedRows(form), (std::vector<std::array<std::string, 3>>{{"00:00:03,000", "00:00:04,000", "good"}}));
    tirelle::store::Connection other;
    other.open(fixture->folder.path());
    tirelle::store::Dataset check;
    check.setConnection(&other);
    check.setCommandText("select * from Sub order by SubSort");
    check.open();
    QCOMPARE(check.recordCount(), 1);
}

void FilesTest::openRedrawsTheListOnceAndReadsTheTableOnce() {
    fixture->addRows({{"00:00:01,000", "00:00:02,000", "old"}});
    std::string srt;
    for (int k = 300; k > 0; --k)  // out of order, with equal starts: the final order is sorted
        srt += std::to_string(k) + "\n00:00:" + std::to_string(10 + k % 40) +
               ",000 --> 00:01:00,000\nline " + std::to_string(k) + "\n\n";
    const auto file = fixture->folder.write("many.srt", srt);
    auto& form = *fixture->form;
    form.show();
    QCoreApplication::processEvents();
    {
        Traffic traffic(form.Sub, form.ADOConn.handle());
        fixture->dialogs.questionAnswers = {false};
        fixture->dialogs.fileAnswers = {path(file)};
        form.N6Click();
        // One redraw at the end; the one reading is of the emptied table, the new rows are
        // put in order in memory.
        QCOMPARE(traffic.redraws, 1);
        QCOMPARE(traffic.others, 0);
        QCOMPARE(traffic.tableReads, 1);

        // Nothing changed since: the save walks the rows in memory.
        fixture->dialogs.fileAnswers = {path(fixture->folder.file("out.srt"))};
        form.N9Click();
        QCOMPARE(traffic.tableReads, 1);
        QCOMPARE(traffic.redraws, 2);
    }
    QCOMPARE(form.Sub.rowCount(), 300);
    // What the list shows is what a reading of the table gives, row for row.
    const auto shown = storedRows(form);
    std::vector<std::int64_t> shownAids;
    for (int row = 0; row < form.Sub.rowCount(); ++row) shownAids.push_back(form.Sub.rowAt(row).aid);
    form.Sub.reload();
    QCOMPARE(storedRows(form), shown);
    for (int row = 0; row < form.Sub.rowCount(); ++row)
        QCOMPARE(form.Sub.rowAt(row).aid, shownAids[static_cast<std::size_t>(row)]);
}

void FilesTest::saveOfAnEmptyStore() {
    fixture->form->N9Click();
    QCOMPARE(fixture->dialogs.log, QStringList{"notice: 没找到可保存的文本~"});
}

void FilesTest::saveWritesNumberedBlocks() {
    fixture->addRows({{"00:00:05,000", "00:00:06,000", "second"},
                      {"00:00:01,000", "00:00:02,000", ""},
                      {"100:00:00,000", "100:00:01,000", "two\r\nlines"}});
    const auto file = fixture->folder.file("out.srt");
    fixture->dialogs.fileAnswers = {path(file)};
    fixture->form->N9Click();
    QCOMPARE(fixture->dialogs.lastFileDialog.defaultSuffix, QStringLiteral("srt"));
    QCOMPARE(TempFolder::read(file),
             std::string("1\r\n00:00:01,000 --> 00:00:02,000\r\n\r\n\r\n"
                         "2\r\n00:00:05,000 --> 00:00:06,000\r\nsecond\r\n\r\n"
                         "3\r\n100:00:00,000 --> 100:00:01,000\r\ntwo\r\nlines\r\n\r\n"));
    // The walk leaves the last row current with the end flag set.
    QCOMPARE(fixture->form->Sub.currentRow(), 2);
    QVERIFY(fixture->form->Sub.eof());
}

void FilesTest::saveIncludesAPendingEditAndEndsCapture() {
    fixture->addRows({{"00:00:01,000", "00:00:02,000", "before"}});
    auto& form = *fixture->form;
    form.SpButtonE->setDown(true);
    form.Sub.edit();
    form.Sub.fieldByName("SubText").setAsString("after");
    const auto file = fixture->folder.file("out.srt");
    fixture->dialogs.fileAnswers = {path(file)};
    form.N9Click();
    QCOMPARE(TempFolder::read(file),
             std::string("1\r\n00:00:01,000 --> 00:00:02,000\r\nafter\r\n\r\n"));
    QCOMPARE(form.SpButtonE->isDown(), false);
    QCOMPARE(fixture->playerCalls().last(), QStringLiteral("pause"));
}

void FilesTest::saveCancelledKeepsCaptureMode() {
    fixture->addRows({{"00:00:01,000", "00:00:02,000", "x"}});
    fixture->form->SpButtonE->setDown(true);
    fixture->dialogs.fileAnswers = {std::nullopt};
    fixture->form->N9Click();
    QCOMPARE(fixture->form->SpButtonE->isDown(), true);
    QVERIFY(!fixture->playerCalls().contains("pause"));
}

void FilesTest::saveThenOpenRoundTrip() {
    const std::vector<std::array<std::string, 3>> rows = {
        {"00:00:01,000", "00:00:02,500", "中文字幕"}, {"00:00:03,000", "00:00:04,000", "a\r\nb"}};
    fixture->addRows(rows);
    const auto file = fixture->folder.file("round.srt");
    fixture->dialogs.fileAnswers = {path(file), path(file)};
    fixture->dialogs.questionAnswers = {false};
    fixture->form->N9Click();
    fixture->form->N6Click();
    QCOMPARE(storedRows(*fixture->form), rows);
}

void FilesTest::saveFailureNamesTheFile() {
    fixture->addRows({{"00:00:01,000", "00:00:02,000", "x"}});
    const auto file = fixture->folder.file("no-such-folder") / "out.srt";
    fixture->dialogs.fileAnswers = {path(file)};
    tirelle::ui::guarded([&] { fixture->form->N9Click(); });
    QCOMPARE(fixture->dialogs.errors.size(), 1);
    QVERIFY2(
        fixture->dialogs.errors.first().startsWith("Cannot create file \"" + path(file) + "\". "),
        qPrintable(fixture->dialogs.errors.first()));
}

void FilesTest::openOfAPipeFailsAtOnce() {
    fixture->addRows({{"00:00:01,000", "00:00:02,000", "kept"}});
    const auto fifo = fixture->folder.file("pipe.srt");
    QCOMPARE(::mkfifo(fifo.c_str(), 0600), 0);
    fixture->dialogs.questionAnswers = {false};
    fixture->dialogs.fileAnswers = {path(fifo)};
    tirelle::ui::guarded([&] { fixture->form->N6Click(); });  // would wait for a writer
    QCOMPARE(fixture->dialogs.errors, QStringList{"Cannot open file \"" + path(fifo) +
                                                  "\". It is a named pipe, not a regular file."});
    QCOMPARE(fixture->form->Sub.recordCount(), 1);
}

// The limit would end the program with SIGXFSZ unless the program ignores the signal; the
// save then fails like any other and leaves nothing behind.
void FilesTest::saveBeyondTheFileSizeLimitIsReported() {
    fixture->addRows({{"00:00:01,000", "00:00:02,000", std::string(20000, 'x')}});
    const auto file = fixture->folder.file("out.srt");
    fixture->dialogs.fileAnswers = {path(file)};
    rlimit saved{};
    QCOMPARE(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit limited = saved;
    limited.rlim_cur = 4096;
    QCOMPARE(::setrlimit(RLIMIT_FSIZE, &limited), 0);
    tirelle::ui::guarded([&] { fixture->form->N9Click(); });
    ::setrlimit(RLIMIT_FSIZE, &saved);
    QCOMPARE(fixture->dialogs.errors,
             QStringList{"Cannot create file \"" + path(file) + "\". File too large."});
    QVERIFY(!std::filesystem::exists(file));
    for (const auto& entry : std::filesystem::directory_iterator(fixture->folder.path()))
        QVERIFY2(entry.path().filename().string().rfind("DB.mdb", 0) == 0,
                 entry.path().c_str());  // the store's files only, no temporary file
}

TIRELLE_TEST_MAIN(FilesTest)
#include "files_test.moc"
