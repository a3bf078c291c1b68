// The live preview: the tick, the refresh of the caption and the list's cursor, the resync after
// a seek and Timer2 following the play state. Driven with the player double and a real store.

#include <QLabel>
#include <QLineEdit>
#include <QtTest>

#include "app/srtform.h"
#include "app/widgets.h"
#include "base/timecode.h"
#include "tests/support/formfixture.h"
#include "tests/support/testmain.h"

using tirelle::testing::FormFixture;

namespace {

// Rows as (start, end, text); times as time codes.
using Rows = std::vector<std::array<std::string, 3>>;

QString caption(FormFixture& fixture) {
    return QString::fromStdString(fixture.form->previewCaption());
}

QString currentStart(FormFixture& fixture) {
    return QString::fromStdString(fixture.form->Sub.fieldByName("STime").asString());
}

// Seeks as the player's own bar would: the position changes and the player reports it.
void seek(FormFixture& fixture, double seconds) {
    fixture.player->setCurrentPosition(seconds);
}

}  // namespace

class PreviewTest : public QObject {
    Q_OBJECT
private slots:
    void init() { fixture = std::make_unique<FormFixture>(); }
    void cleanup() { fixture.reset(); }

    void emptyStoreTicksOnlyThePositionBox();
    void activeIsStrictlyInsideStartAndEnd_data();
    void activeIsStrictlyInsideStartAndEnd();
    void overlappingSubtitles();
    void twoLineText();
    void nothingActiveEmptiesTheCaption();
    void firstSubtitleShowsWhenItsTimeComes();
    void lastRowLooksAtItsOwnStart();
    void oneRowStore();
    void seekBeforeEverySubtitle();
    void seekIntoASubtitleWhilePaused();
    void playbackIsFollowedAfterASave();
    void refreshCompletesAPendingEdit();
    void statementCarriesTheNumberText_data();
    void statementCarriesTheNumberText();
    void timerFollowsPlayState();
    void pauseInsideTheTickKeepsTicking();
    void pauseAfterTheTickStopsTicking();
    void failureInsideTheTickLeavesTimerOff();

private:
    std::unique_ptr<FormFixture> fixture;
};

void PreviewTest::emptyStoreTicksOnlyThePositionBox() {
    fixture->player->setPosition(3.5);
    fixture->form->Timer2Timer();
    QCOMPARE(fixture->form->Edit_TimePos->text(), QStringLiteral("00:00:03,500"));
    QCOMPARE(caption(*fixture), QString());
    QCOMPARE(fixture->form->NextStartTime, 0.0);
    QCOMPARE(fixture->form->ActiveEndTime, 0.0);
}

void PreviewTest::activeIsStrictlyInsideStartAndEnd_data() {
    QTest::addColumn<double>("position");
    QTest::addColumn<QString>("shown");
    QTest::newRow("at start") << 2.0 << "";
    QTest::newRow("inside") << 2.5 << "one\r\n";
    QTest::newRow("at end") << 4.0 << "";
}

void PreviewTest::activeIsStrictlyInsideStartAndEnd() {
    QFETCH(double, position);
    QFETCH(QString, shown);
    fixture->addRows({{"00:00:02,000", "00:00:04,000", "one"}});
    seek(*fixture, position);
    QCOMPARE(caption(*fixture), shown);
}

void PreviewTest::overlappingSubtitles() {
    fixture->addRows({{"00:00:01,000", "00:00:05,000", "  first  "},
                      {"00:00:02,000", "00:00:08,000", "second"},
                      {"00:00:20,000", "00:00:21,000", "later"}});
    seek(*fixture, 3.0);
    // Later start first, each trimmed text followed by CR LF; the cursor on the later start.
    QCOMPARE(caption(*fixture), QStringLiteral("second\r\nfirst\r\n"));
    QCOMPARE(fixture->form->ActiveEndTime, 5.0);
    QCOMPARE(currentStart(*fixture), QStringLiteral("00:00:02,000"));
    QCOMPARE(fixture->form->NextStartTime, 20.0);

    // At the earlier end the next tick drops the finished one.
    fixture->player->setPosition(5.0);
    fixture->form->Timer2Timer();
    QCOMPARE(caption(*fixture), QStringLiteral("second\r\n"));
    QCOMPARE(fixture->form->ActiveEndTime, 8.0);
    QCOMPARE(fixture->form->Label3->text(), QStringLiteral("second\n"));
}

void PreviewTest::twoLineText() {
    fixture->addRows({{"00:00:01,000", "00:00:05,000", "line one\r\nline two"}});
    seek(*fixture, 2.0);
    QCOMPARE(caption(*fixture), QStringLiteral("line one\r\nline two\r\n"));
    QCOMPARE(fixture->form->Label3->text(), QStringLiteral("line one\nline two\n"));
}

