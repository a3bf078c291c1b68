// The program's player path: the lazy pane loads the libmpv module on the first video, and
// the player made from it plays and reports through the pane's player.

#include <QtTest>
#include <clocale>

#include "playback/lazyplayer.h"
#include "playback/mediamodule.h"
#include "tests/support/tempfolder.h"

using tirelle::playback::LazyPlayer;
using tirelle::playback::Player;

class MpvLoaderTest : public QObject {
    Q_OBJECT
private slots:
    void theFirstVideoLoadsTheModuleAndPlays() {
        std::setlocale(LC_NUMERIC, "C");
        const auto video = tirelle::testing::testDataFolder() / "test.mp4";
        QVERIFY2(QFile::exists(QString::fromStdString(video.string())), "run make-test-media");
        QWidget window;
        LazyPlayer player(&tirelle::playback::LoadMpvPlayer, &window);
        QVERIFY(player.made() == nullptr);
        QSignalSpy states(&player, &Player::PlayStateChange);
        player.setUrl(QString::fromStdString(video.string()));
        QVERIFY(player.made() != nullptr);
        QTRY_VERIFY_WITH_TIMEOUT(states.count() > 0 && states.last().at(0).toInt() == 3, 15000);
        QTRY_VERIFY_WITH_TIMEOUT(player.currentPosition() > 0.2, 15000);
    }
};

QTEST_MAIN(MpvLoaderTest)

#include "mediamodule_test.moc"
