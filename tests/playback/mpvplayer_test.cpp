// The libmpv player, headless (no video or audio output) on the offscreen platform, with the
// generated test video: 10 s, 320x240, 25 fps, with sound.

#include <QAbstractSlider>
#include <QElapsedTimer>
#include <QList>
#include <QMenu>
#include <QPair>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>
#include <algorithm>
#include <clocale>
#include <memory>

#include "playback/mpvplayer.h"
#include "tests/support/tempfolder.h"

using tirelle::playback::MpvPlayer;

namespace {

// Everything the player reported, in order.
struct Events {
    QList<int> states;
    QList<QPair<double, double>> positions;
};

}  // namespace

class MpvPlayerTest : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<MpvPlayer> player;
    Events events;
    QString video;

    void open(const QString& path) {
        player = std::make_unique<MpvPlayer>(nullptr, MpvPlayer::Options{.headless = true});
        events = {};
        connect(player.get(), &MpvPlayer::PlayStateChange,
                [this](int state) { events.states.append(state); });
        connect(player.get(), &MpvPlayer::PositionChange, [this](double from, double to) {
            events.positions.append({from, to});
        });
        player->setUrl(path);
    }
    // Opens the video and waits until it plays and has moved past `seconds`.
    void openPlaying(double seconds = 0.3) {
        open(video);
        QTRY_COMPARE(events.states, QList<int>{3});
        QTRY_VERIFY(player->currentPosition() > seconds);
    }
    QToolButton* barButton(const char* name) {
        return player->widget()->findChild<QToolButton*>(QString::fromLatin1(name));
    }

