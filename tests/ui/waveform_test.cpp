// The waveform strip in the main window, with the player double and the real peak decoder on
// the generated media: it shows for a video with audio and stays hidden without, a second open
// comes from the cache, a new file cancels the old one, a click seeks and a dragged edge posts
// the new time.

#include <QLineEdit>
#include <QStatusBar>
#include <QtTest>

#include "app/srtform.h"
#include "app/waveform/peakloader.h"
#include "app/waveform/wavestrip.h"
#include "tests/support/formfixture.h"
#include "tests/support/testmain.h"

using tirelle::app::PeakLoader;
using tirelle::testing::FormFixture;
using tirelle::testing::TempFolder;

namespace {

QString media(const char* name) {
    const auto path = tirelle::testing::testDataFolder() / name;
    return QFile::exists(QString::fromStdString(path.string())) ? QString::fromStdString(path.string()) : QString();
}

}  // namespace

class WaveformTest : public QObject {
    Q_OBJECT
private slots:
    void init() {
        cache = std::make_unique<TempFolder>();
        qputenv("XDG_CACHE_HOME", QByteArray::fromStdString(cache->path().string()));
        tones = media("tones.mp4");
        if (tones.isEmpty()) QSKIP("no test media (run scripts/make-test-media)");
        fixture = std::make_unique<FormFixture>();
        fixture->form->resize(1000, 700);
        fixture->form->show();
    }
    void cleanup() {
        fixture.reset();
        cache.reset();
    }

    void stripShowsOnlyForAudio_data();
    void stripShowsOnlyForAudio();
    void secondOpenComesFromTheCache();
    void newFileCancelsTheOldOne();
    void clickSeeksAndDragPostsTheEdge();

private:
    void open(const QString& path) {
        fixture->dialogs.fileAnswers = {path};
        fixture->form->N4Click();
    }
    PeakLoader::State settled() {
        auto* peaks = fixture->form->Peaks;
        [&] { QTRY_VERIFY_WITH_TIMEOUT(peaks->state() != PeakLoader::State::Loading, 20000); }();
        return peaks->state();
    }

    std::unique_ptr<TempFolder> cache;
    std::unique_ptr<FormFixture> fixture;
    QString tones;
};

void WaveformTest::stripShowsOnlyForAudio_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("state");
    QTest::addColumn<bool>("shown");
    QTest::addColumn<QString>("status");
    QTest::newRow("tones") << "tones.mp4" << int(PeakLoader::State::Ready) << true << "音频波形已读完";
    QTest::newRow("no audio") << "noaudio.mp4" << int(PeakLoader::State::NoAudio) << false
                              << "此视频没有音轨，不显示波形";
    QTest::newRow("not a video") << "unplayable.mp4" << int(PeakLoader::State::Failed) << false
                                 << "无法读取此视频的音频，不显示波形：";
}

void WaveformTest::stripShowsOnlyForAudio() {
    QFETCH(QString, file);
    QFETCH(int, state);
    QFETCH(bool, shown);
    QFETCH(QString, status);
    auto& form = *fixture->form;
    form.statusBar()->show();
    QTRY_COMPARE(form.WMP1->widget()->geometry(), form.Panel4->rect());
    const int paneBefore = form.Panel4->height();
    open(media(file.toUtf8().constData()));
    QCOMPARE(int(settled()), state);
    QCOMPARE(form.WaveStrip1->isVisible(), shown);
    QCOMPARE(form.WaveHandle->isVisible(), shown);
    QVERIFY2(form.statusBar()->currentMessage().startsWith(status), qPrintable(form.statusBar()->currentMessage()));
    // The strip takes its height from the video pane, which the player still fills.
    QTRY_COMPARE(form.Panel4->height() < paneBefore, shown);
    QCOMPARE(form.WMP1->widget()->geometry(), form.Panel4->rect());
    QCOMPARE(fixture->player->url(), media(file.toUtf8().constData()));  // the video plays all the same
}

void WaveformTest::secondOpenComesFromTheCache() {
    auto& form = *fixture->form;
    open(tones);
    QCOMPARE(settled(), PeakLoader::State::Ready);
    QCOMPARE(form.Peaks->fromCache(), false);
    const auto decoded = form.Peaks->peaks();
    QVERIFY(decoded.size() >= 7000 && decoded.size() < 7010);  // 70 s, and the codec's padding

    open(tones);
    QCOMPARE(settled(), PeakLoader::State::Ready);
    QCOMPARE(form.Peaks->fromCache(), true);
    QVERIFY(form.Peaks->peaks() == decoded);
    QCOMPARE(form.statusBar()->currentMessage(), QStringLiteral("音频波形取自缓存"));
}