void PreviewTest::nothingActiveEmptiesTheCaption() {
    fixture->addRows(
        {{"00:00:01,000", "00:00:02,000", "a"}, {"00:00:10,000", "00:00:11,000", "b"}});
    seek(*fixture, 1.5);
    QCOMPARE(caption(*fixture), QStringLiteral("a\r\n"));
    fixture->player->setPosition(3.0);
    fixture->form->Timer2Timer();  // 3 >= ActiveEndTime (2): refresh finds nothing
    QCOMPARE(caption(*fixture), QString());
    QCOMPARE(fixture->form->ActiveEndTime, 100000.0);
    const QString before = fixture->form->Label3->text();
    fixture->form->RefreshPreview();  // nothing changes, nothing is written again
    QCOMPARE(fixture->form->Label3->text(), before);
}

void PreviewTest::firstSubtitleShowsWhenItsTimeComes() {
    fixture->addRows({{"00:00:00,500", "00:00:03,000", "first"},
                      {"00:00:04,000", "00:00:06,000", "second"},
                      {"00:00:08,000", "00:00:09,000", "third"}});
    // Cursor on the first row, position 0: the first row has not started, so the next refresh
    // comes at its own start, not at the second row's.
    fixture->form->Timer2Timer();
    QCOMPARE(fixture->form->NextStartTime, 0.5);
    QCOMPARE(caption(*fixture), QString());
    fixture->player->setPosition(1.0);
    fixture->form->Timer2Timer();
    QCOMPARE(caption(*fixture), QStringLiteral("first\r\n"));
    QCOMPARE(fixture->form->NextStartTime, 4.0);
    fixture->player->setPosition(4.5);
    fixture->form->Timer2Timer();
    QCOMPARE(caption(*fixture), QStringLiteral("second\r\n"));
    QCOMPARE(currentStart(*fixture), QStringLiteral("00:00:04,000"));
    QCOMPARE(fixture->form->NextStartTime, 8.0);
}

void PreviewTest::lastRowLooksAtItsOwnStart() {
    fixture->addRows(
        {{"00:00:01,000", "00:00:02,000", "a"}, {"00:00:05,000", "00:00:07,000", "b"}});
    seek(*fixture, 6.0);
    QCOMPARE(currentStart(*fixture), QStringLiteral("00:00:05,000"));
    QCOMPARE(fixture->form->NextStartTime, 5.0);
    QVERIFY(!fixture->form->Sub.eof());
    QCOMPARE(fixture->form->Sub.currentRow(), 1);
}

void PreviewTest::oneRowStore() {
    fixture->addRows({{"00:00:03,000", "00:00:04,000", "only"}});
    fixture->form->Timer2Timer();
    QCOMPARE(fixture->form->NextStartTime, 3.0);
}

void PreviewTest::seekBeforeEverySubtitle() {
    fixture->addRows(
        {{"00:00:03,000", "00:00:04,000", "a"}, {"00:00:05,000", "00:00:06,000", "b"}});
    fixture->form->Sub.last();
    seek(*fixture, 1.0);
    // No start at or before 1 s: the maximum reads 0 and no row starts at 0, the cursor stays.
    QCOMPARE(fixture->form->Sub.currentRow(), 1);
    QCOMPARE(caption(*fixture), QString());
}

void PreviewTest::seekIntoASubtitleWhilePaused() {
    fixture->addRows({{"00:00:01,000", "00:00:02,000", "a"},
                      {"00:00:05,000", "00:00:09,000", "long"},
                      {"00:00:06,000", "00:00:07,000", "short"}});
    fixture->form->WMP1PlayStateChange(2);
    QVERIFY(!fixture->form->Timer2->enabled());
    seek(*fixture, 6.5);
    QCOMPARE(caption(*fixture), QStringLiteral("short\r\nlong\r\n"));
    QCOMPARE(currentStart(*fixture), QStringLiteral("00:00:06,000"));
}

void PreviewTest::playbackIsFollowedAfterASave() {
    fixture->addRows({{"00:00:01,000", "00:00:02,000", "a"},
                      {"00:00:05,000", "00:00:06,000", "b"},
                      {"00:00:10,000", "00:00:11,000", "c"}});
    auto& form = *fixture->form;
    const auto tickAt = [&](double seconds) {
        fixture->player->setPosition(seconds);
        form.Timer2Timer();
    };
    tickAt(1.5);
    QCOMPARE(caption(*fixture), QStringLiteral("a\r\n"));

    // The save's walk leaves the cursor on the last row with the end flag set.
    fixture->dialogs.fileAnswers.push_back(
        QString::fromStdString(fixture->folder.file("out.srt").string()));
    form.N9Click();
    QVERIFY(form.Sub.eof());
    QCOMPARE(currentStart(*fixture), QStringLiteral("00:00:10,000"));

    // Ticks go on following playback, through the gaps as well.
    const std::vector<std::pair<double, QString>> steps = {
        {3.0, ""}, {5.5, "b\r\n"}, {7.0, ""}, {10.5, "c\r\n"}, {11.5, ""}};
    for (const auto& [seconds, shown] : steps) {
        tickAt(seconds);
        QCOMPARE(caption(*fixture), shown);
    }
    QCOMPARE(currentStart(*fixture), QStringLiteral("00:00:10,000"));
    QVERIFY(!form.Sub.eof());
}

