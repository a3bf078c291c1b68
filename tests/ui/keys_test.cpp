// The playback keys, the row keys and the list's row actions through the main window: each
// shortcut wherever the focus is, the keys the list and the text boxes keep, the refusals
// without a video, and one undo step per change.

#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QtTest>

#include "app/listview/celleditor.h"
#include "app/listview/subtitlegrid.h"
#include "app/srtform.h"
#include "app/widgets.h"
#include "tests/support/formfixture.h"
#include "tests/support/testmain.h"

using tirelle::testing::FormFixture;

namespace {

using Row = std::array<std::string, 3>;
const std::vector<Row> kRows = {{"00:00:01,000", "00:00:02,000", "a"},
                                {"00:00:03,000", "00:00:04,000", "b\r\nc"},
                                {"00:00:05,000", "00:00:06,000", "d"}};

Row rowAt(tirelle::store::Dataset& sub, int row) {
    const auto& values = sub.rowAt(row);
    return {values.STime, values.ETime, values.SubText};
}

}  // namespace

class KeysTest : public QObject {
    Q_OBJECT
private slots:
    void init() {
        fixture = std::make_unique<FormFixture>();
        fixture->form->resize(1200, 800);
        fixture->form->show();
        QVERIFY(QTest::qWaitForWindowActive(fixture->form.get()));
        fixture->addRows(kRows);
    }
    void cleanup() { fixture.reset(); }

    void playbackKeysActWhereverTheFocusIs_data() {
        QTest::addColumn<QString>("focus");
        QTest::addColumn<QKeySequence>("key");
        QTest::addColumn<double>("position");
        QTest::addColumn<QStringList>("calls");
        const auto alt = [](Qt::Key key) { return QKeySequence(Qt::ALT | key); };
        QTest::newRow("F5 in the list pauses")
            << "list" << QKeySequence(Qt::Key_F5) << 10.0 << QStringList{"pause"};
        QTest::newRow("Alt+Right in the text box")
            << "memo" << alt(Qt::Key_Right) << 10.0 << QStringList{"seek 11"};
        QTest::newRow("Alt+PgUp in the editor")
            << "editor" << alt(Qt::Key_PageUp) << 10.0 << QStringList{"seek 5"};
        QTest::newRow("Alt+Left not before 0")
            << "list" << alt(Qt::Key_Left) << 0.4 << QStringList{"seek 0"};
        QTest::newRow("Alt+. a frame on")
            << "memo" << alt(Qt::Key_Period) << 10.0 << QStringList{"pause", "seek 10.04"};
        QTest::newRow("Alt+, from inside a frame")
            << "editor" << alt(Qt::Key_Comma) << 10.02 << QStringList{"pause", "seek 9.96"};
        QTest::newRow("Space on the video")
            << "video" << QKeySequence(Qt::Key_Space) << 10.0 << QStringList{"pause"};
    }
    void playbackKeysActWhereverTheFocusIs() {
        QFETCH(QString, focus);
        QFETCH(QKeySequence, key);
        QFETCH(double, position);
        QFETCH(QStringList, calls);
        openVideo();
        fixture->player->setPosition(position);
        QWidget* target = focusOn(focus);
        QVERIFY(target);
        QTest::keySequence(target, key);
        QCOMPARE(fixture->playerCalls(), calls);
    }

    void listAndTextBoxKeepTheirSpace() {
        openVideo();
        QWidget* list = focusOn(QStringLiteral("list"));
        QTest::keyClick(list, Qt::Key_Space);
        QVERIFY(fixture->form->DBGridEh1->isEditing());
        QTest::keyClick(focusOn(QStringLiteral("memo")), Qt::Key_Space);
        QCOMPARE(fixture->form->Memo1->toPlainText(), QStringLiteral(" "));
        QCOMPARE(fixture->playerCalls(), QStringList());
    }