void WaveformTest::newFileCancelsTheOldOne() {
    auto& form = *fixture->form;
    open(tones);
    open(media("noaudio.mp4"));
    QCOMPARE(settled(), PeakLoader::State::NoAudio);
    // Whatever the cancelled decode still had on its way is dropped.
    QTest::qWait(200);
    QVERIFY(form.Peaks->peaks().empty());
    QCOMPARE(form.WaveStrip1->isVisible(), false);
}

void WaveformTest::clickSeeksAndDragPostsTheEdge() {
    auto& form = *fixture->form;
    fixture->addRows(
        {{"00:00:02,000", "00:00:13,000", "长的一句"}, {"00:00:12,000", "00:00:14,500", "第一句"}});
    open(tones);
    QCOMPARE(settled(), PeakLoader::State::Ready);
    fixture->player->setPosition(10);  // the view shows 7 s to 17 s
    auto* strip = form.WaveStrip1;
    QCOMPARE(strip->viewStart(), 7.0);
    const int y = strip->height() / 2;

    fixture->player->calls.clear();
    QTest::mouseClick(strip, Qt::LeftButton, {}, QPoint(qRound(strip->xAt(9.0)), y));
    QCOMPARE(fixture->playerCalls().size(), 1);
    QVERIFY(fixture->playerCalls().front().startsWith("seek 8.99") ||
            fixture->playerCalls().front().startsWith("seek 9"));

    // Drag the end from 14.5 s to 15.5 s: the end text and seconds are posted.
    fixture->player->setPosition(10);
    QTest::mousePress(strip, Qt::LeftButton, {}, QPoint(qRound(strip->xAt(14.5)), y));
    QTest::mouseMove(strip, QPoint(qRound(strip->xAt(15.0)), y));
    QTest::mouseMove(strip, QPoint(qRound(strip->xAt(15.5)), y));
    QTest::mouseRelease(strip, Qt::LeftButton, {}, QPoint(qRound(strip->xAt(15.5)), y));
    form.Sub.last();
    const double end = form.Sub.fieldByName("SubSortEnd").asFloat();
    QVERIFY2(std::abs(end - 15.5) < 0.02, qPrintable(QString::number(end)));
    const std::string endText = form.Sub.fieldByName("ETime").asString();
    QCOMPARE(endText.size(), std::size_t{12});  // a time code
    QCOMPARE(form.TimeToSeconds(endText), end);
    QCOMPARE(QString::fromStdString(form.Sub.fieldByName("STime").asString()), QStringLiteral("00:00:12,000"));

    // The start is held back from passing the end.
    fixture->player->setPosition(10);
    QTest::mousePress(strip, Qt::LeftButton, {}, QPoint(qRound(strip->xAt(12.0)), y));
    QTest::mouseMove(strip, QPoint(qRound(strip->xAt(13.0)), y));
    QTest::mouseMove(strip, QPoint(qRound(strip->xAt(16.5)), y));
    QTest::mouseRelease(strip, Qt::LeftButton, {}, QPoint(qRound(strip->xAt(16.5)), y));
    form.Sub.last();
    QCOMPARE(form.Sub.fieldByName("STime").asString(), form.Sub.fieldByName("ETime").asString());

    // A subtitle begun before the view offers its end too, also where it was just moved to.
    double longEnd = 13.0;
    for (const double to : {14.0, 13.5}) {
        QTest::mousePress(strip, Qt::LeftButton, {}, QPoint(qRound(strip->xAt(longEnd)), y));
        QTest::mouseMove(strip, QPoint(qRound(strip->xAt(to)), y));
        QTest::mouseRelease(strip, Qt::LeftButton, {}, QPoint(qRound(strip->xAt(to)), y));
        form.Sub.first();
        longEnd = form.Sub.fieldByName("SubSortEnd").asFloat();
        QVERIFY2(std::abs(longEnd - to) < 0.02, qPrintable(QString::number(longEnd)));
    }
}

TIRELLE_TEST_MAIN(WaveformTest)
#include "waveform_test.moc"
