// The player double's own rules, which tests of the main window rely on: when its events come,
// what it records, and its scripted failures.

#include <QSignalSpy>
#include <QTest>

#include "tests/support/fakeplayer.h"

using tirelle::playback::PlayerError;
using tirelle::testing::FakePlayer;

class FakePlayerTest : public QObject {
    Q_OBJECT
private slots:
    void eventsFromInsideTheCallOrQueued_data() {
        QTest::addColumn<bool>("queued");
        QTest::newRow("synchronous") << false;
        QTest::newRow("queued") << true;
    }
    void eventsFromInsideTheCallOrQueued() {
        QFETCH(bool, queued);
        FakePlayer player;
        if (queued) player.setDelivery(FakePlayer::Delivery::Queued);
        QList<int> states;
        QList<QPair<double, double>> moves;
        connect(&player, &FakePlayer::PlayStateChange, [&](int state) { states.append(state); });
        connect(&player, &FakePlayer::PositionChange, [&](double from, double to) {
            moves.append({from, to});
        });

        player.setUrl(QStringLiteral("/x.mp4"));
        player.advance(2.5);
        player.pause();
        player.pause();  // already paused: no second event
        player.setCurrentPosition(12.345 + 0.001);
        player.setCurrentPosition(-1);
        QCOMPARE(states, queued ? QList<int>{} : (QList<int>{3, 2}));
        QTRY_COMPARE(states, (QList<int>{3, 2}));
        QTRY_COMPARE(moves.size(), 2);
        QCOMPARE(moves[0], qMakePair(2.5, 12.346));
        QCOMPARE(moves[1], qMakePair(12.346, 0.0));
        QCOMPARE(player.calls,
                 (QStringList{"url /x.mp4", "pause", "pause", "seek 12.346", "seek 0"}));
        QCOMPARE(player.currentPosition(), 0.0);
    }

    void everyOpenedFileReportsThatItPlays() {
        FakePlayer player;
        QSignalSpy states(&player, &FakePlayer::PlayStateChange);
        player.setUrl(QStringLiteral("/x.mp4"));
        player.setUrl(QStringLiteral("/y.mp4"));  // replaces a playing file
        QCOMPARE(states.count(), 2);
        QCOMPARE(states.at(1).at(0).toInt(), 3);
    }

    void positionReadsAreCountedAndOptionallyListed() {
        FakePlayer player;
        player.setPosition(65.4321);
        QCOMPARE(player.currentPosition(), 65.4321);
        QCOMPARE(player.calls, QStringList{});
        player.recordReads = true;
        player.currentPosition();
        QCOMPARE(player.positionReads, 2);
        QCOMPARE(player.calls, QStringList{"position"});
    }

    void scriptedFailureThrowsAfterRecording_data() {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<QString>("entry");
        QTest::newRow("play") << "play"
                              << "play";
        QTest::newRow("pause") << "pause"
                               << "pause";
        QTest::newRow("seek") << "seek"
                              << "seek 3";
        QTest::newRow("position") << "position"
                                  << "position";
        QTest::newRow("url") << "url"
                             << "url /y.mp4";
    }
    void scriptedFailureThrowsAfterRecording() {
        QFETCH(QString, operation);
        QFETCH(QString, entry);
        FakePlayer player;
        QSignalSpy states(&player, &FakePlayer::PlayStateChange);
        QSignalSpy moves(&player, &FakePlayer::PositionChange);
        player.failOn(operation, QStringLiteral("player gone"));
        QString message;
        try {
            if (operation == "play") player.play();
            if (operation == "pause") player.pause();
            if (operation == "seek") player.setCurrentPosition(3);
            if (operation == "position") player.currentPosition();
            if (operation == "url") player.setUrl(QStringLiteral("/y.mp4"));
        } catch (const PlayerError& error) {
            message = QString::fromUtf8(error.what());
        }
        QCOMPARE(message, QStringLiteral("player gone"));
        QCOMPARE(player.calls, QStringList{entry});
        QCOMPARE(states.count(), 0);
        QCOMPARE(moves.count(), 0);
        player.clearFailures();
        player.play();
        QCOMPARE(states.count(), 1);
    }

    void numberTexts_data() {
        QTest::addColumn<double>("seconds");
        QTest::addColumn<QString>("text");
        QTest::newRow("whole") << 3.0 << "3";
        QTest::newRow("sum with a rounding tail") << 12.345 + 0.001 << "12.346";
        QTest::newRow("four decimals") << 65.4321 << "65.4321";
        QTest::newRow("tiny") << 0.00005 << "0.00005";
        QTest::newRow("zero") << 0.0 << "0";
    }
    void numberTexts() {
        QFETCH(double, seconds);
        QFETCH(QString, text);
        QCOMPARE(FakePlayer::secondsText(seconds), text);
    }
};

QTEST_MAIN(FakePlayerTest)
#include "fakeplayer_test.moc"
