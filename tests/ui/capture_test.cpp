// Timing capture and insertion: the boxes following playback, the lead-time slider, the range
// preview, StopCapture, inserting a subtitle and seeking from the list.

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSlider>
#include <QtTest>

#include "app/srtform.h"
#include "app/widgets.h"
#include "tests/support/formfixture.h"
#include "tests/support/testmain.h"

using tirelle::testing::FormFixture;

class CaptureTest : public QObject {
    Q_OBJECT
private slots:
    void init() {
        fixture = std::make_unique<FormFixture>();
        fixture->form->show();
        fixture->player->calls.clear();
    }
    void cleanup() { fixture.reset(); }

    void leadTime_data();
    void leadTime();
    void captureStepFollowsPlayback_data();
    void captureStepFollowsPlayback();
    void typingIsOverwrittenWhilePlaying();
    void rangePreviewStartAndStop();
    void rangePreviewEndsAtTheFirstTickPastTheEnd();
    void captureThenRangePreviewSkipsThePause();
    void stopCaptureInEachMode();
    void insertNeedsAllThreeParts_data();
    void insertNeedsAllThreeParts();
    void insertStoresTextsAsTyped();
    void insertWithDuplicateStartFindsTheFirst();
    void cellClickSeeksJustAfterTheStart();
    void cellClickOnEmptyListDoesNothing();

private:
    std::unique_ptr<FormFixture> fixture;
};

void CaptureTest::leadTime_data() {
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("start");
    QTest::newRow("70") << 70 << "3"
                        << "00:00:07,000";
    // 10 - 2.9 lies exactly between two doubles and rounds to the one below 7.1: the start
    // still counts as 7.1 s.
    QTest::newRow("71") << 71 << "2.9"
                        << "00:00:07,100";
    QTest::newRow("0") << 0 << "10"
                       << "00:00:00,000";
    QTest::newRow("100") << 100 << "0"
                         << "00:00:10,000";
}

void CaptureTest::leadTime() {
    QFETCH(int, position);
    QFETCH(QString, label);
    QFETCH(QString, start);
    auto& form = *fixture->form;
    form.Edit2->setText("00:00:10,000");
    form.TrackBar1->setValue(position == 70 ? 69 : 70);  // make sure the position changes
    form.TrackBar1->setValue(position);
    QCOMPARE(form.Label4->text(), label);
    QCOMPARE(form.Edit1->text(), start);
    // An empty end box gives a start of zero.
    form.Edit2->clear();
    form.TrackBar1Change();
    QCOMPARE(form.Edit1->text(), QStringLiteral("00:00:00,000"));
}

void CaptureTest::captureStepFollowsPlayback_data() {
    QTest::addColumn<double>("position");
    QTest::addColumn<QString>("end");
    QTest::addColumn<QString>("start");
    QTest::newRow("65.4321") << 65.4321 << "00:01:05,432"
                             << "00:01:02,432";
    QTest::newRow("below the lead time") << 1.25 << "00:00:01,250"
                                         << "00:00:00,000";
}

void CaptureTest::captureStepFollowsPlayback() {
    QFETCH(double, position);
    QFETCH(QString, end);
    QFETCH(QString, start);
    auto& form = *fixture->form;
    form.SpButtonE->setDown(true);
    fixture->player->setPosition(position);
    form.Timer2Timer();
    QCOMPARE(form.Edit_TimePos->text(), end);
    QCOMPARE(form.Edit2->text(), end);
    QCOMPARE(form.Edit1->text(), start);
}

void CaptureTest::typingIsOverwrittenWhilePlaying() {
    auto& form = *fixture->form;
    QTest::mouseClick(form.SpButtonE, Qt::LeftButton);  // capture mode: play
    QCOMPARE(fixture->playerCalls(), QStringList{"play"});
    fixture->player->setPosition(12.0);
    form.Edit1->setText("typed");
    form.Edit2->setText("typed too");
    QTRY_COMPARE(form.Edit2->text(), QStringLiteral("00:00:12,000"));
    QTRY_COMPARE(form.Edit1->text(), QStringLiteral("00:00:09,000"));
}

