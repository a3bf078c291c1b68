// The waveform strip with the real player and its real picture (under xvfb-run): the tone file
// plays, the strip fills in under the video with the subtitles' spans and follows the
// position; the player still fills its pane, also after full screen, and full screen keeps the
// strip hidden while the peaks come. The grabbed window is saved as
// build/artefacts/mainwindow_wave.png.

#include <QDir>
#include <QLabel>
#include <QMenu>
#include <QSignalSpy>
#include <QtTest>

#include "app/srtform.h"
#include "app/waveform/peakloader.h"
#include "app/waveform/wavestrip.h"
#include "playback/mpvplayer.h"
#include "tests/support/formfixture.h"
#include "tests/support/testmain.h"

using tirelle::app::PeakLoader;
using tirelle::testing::FormFixture;

class MainWindowWaveTest : public QObject {
    Q_OBJECT
private slots:
    void stripFollowsThePlayingVideo();
};

void MainWindowWaveTest::stripFollowsThePlayingVideo() {
    const auto data = tirelle::testing::testDataFolder();
    const QString tones = QString::fromStdString((data / "tones.mp4").string());
    if (!QFile::exists(tones)) QSKIP("no test media (run scripts/make-test-media)");
    tirelle::testing::TempFolder cache;
    qputenv("XDG_CACHE_HOME", QByteArray::fromStdString(cache.path().string()));

    FormFixture fixture({}, tirelle::testing::realPlayer());
    auto& form = *fixture.form;
    fixture.addRows({{"00:00:00,800", "00:00:02,700", "第一句：一秒到两秒半有声音"},
                     {"00:00:03,000", "00:00:05,000", "第二句：安静"}});
    form.resize(1100, 750);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));

    // Full screen from the player's menu before the peaks are read: they come without the
    // strip showing, and the strip shows once full screen ends with Escape.
    auto* player = qobject_cast<tirelle::playback::MpvPlayer*>(form.WMP1);
    QVERIFY(player);
    auto fullScreen = [player] {
        std::unique_ptr<QMenu> menu(player->makeContextMenu(nullptr));
        for (QAction* action : menu->actions())
            if (action->text() == QStringLiteral("全屏")) action->trigger();
    };
    fixture.dialogs.fileAnswers = {tones};
    form.N4Click();
    fullScreen();
    QVERIFY(player->fullScreen());
    QTRY_VERIFY_WITH_TIMEOUT(form.Peaks->state() == PeakLoader::State::Ready, 20000);
    QVERIFY(!form.WaveStrip1->isVisible() && !form.WaveHandle->isVisible());
    QTRY_COMPARE(player->widget()->size(), form.size());
    QTest::keyClick(player->widget(), Qt::Key_Escape);
    QTRY_VERIFY(form.WaveStrip1->isVisible() && form.WaveHandle->isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(form.WMP1->currentPosition() > 2.0, 15000);
    QCOMPARE(form.WMP1->widget()->geometry(), form.Panel4->rect());

    // The view follows playback: the position stands near the strip's left third.
    const double position = form.WMP1->currentPosition();
    QVERIFY(std::abs(form.WaveStrip1->xAt(position) - 0.3 * form.WaveStrip1->width()) < 0.05 * form.WaveStrip1->width());

    QDir dir(QString::fromStdString((data / ".." / "artefacts").string()));
    dir.mkpath(QStringLiteral("."));
    QVERIFY(form.grab().save(dir.absoluteFilePath(QStringLiteral("mainwindow_wave.png"))));

    // Full screen again and back with Escape: the picture returns to its pane.
    fullScreen();
    QTRY_VERIFY(form.isFullScreen());
    QVERIFY(!form.Panel1->isVisible() && !form.Label3->isVisible() && !form.WaveStrip1->isVisible());
    QTRY_COMPARE(player->widget()->size(), form.size());
    QTest::keyClick(player->widget(), Qt::Key_Escape);
    QTRY_VERIFY(!player->fullScreen());
    QTRY_VERIFY(!form.isFullScreen());
    QVERIFY(form.Panel1->isVisible() && form.Label3->isVisible() && form.WaveStrip1->isVisible());
    QTRY_COMPARE(player->widget()->geometry(), form.Panel4->rect());
    const double before = player->currentPosition();
    QTRY_VERIFY(player->currentPosition() > before + 0.3);  // still playing
}

TIRELLE_TEST_MAIN(MainWindowWaveTest)
#include "mainwindow_wave_xvfb_test.moc"
