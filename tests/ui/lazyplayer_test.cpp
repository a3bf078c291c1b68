// The player made on the first video: a black pane until then, where nothing plays and nothing
// is reported; afterwards every call and event passes through to the one real player.

#include <QtTest>

#include "playback/lazyplayer.h"
#include "tests/support/fakeplayer.h"
#include "tests/support/testmain.h"

using tirelle::playback::LazyPlayer;
using tirelle::playback::Player;
using tirelle::testing::FakePlayer;

class LazyPlayerTest : public QObject {
    Q_OBJECT
private slots:
    void nothingIsMadeOrReportedBeforeTheFirstFile();
    void theFirstFileMakesTheRealPlayerOnceAndPassesEverythingOn();
};

void LazyPlayerTest::nothingIsMadeOrReportedBeforeTheFirstFile() {
    QWidget window;
    int made = 0;
    LazyPlayer lazy([&](QWidget*) -> Player* { return ++made, new FakePlayer(nullptr); }, &window);
    QSignalSpy states(&lazy, &Player::PlayStateChange);
    QSignalSpy positions(&lazy, &Player::PositionChange);
    lazy.play();
    lazy.pause();
    lazy.setCurrentPosition(12);
    lazy.showInBounds(QRect(0, 0, 300, 200));
    QCoreApplication::processEvents();
    QCOMPARE(made, 0);
    QCOMPARE(lazy.currentPosition(), 0.0);
    QCOMPARE(lazy.url(), QString());
    QCOMPARE(states.count() + positions.count(), 0);
    QCOMPARE(lazy.widget()->geometry(), QRect(0, 0, 300, 200));
}

void LazyPlayerTest::theFirstFileMakesTheRealPlayerOnceAndPassesEverythingOn() {
    QWidget window;
    FakePlayer* real = nullptr;
    int made = 0;
    LazyPlayer lazy(
        [&](QWidget* pane) -> Player* {
            ++made;
            real = new FakePlayer(nullptr);
            real->widget()->setParent(pane);
            return real;
        },
        &window);
    lazy.showInBounds(QRect(0, 0, 320, 240));
    QSignalSpy states(&lazy, &Player::PlayStateChange);
    QSignalSpy positions(&lazy, &Player::PositionChange);
    lazy.setUrl(QStringLiteral("a.mp4"));
    lazy.setUrl(QStringLiteral("b.mp4"));
    QCOMPARE(made, 1);
    QCOMPARE(lazy.made(), real);
    QCOMPARE(lazy.url(), QStringLiteral("b.mp4"));
    QCOMPARE(real->widget()->parentWidget(), lazy.widget());  // the picture fills the pane
    real->setPosition(4.5);
    QCOMPARE(lazy.currentPosition(), 4.5);
    lazy.pause();
    lazy.setCurrentPosition(7);
    QTRY_VERIFY(states.count() > 0 && positions.count() > 0);
    QCOMPARE(states.last().at(0).toInt(), 2);
    QCOMPARE(positions.last().at(1).toDouble(), 7.0);
}

TIRELLE_TEST_MAIN(LazyPlayerTest)

#include "lazyplayer_test.moc"