void CaptureTest::rangePreviewStartAndStop() {
    auto& form = *fixture->form;
    form.Edit1->setText("00:00:02,500");
    form.Edit2->setText("00:00:04,000");
    QTest::mouseClick(form.SpeedButton4, Qt::LeftButton);
    QCOMPARE(fixture->playerCalls(), (QStringList{"seek 2.5", "play"}));
    QVERIFY(!form.SpButtonE->isEnabled());
    QTest::mouseClick(form.SpeedButton4, Qt::LeftButton);
    QCOMPARE(fixture->playerCalls(), (QStringList{"seek 2.5", "play", "seek 4", "pause"}));
    QVERIFY(form.SpButtonE->isEnabled());
    QCOMPARE(form.SpeedButton4->isDown(), false);
}

void CaptureTest::rangePreviewEndsAtTheFirstTickPastTheEnd() {
    auto& form = *fixture->form;
    // An end box earlier than the start box: playback starts and the first tick stops it.
    form.Edit1->setText("00:00:05,000");
    form.Edit2->setText("00:00:03,000");
    QTest::mouseClick(form.SpeedButton4, Qt::LeftButton);
    form.Timer2Timer();
    QCOMPARE(fixture->playerCalls(), (QStringList{"seek 5", "play", "pause"}));
    QCOMPARE(form.SpeedButton4->isDown(), false);
    QVERIFY(form.SpButtonE->isEnabled());

    // Before the end nothing happens.
    fixture->player->calls.clear();
    form.Edit1->setText("00:00:01,000");
    form.Edit2->setText("00:00:09,000");
    QTest::mouseClick(form.SpeedButton4, Qt::LeftButton);
    fixture->player->setPosition(8.99);
    form.Timer2Timer();
    QCOMPARE(form.SpeedButton4->isDown(), true);
    fixture->player->setPosition(9.0);
    form.Timer2Timer();
    QCOMPARE(form.SpeedButton4->isDown(), false);
    QCOMPARE(fixture->playerCalls(), (QStringList{"seek 1", "play", "pause"}));
}

void CaptureTest::captureThenRangePreviewSkipsThePause() {
    auto& form = *fixture->form;
    form.SpButtonE->setDown(true);
    form.Edit1->setText("00:00:01,000");
    QTest::mouseClick(form.SpeedButton4, Qt::LeftButton);
    QCOMPARE(form.SpButtonE->isDown(), false);
    QCOMPARE(fixture->playerCalls(), (QStringList{"seek 1", "play"}));
}

void CaptureTest::stopCaptureInEachMode() {
    auto& form = *fixture->form;
    // Idle: nothing.
    form.StopCapture();
    QCOMPARE(fixture->playerCalls(), QStringList{});
    QVERIFY(form.Timer2->enabled());
    // Capture: timer off, ">" up, pause.
    form.SpButtonE->setDown(true);
    form.StopCapture();
    QCOMPARE(form.SpButtonE->isDown(), false);
    QVERIFY(!form.Timer2->enabled());
    QCOMPARE(fixture->playerCalls(), QStringList{"pause"});
    // Range preview: it goes on.
    fixture->player->calls.clear();
    form.SpeedButton4->setDown(true);
    form.SpButtonE->setEnabled(false);
    form.StopCapture();
    QCOMPARE(form.SpeedButton4->isDown(), true);
    QCOMPARE(fixture->playerCalls(), QStringList{});
}

void CaptureTest::insertNeedsAllThreeParts_data() {
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("end");
    QTest::addColumn<QString>("text");
    QTest::newRow("no start") << " "
                              << "00:00:02,000"
                              << "text";
    QTest::newRow("no end") << "00:00:01,000"
                            << ""
                            << "text";
    QTest::newRow("no text") << "00:00:01,000"
                             << "00:00:02,000"
                             << "";
    QTest::newRow("blank text") << "00:00:01,000"
                                << "00:00:02,000"
                                << "  \n\t\n ";
}