    void playbackKeysWithoutAVideoSaySo_data() {
        QTest::addColumn<QKeySequence>("key");
        QTest::newRow("F5") << QKeySequence(Qt::Key_F5);
        QTest::newRow("Alt+.") << QKeySequence(Qt::ALT | Qt::Key_Period);
        QTest::newRow("F9") << QKeySequence(Qt::Key_F9);
    }
    void playbackKeysWithoutAVideoSaySo() {
        QFETCH(QKeySequence, key);
        QTest::keySequence(focusOn(QStringLiteral("list")), key);
        QCOMPARE(fixture->playerCalls(), QStringList());
        QCOMPARE(fixture->form->statusBar()->currentMessage(), QStringLiteral("没有打开视频"));
        QCOMPARE(rowAt(fixture->form->Sub, 0), kRows[0]);
    }

    void rowKeysPostTheCurrentRowAsOneStep_data() {
        QTest::addColumn<QKeySequence>("key");
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("end");
        QTest::newRow("F9") << QKeySequence(Qt::Key_F9) << "00:00:02,700"
                            << "00:00:04,000";
        QTest::newRow("F10") << QKeySequence(Qt::Key_F10) << "00:00:03,000"
                             << "00:00:02,700";
        QTest::newRow("start earlier") << QKeySequence(Qt::ALT | Qt::Key_1) << "00:00:02,900"
                                       << "00:00:04,000";
        QTest::newRow("start a frame later")
            << QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_2) << "00:00:03,040"
            << "00:00:04,000";
        QTest::newRow("end a frame earlier")
            << QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_3) << "00:00:03,000"
            << "00:00:03,960";
    }
    void rowKeysPostTheCurrentRowAsOneStep() {
        QFETCH(QKeySequence, key);
        QFETCH(QString, start);
        QFETCH(QString, end);
        openVideo();
        auto& sub = fixture->form->Sub;
        sub.moveBy(1);
        fixture->player->setPosition(2.7);
        const int steps = fixture->form->UndoHistory.stepCount();
        QTest::keySequence(focusOn(QStringLiteral("memo")), key);
        QCOMPARE(QString::fromStdString(rowAt(sub, 1)[0]), start);
        QCOMPARE(QString::fromStdString(rowAt(sub, 1)[1]), end);
        QCOMPARE(fixture->form->UndoHistory.stepCount(), steps + 1);
        fixture->form->menuItem(QStringLiteral("UndoItem"))->trigger();
        QCOMPARE(rowAt(sub, 1), kRows[1]);
    }

    void rowKeysOnAnEmptyStoreDoNothing() {
        openVideo();
        fixture->form->Sub.close();  // no row at all
        for (const auto key : {Qt::Key_F9, Qt::Key_F10, Qt::Key_F6})
            QTest::keyClick(focusOn(QStringLiteral("list")), key);
        QCOMPARE(fixture->playerCalls(), QStringList());
    }

    void rowActionsOfTheContextMenu() {
        openVideo();
        auto& form = *fixture->form;
        form.Sub.moveBy(1);
        fixture->player->setPosition(8.0);  // outside the row: nothing split, and said so
        form.menuItem(QStringLiteral("SplitHereItem"))->trigger();
        QCOMPARE(form.Sub.recordCount(), 3);
        QVERIFY(!form.statusBar()->currentMessage().isEmpty());
        form.menuItem(QStringLiteral("MergeNextItem"))->trigger();
        QCOMPARE(rowAt(form.Sub, 1), (Row{"00:00:03,000", "00:00:06,000", "b\r\nc\r\nd"}));
        form.menuItem(QStringLiteral("InsertHereItem"))->trigger();
        QCOMPARE(form.Sub.state(), tirelle::store::DatasetState::Insert);
    }

private:
    void openVideo() {
        fixture->player->setUrl(QStringLiteral("film.mp4"));  // reports that it plays
        fixture->player->calls.clear();
    }
    QWidget* focusOn(const QString& where) {
        auto& form = *fixture->form;
        QWidget* target = form.DBGridEh1;
        if (where == QLatin1String("memo")) target = form.Memo1;
        if (where == QLatin1String("video")) target = form.WMP1->widget();
        target->setFocus();
        if (where == QLatin1String("editor")) {
            QTest::keyClick(form.DBGridEh1, Qt::Key_F2);
            target = form.DBGridEh1->editor();
        }
        return QTest::qWaitFor([&] { return target->hasFocus(); }) ? target : nullptr;
    }

    std::unique_ptr<FormFixture> fixture;
};

TIRELLE_TEST_MAIN(KeysTest)
#include "keys_test.moc"
