// The playback keys with the real player and picture (under xvfb-run): play and pause, a seek
// and a frame step while paused shown at once, F9 from the real position, Space on the video and
// on the waveform strip after a click, and F6 after the end of the file replaying the row.

#include <QLineEdit>
#include <QtTest>

#include "app/listview/subtitlegrid.h"
#include "app/srtform.h"
#include "app/waveform/wavestrip.h"
#include "base/timecode.h"
#include "playback/player.h"
#include "tests/support/formfixture.h"
#include "tests/support/testmain.h"

using tirelle::testing::FormFixture;

class MainWindowKeysTest : public QObject {
    Q_OBJECT
private slots:
    void keysDriveTheRealPlayer();
};

void MainWindowKeysTest::keysDriveTheRealPlayer() {
    const QString video = tirelle::testing::testVideo();
    if (video.isEmpty()) QSKIP("no test video (run scripts/make-test-media)");
    FormFixture fixture({}, tirelle::testing::realPlayer());
    auto& form = *fixture.form;
    form.resize(1100, 750);
    form.show();
    form.activateWindow();  // no window manager under xvfb-run gives it the keyboard
    QVERIFY(QTest::qWaitForWindowActive(&form));
    fixture.addRows(
        {{"00:00:02,000", "00:00:03,000", "two"}, {"00:00:05,000", "00:00:06,000", "five"}});
    int state = 0;
    connect(form.WMP1, &tirelle::playback::Player::PlayStateChange, [&](int s) { state = s; });
    fixture.dialogs.fileAnswers = {video};
    form.N4Click();
    QTRY_COMPARE_WITH_TIMEOUT(state, 3, 15000);
    QTRY_COMPARE_WITH_TIMEOUT(form.WMP1->frameRate(), 25.0, 5000);
    QWidget* list = form.DBGridEh1;
    list->setFocus();

    QTest::keyClick(list, Qt::Key_F5);
    QTRY_COMPARE(state, 2);
    const double paused = form.WMP1->currentPosition();
    QTest::keyClick(list, Qt::Key_Right, Qt::AltModifier);
    const std::string later = tirelle::SecondsToTimeCode(paused + 1);
    QCOMPARE(form.Edit_TimePos->text(), QString::fromStdString(later));  // at once
    QTest::keyClick(list, Qt::Key_Period, Qt::AltModifier);
    QTRY_VERIFY(form.WMP1->currentPosition() > paused + 1);
    QVERIFY(form.WMP1->currentPosition() < paused + 1.081);
    QCOMPARE(state, 2);

    // F9 on the first row takes the position as shown.
    form.Sub.first();
    QTest::keyClick(list, Qt::Key_F9);
    QCOMPARE(QString::fromStdString(form.Sub.rowAt(0).STime), form.Edit_TimePos->text());

    // A click on the video gives it the focus; Space there plays.
    QTest::mouseClick(form.WMP1->widget(), Qt::LeftButton);
    QTRY_VERIFY(form.WMP1->widget()->isAncestorOf(QApplication::focusWidget()) ||
                form.WMP1->widget()->hasFocus());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    QTRY_COMPARE(state, 3);

    // Played to the end, then F6 on the second row: it plays from that row's start.
    form.WMP1->setCurrentPosition(9.8);
    QTRY_COMPARE_WITH_TIMEOUT(state, 2, 5000);
    form.Sub.last();
    QTest::keyClick(list, Qt::Key_F6);
    QTRY_COMPARE_WITH_TIMEOUT(state, 3, 5000);
    QTRY_VERIFY(form.WMP1->currentPosition() > 5.1);
    QVERIFY2(form.WMP1->currentPosition() < 6.5,
             qPrintable(QString::number(form.WMP1->currentPosition())));
    QTRY_COMPARE_WITH_TIMEOUT(state, 2, 3000);  // stopped at the row's end

    // Space on the waveform strip, once a click gave it the focus.
    QTRY_VERIFY_WITH_TIMEOUT(form.WaveStrip1->isVisible(), 10000);
    QTest::mouseClick(form.WaveStrip1, Qt::LeftButton);
    QTRY_VERIFY(form.WaveStrip1->hasFocus());
    QTest::keyClick(form.WaveStrip1, Qt::Key_Space);
    QTRY_COMPARE(state, 3);
    QTest::keyClick(list, Qt::Key_F5);
    QTRY_COMPARE(state, 2);
}

TIRELLE_TEST_MAIN(MainWindowKeysTest)
#include "mainwindow_keys_xvfb_test.moc"