void CaptureTest::insertNeedsAllThreeParts() {
    QFETCH(QString, start);
    QFETCH(QString, end);
    QFETCH(QString, text);
    auto& form = *fixture->form;
    form.Edit1->setText(start);
    form.Edit2->setText(end);
    form.Memo1->setPlainText(text);
    QTest::mouseClick(form.BitBtn3, Qt::LeftButton);
    QCOMPARE(fixture->dialogs.notices, QStringList{"开始结束时间或文本不完整"});
    QCOMPARE(form.Sub.recordCount(), 0);
    QCOMPARE(form.Edit1->text(), start);
    QCOMPARE(form.Memo1->toPlainText(), text);
}

void CaptureTest::insertStoresTextsAsTyped() {
    auto& form = *fixture->form;
    fixture->addRows(
        {{"00:00:01,000", "00:00:02,000", "a"}, {"00:00:09,000", "00:00:10,000", "c"}});
    form.Edit1->setText("  abc ");
    form.Edit2->setText("00:00:05,1");
    form.Memo1->setPlainText("  第一行\n第二行  ");
    QTest::mouseClick(form.BitBtn3, Qt::LeftButton);
    QVERIFY(fixture->dialogs.notices.isEmpty());
    QCOMPARE(form.Sub.recordCount(), 3);
    // Not a time code: stored as typed (trimmed) with 0 seconds, so it sorts first and is current.
    QCOMPARE(form.Sub.currentRow(), 0);
    QCOMPARE(form.Sub.fieldByName("STime").asString(), std::string("abc"));
    QCOMPARE(form.Sub.fieldByName("ETime").asString(), std::string("00:00:05,1"));
    QCOMPARE(form.Sub.fieldByName("SubSort").asFloat(), 0.0);
    QCOMPARE(form.Sub.fieldByName("SubSortEnd").asFloat(), 5.1);
    QCOMPARE(QString::fromStdString(form.Sub.fieldByName("SubText").asString()),
             QStringLiteral("第一行\r\n第二行"));
    QCOMPARE(form.Memo1->toPlainText(), QString());
    QCOMPARE(form.Edit1->text(), QStringLiteral("  abc "));  // the boxes keep their texts
}

void CaptureTest::insertWithDuplicateStartFindsTheFirst() {
    auto& form = *fixture->form;
    fixture->addRows(
        {{"00:00:01,000", "00:00:02,000", "a"}, {"00:00:03,000", "00:00:04,000", "b"}});
    form.Edit1->setText("00:00:03,000");
    form.Edit2->setText("00:00:03,500");
    form.Memo1->setPlainText("again");
    QTest::mouseClick(form.BitBtn3, Qt::LeftButton);
    QCOMPARE(form.Sub.recordCount(), 3);
    QCOMPARE(form.Sub.fieldByName("STime").asString(), std::string("00:00:03,000"));
    QCOMPARE(form.Sub.currentRow(), 1);  // the first row with that start text
}

void CaptureTest::cellClickSeeksJustAfterTheStart() {
    auto& form = *fixture->form;
    fixture->addRows({{"00:00:12,345", "00:00:14,000", "a"}});
    form.DBGridEh1CellClick(1);
    QCOMPARE(fixture->playerCalls(), QStringList{"seek 12.346"});
    QTRY_COMPARE(QString::fromStdString(form.previewCaption()), QStringLiteral("a\r\n"));
}

void CaptureTest::cellClickOnEmptyListDoesNothing() {
    fixture->form->DBGridEh1CellClick(1);
    QCOMPARE(fixture->playerCalls(), QStringList{});
}

TIRELLE_TEST_MAIN(CaptureTest)
#include "capture_test.moc"