void PreviewTest::refreshCompletesAPendingEdit() {
    fixture->addRows(
        {{"00:00:01,000", "00:00:02,000", "a"}, {"00:00:05,000", "00:00:06,000", "b"}});
    auto& sub = fixture->form->Sub;
    // An untouched new row is dropped by the refresh's cursor moves.
    sub.insert();
    fixture->form->RefreshPreview();
    QCOMPARE(sub.recordCount(), 2);
    QCOMPARE(sub.state(), tirelle::store::DatasetState::Browse);
    // A changed row is posted.
    sub.edit();
    sub.fieldByName("SubText").setAsString("changed");
    fixture->form->RefreshPreview();
    QCOMPARE(sub.state(), tirelle::store::DatasetState::Browse);
    sub.requery();
    QCOMPARE(sub.fieldByName("SubText").asString(), std::string("changed"));
}

void PreviewTest::statementCarriesTheNumberText_data() {
    QTest::addColumn<double>("position");
    QTest::addColumn<QString>("number");
    QTest::newRow("12.5") << 12.5 << "12.5";
    QTest::newRow("0") << 0.0 << "0";
    QTest::newRow("5E-5") << 0.00005 << "5E-5";
}

void PreviewTest::statementCarriesTheNumberText() {
    QFETCH(double, position);
    QFETCH(QString, number);
    fixture->addRows(
        {{"00:00:01,000", "00:00:02,000", "a"}, {"00:00:05,000", "00:00:06,000", "b"}});
    fixture->player->setPosition(position);
    fixture->form->RefreshPreview();
    const QString sql = QString::fromStdString(fixture->form->DSFind.commandText());
    QVERIFY2(
        sql.startsWith("SELECT * from sub where SubSort<" + number + " and SubSortEnd>" + number),
        qPrintable(sql));
    QVERIFY2(sql.endsWith(" order by SubSort Desc"), qPrintable(sql));
}

void PreviewTest::timerFollowsPlayState() {
    auto& form = *fixture->form;
    QVERIFY(form.Timer2->enabled());
    form.WMP1PlayStateChange(1);
    QVERIFY(!form.Timer2->enabled());
    form.WMP1PlayStateChange(3);
    QVERIFY(form.Timer2->enabled());
    form.WMP1PlayStateChange(2);
    QVERIFY(!form.Timer2->enabled());
    form.WMP1PlayStateChange(7);  // other states change nothing
    QVERIFY(!form.Timer2->enabled());
}

void PreviewTest::pauseInsideTheTickKeepsTicking() {
    auto& form = *fixture->form;
    // A range preview whose end has passed: the tick pauses, and the player reports the pause
    // from inside that call; the tick's end enables the timer again.
    fixture->player->setDelivery(tirelle::testing::FakePlayer::Delivery::Synchronous);
    form.Edit2->setText("00:00:01,000");
    form.SpeedButton4->setDown(true);
    fixture->player->setPosition(2.0);
    form.Timer2Timer();
    QCOMPARE(form.SpeedButton4->isDown(), false);
    QVERIFY(form.Timer2->enabled());
}

void PreviewTest::pauseAfterTheTickStopsTicking() {
    auto& form = *fixture->form;
    fixture->player->setDelivery(tirelle::testing::FakePlayer::Delivery::Queued);
    form.Edit2->setText("00:00:01,000");
    form.SpeedButton4->setDown(true);
    fixture->player->setPosition(2.0);
    form.Timer2Timer();
    QVERIFY(form.Timer2->enabled());
    QTRY_VERIFY(!form.Timer2->enabled());  // the queued pause report arrives after the tick
}

void PreviewTest::failureInsideTheTickLeavesTimerOff() {
    auto& form = *fixture->form;
    fixture->player->failOn(QStringLiteral("position"), QStringLiteral("the player is gone"));
    QTRY_COMPARE(fixture->dialogs.errors.size(), 1);  // the real timer ticks, fails once
    QVERIFY(!form.Timer2->enabled());
    fixture->player->clearFailures();
    form.WMP1PlayStateChange(3);
    QVERIFY(form.Timer2->enabled());
}

TIRELLE_TEST_MAIN(PreviewTest)
#include "preview_test.moc"