private slots:
    void initTestCase() {
        std::setlocale(LC_NUMERIC, "C");
        const auto folder = tirelle::testing::testDataFolder();
        QVERIFY2(!folder.empty(), "TIRELLE_TESTDATA is not set");
        video = QString::fromStdString((folder / "test.mp4").string());
        QVERIFY2(QFile::exists(video), qPrintable(video + " is missing: run make-test-media"));
    }
    void cleanup() { player.reset(); }

    void startsByItselfAndFollowsPauseAndPlay() {
        openPlaying();
        QCOMPARE(player->url(), video);
        QTRY_COMPARE(player->duration(), 10.0);
        player->pause();
        QTRY_COMPARE(events.states, (QList<int>{3, 2}));
        const double paused = player->currentPosition();
        player->play();
        QTRY_COMPARE(events.states, (QList<int>{3, 2, 3}));
        QTRY_VERIFY(player->currentPosition() > paused + 0.2);
        // A second play while playing changes nothing and reports nothing.
        player->play();
        QCOMPARE(events.states, (QList<int>{3, 2, 3}));
        QVERIFY(events.positions.isEmpty());
    }

    void positionWriteWhilePausedReadsBackTheTarget() {
        openPlaying();
        player->pause();
        QTRY_COMPARE(events.states.last(), 2);
        const double before = player->currentPosition();
        // 3.217 s lies between two frames at 25 fps; the core lands on 3.24 s.
        player->setCurrentPosition(3.217);
        QTRY_COMPARE(events.positions.size(), 1);
        QCOMPARE(events.positions[0].first, before);
        QCOMPARE(events.positions[0].second, 3.217);
        QCOMPARE(player->currentPosition(), 3.217);
        // A second seek: one more event, and the first one did not come twice meanwhile.
        player->setCurrentPosition(5.5);
        QTRY_COMPARE(events.positions.size(), 2);
        QCOMPARE(events.positions[1], qMakePair(3.217, 5.5));
        QCOMPARE(player->currentPosition(), 5.5);
        // A negative target is the start, not a time counted from the end.
        player->setCurrentPosition(-2.0);
        QTRY_COMPARE(events.positions.size(), 3);
        QCOMPARE(events.positions[2], qMakePair(5.5, 0.0));
        QCOMPARE(player->currentPosition(), 0.0);
        QCOMPARE(events.states, (QList<int>{3, 2}));
    }

    void seekWhilePlayingPlaysOnFromTheTarget() {
        openPlaying();
        player->setCurrentPosition(6.0);
        QTRY_COMPARE(events.positions.size(), 1);
        QCOMPARE(events.positions[0].second, 6.0);
        const double read = player->currentPosition();
        QVERIFY2(read >= 6.0 && read < 6.5, qPrintable(QString::number(read)));
        QTRY_VERIFY(player->currentPosition() > 6.3);
        QCOMPARE(events.states, QList<int>{3});
        QCOMPARE(events.positions.size(), 1);
    }

    void barStopPausesAtZeroWithTheMediaLoaded() {
        openPlaying(1.0);
        QToolButton* stop = barButton("stopButton");
        QVERIFY(stop);
        QVERIFY(stop->isEnabled());
        stop->click();
        QCOMPARE(events.states, (QList<int>{3, 1}));  // from inside the click
        QTRY_COMPARE(events.positions.size(), 1);
        QCOMPARE(events.positions[0].second, 0.0);
        QCOMPARE(player->currentPosition(), 0.0);
        QCOMPARE(player->duration(), 10.0);
        // The bar's play goes on from the start.
        barButton("playButton")->click();
        QTRY_COMPARE(events.states, (QList<int>{3, 1, 3}));
        QTRY_VERIFY(player->currentPosition() > 0.2);
        QVERIFY2(player->currentPosition() < 5,
                 qPrintable(QString::number(player->currentPosition())));
        barButton("pauseButton")->click();
        QCOMPARE(events.states, (QList<int>{3, 1, 3, 2}));
    }

    void volumeMuteAndSpeedFromBarAndMenu() {
        openPlaying();
        auto* volume = player->widget()->findChild<QAbstractSlider*>(QStringLiteral("volumeSlider"));
        QVERIFY(volume);
        QCOMPARE(volume->value(), 50);
        volume->setValue(80);
        QCOMPARE(player->volume(), 80);
        barButton("muteButton")->click();
        QCOMPARE(player->muted(), true);

        // The menu's speeds; out-of-range speeds are held to 0.5 to 2.
        std::unique_ptr<QMenu> menu(player->makeContextMenu(nullptr));
        QAction* twice = nullptr;
        for (QAction* action : menu->findChildren<QAction*>())
            if (action->text() == QStringLiteral("2×")) twice = action;
        QVERIFY(twice);
        twice->trigger();
        QCOMPARE(player->speed(), 2.0);
        const struct { double asked, got; } speeds[] = {{3.0, 2.0}, {0.1, 0.5}, {1.25, 1.25}, {2.0, 2.0}};
        for (const auto& speed : speeds) {
            player->setSpeed(speed.asked);
            QCOMPARE(player->speed(), speed.got);
        }
        // At 2x the readings run at twice the wall clock's pace (loosely: the machine is shared).
        QElapsedTimer wall;
        const double from = player->currentPosition();
        wall.start();
        QTRY_VERIFY(player->currentPosition() > from + 1.5);
        const double pace = (player->currentPosition() - from) / (wall.nsecsElapsed() / 1e9);
        QVERIFY2(pace > 1.4 && pace < 2.6, qPrintable(QString::number(pace)));
    }

    void barSliderSeeksOnce() {
        openPlaying();
        player->pause();
        auto* slider = player->widget()->findChild<QAbstractSlider*>(QStringLiteral("seekSlider"));
        QVERIFY(slider);
        QTRY_COMPARE(slider->maximum(), 10000);
        slider->triggerAction(QAbstractSlider::SliderSingleStepAdd);  // 5 s on
        const double target = slider->sliderPosition() / 1000.0;
        QVERIFY2(target >= 5.0, qPrintable(QString::number(target)));
        QTRY_COMPARE(events.positions.size(), 1);
        QCOMPARE(events.positions[0].second, target);
        QCOMPARE(player->currentPosition(), target);
        QCOMPARE(events.states, (QList<int>{3, 2}));
    }

    void endOfMediaPausesOnTheLastFrame() {
        openPlaying();
        player->setCurrentPosition(9.5);
        QTRY_COMPARE_WITH_TIMEOUT(events.states, (QList<int>{3, 2}), 10000);
        const double end = player->currentPosition();
        // The sound track runs a few milliseconds past the last frame.
        QVERIFY2(end > 9.9 && end < 10.1, qPrintable(QString::number(end)));
        QCOMPARE(events.positions.size(), 1);
        // Still loaded: a seek back works and keeps it paused.
        player->setCurrentPosition(2.0);
        QTRY_COMPARE(events.positions.size(), 2);
        QCOMPARE(player->currentPosition(), 2.0);
        QCOMPARE(events.states, (QList<int>{3, 2}));
        player->play();
        QCOMPARE(events.states, (QList<int>{3, 2, 3}));
        QTRY_VERIFY(player->currentPosition() > 2.2);
    }

    void playAtTheEndStartsAgain() {
        openPlaying();
        player->setCurrentPosition(9.8);
        QTRY_COMPARE(events.states, (QList<int>{3, 2}));
        player->play();
        QCOMPARE(events.states, (QList<int>{3, 2, 3}));
        QTRY_COMPARE(events.positions.size(), 2);
        QCOMPARE(events.positions[1].second, 0.0);
        QTRY_VERIFY(player->currentPosition() > 0.2);
        QVERIFY2(player->currentPosition() < 5,
                 qPrintable(QString::number(player->currentPosition())));
    }

    void seekThenPlayAtTheEndPlaysFromTheSeek() {
        // The range replay after the end of the file: a seek, at once a play.
        openPlaying();
        player->setCurrentPosition(9.8);
        QTRY_COMPARE(events.states, (QList<int>{3, 2}));
        player->setCurrentPosition(3.0);
        player->play();
        QTRY_COMPARE(events.positions.size(), 2);
        QCOMPARE(events.positions[1].second, 3.0);
        QTRY_VERIFY(player->currentPosition() > 3.2);
        QTest::qWait(200);
        QCOMPARE(events.positions.size(), 2);  // no second seek back to 0
        QVERIFY2(player->currentPosition() > 3.2, qPrintable(QString::number(player->currentPosition())));
    }

    void seeksInQuickSuccessionEachReportOnce_data() {
        QTest::addColumn<bool>("playing");
        QTest::newRow("paused") << false;
        QTest::newRow("playing") << true;
    }
    void seeksInQuickSuccessionEachReportOnce() {
        QFETCH(bool, playing);
        openPlaying();
        if (!playing) player->pause();
        // The core may merge seeks that follow each other closely; every one is reported.
        player->setCurrentPosition(2.0);
        player->setCurrentPosition(4.0);
        player->setCurrentPosition(6.0);
        QCOMPARE(player->currentPosition(), 6.0);
        QTRY_COMPARE(events.positions.size(), 3);
        QCOMPARE(events.positions[1], qMakePair(2.0, 4.0));
        QCOMPARE(events.positions[2], qMakePair(4.0, 6.0));
        if (!playing) {
            QCOMPARE(player->currentPosition(), 6.0);
            return;
        }
        // Playing on from the last target, never from one passed over.
        double lowest = 100;
        QTRY_VERIFY((lowest = std::min(lowest, player->currentPosition()),
                     player->currentPosition() > 6.3));
        QVERIFY2(lowest >= 6.0, qPrintable(QString::number(lowest)));
        QCOMPARE(events.positions.size(), 3);
    }

    void seekPastTheEndReportsOnceAndPausesThere() {
        openPlaying();
        player->setCurrentPosition(25.0);
        QTRY_COMPARE(events.positions.size(), 1);
        QCOMPARE(events.positions[0].second, 25.0);
        QTRY_COMPARE(events.states, (QList<int>{3, 2}));
        player->setCurrentPosition(1.0);
        QTRY_COMPARE(events.positions.size(), 2);
        QCOMPARE(player->currentPosition(), 1.0);
    }

    void filesThatCannotPlayShowAnError_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("not a video") << QStringLiteral("unplayable.mp4");
        QTest::newRow("missing") << QStringLiteral("no such file.mp4");
    }
    void filesThatCannotPlayShowAnError() {
        QFETCH(QString, name);
        const QString path = QString::fromStdString(
            (tirelle::testing::testDataFolder() / name.toStdString()).string());
        open(path);
        QTRY_VERIFY(!player->errorText().isEmpty());
        QVERIFY2(player->errorText().contains(path), qPrintable(player->errorText()));
        QCOMPARE(events.states, QList<int>{});
        QCOMPARE(player->currentPosition(), 0.0);
        // Seeks and transport calls on nothing are no errors and report nothing.
        player->setCurrentPosition(3);
        player->play();
        QCOMPARE(events.positions.size(), 0);
        // The next file plays and the error goes.
        player->setUrl(video);
        QCOMPARE(player->errorText(), QString());
        QTRY_COMPARE(events.states, QList<int>{3});
    }

    void failedFileAfterAPlayingOneReportsStopped() {
        openPlaying();
        player->setUrl(QString::fromStdString(
            (tirelle::testing::testDataFolder() / "unplayable.mp4").string()));
        QTRY_VERIFY(!player->errorText().isEmpty());
        QTRY_COMPARE(events.states, (QList<int>{3, 1}));
        QCOMPARE(player->currentPosition(), 0.0);
    }

    void anotherFilePlaysWithoutReportingAStop() {
        openPlaying();
        player->setCurrentPosition(4.0);
        QTRY_COMPARE(events.positions.size(), 1);
        player->setUrl(video);
        QTRY_VERIFY(player->currentPosition() > 0.1 && player->currentPosition() < 3.0);
        // No stop in between, and the new file reports that it plays, as every opened file does.
        QTRY_COMPARE(events.states, (QList<int>{3, 3}));
    }

    void seekWhileOpeningIsMadeOnceItPlays_data() {
        QTest::addColumn<bool>("replacing");  // another file was playing
        QTest::newRow("first file") << false;
        QTest::newRow("replacing a playing file") << true;
    }
    void seekWhileOpeningIsMadeOnceItPlays() {
        QFETCH(bool, replacing);
        if (replacing) {
            openPlaying();
            player->setUrl(video);
        } else {
            open(video);
        }
        player->setCurrentPosition(7.0);
        QTRY_COMPARE(events.positions.size(), 1);
        QCOMPARE(events.positions[0].second, 7.0);
        // Made as the file starts: from its first moments.
        QVERIFY2(events.positions[0].first < 0.1,
                 qPrintable(QString::number(events.positions[0].first)));
        QTRY_VERIFY(player->currentPosition() > 7.1);
        QCOMPARE(events.states, replacing ? (QList<int>{3, 3}) : QList<int>{3});
    }

    void pauseWhileOpeningKeepsTheFilePaused() {
        open(video);
        player->pause();
        QTRY_COMPARE(events.states, QList<int>{2});
        QCOMPARE(player->currentPosition(), 0.0);
    }
};

QTEST_MAIN(MpvPlayerTest)
#include "mpvplayer_test.moc"
