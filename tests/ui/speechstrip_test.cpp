// The speech and the cuts of a video in the main window: a dragged edge snaps to them (not with
// Shift), the snap commands and 镜头对齐 move the rows as one undo step and say what they did,
// they do nothing and say why without speech or cuts, the capture's options land captured times
// on them, and the status bar's cancel button stops the work.

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QStatusBar>
#include <QToolButton>
#include <QtTest>
#include <fstream>

#include "app/srtform.h"
#include "app/waveform/cutloader.h"
#include "app/waveform/peakloader.h"
#include "app/waveform/wavestrip.h"
#include "app/waveform/workprogress.h"
#include "base/timecode.h"
#include "tests/support/formfixture.h"
#include "tests/support/testmain.h"

using tirelle::app::CutLoader;
using tirelle::app::PeakLoader;
using tirelle::app::WaveStrip;
using tirelle::testing::FormFixture;
using tirelle::testing::TempFolder;
using tirelle::testing::testMedia;

namespace {

QString timeText(double seconds) {
    return QString::fromStdString(tirelle::SecondsToTimeCode(seconds));
}

// Presses at `from`, moves to `to` with `modifiers` held and lets go (pixels, mid-height).
void drag(QWidget* strip, double from, double to, Qt::KeyboardModifiers modifiers) {
    auto send = [&](QEvent::Type type, double x, Qt::MouseButton button, Qt::MouseButtons held) {
        const QPointF at(x, strip->height() / 2.0);
        QMouseEvent event(type, at, strip->mapToGlobal(at), button, held, modifiers);
        QApplication::sendEvent(strip, &event);
    };
    send(QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
    send(QEvent::MouseMove, (from + to) / 2, Qt::NoButton, Qt::LeftButton);
    send(QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
}

}  // namespace

class SpeechStripTest : public QObject {
    Q_OBJECT
private slots:
    void init() {
        cache = std::make_unique<TempFolder>();
        qputenv("XDG_CACHE_HOME", QByteArray::fromStdString(cache->path().string()));
    }
    void cleanup() {
        fixture.reset();
        cache.reset();
    }

    void draggedEdgeSnaps_data();
    void draggedEdgeSnaps();
    void snapAllIsOneStepOntoTheSpeech();
    void commandsWithoutSpeechOrCutsSayWhy_data();
    void commandsWithoutSpeechOrCutsSayWhy();
    void captureLandsOnSpeechAndCuts();
    void cancelStopsTheWork();

private:
    // The window with `file` open, once its audio and cuts are settled; false when the media
    // is missing.
    bool open(const std::string& file) {
        const QString path = testMedia(file);
        if (path.isEmpty()) return false;
        if (!fixture) fixture = std::make_unique<FormFixture>();
        fixture->dialogs.fileAnswers = {path};
        fixture->form->N4Click();
        auto& form = *fixture->form;
        [&] {
            QTRY_VERIFY_WITH_TIMEOUT(form.Peaks->state() != PeakLoader::State::Loading, 60000);
        }();
        [&] {
            QTRY_VERIFY_WITH_TIMEOUT(form.Cuts->state() != CutLoader::State::Detecting, 60000);
        }();
        return true;
    }
    void trigger(const char* item) {
        fixture->form->menuItem(QString::fromLatin1(item))->trigger();
    }
    QString status() const { return fixture->form->statusBar()->currentMessage(); }
    std::vector<std::pair<double, double>> rowTimes() {
        std::vector<std::pair<double, double>> times;
        for (int row = 0; row < fixture->form->Sub.rowCount(); ++row)
            times.emplace_back(fixture->form->Sub.rowAt(row).SubSort,
                               fixture->form->Sub.rowAt(row).SubSortEnd);
        return times;
    }

    std::unique_ptr<TempFolder> cache;
    std::unique_ptr<FormFixture> fixture;
};

void SpeechStripTest::draggedEdgeSnaps_data() {
    // The subtitle runs 10 s to 12 s; speech 9.5-11 and 12.6-14; a cut at 13. 100 pixels a
    // second, so a snap reaches 0.06 s.
    QTest::addColumn<bool>("end");
    QTest::addColumn<double>("to");
    QTest::addColumn<bool>("shift");
    QTest::addColumn<double>("lands");
    QTest::newRow("start onto an onset") << false << 9.55 << false << 9.5;
    QTest::newRow("end onto an offset") << true << 11.04 << false << 11.0;
    QTest::newRow("end not onto an onset") << true << 12.63 << false << 12.63;
    QTest::newRow("end onto a cut") << true << 12.97 << false << 13.0;
    QTest::newRow("too far to snap") << true << 11.10 << false << 11.10;
    QTest::newRow("shift held") << true << 11.04 << true << 11.04;
}

void SpeechStripTest::draggedEdgeSnaps() {
    QFETCH(bool, end);
    QFETCH(double, to);
    QFETCH(bool, shift);
    QFETCH(double, lands);
    WaveStrip strip;
    strip.resize(1000, 90);
    WaveStrip::Source source;
    source.position = [] { return 10.0; };  // 7 s to 17 s shown
    source.spans = [](double, double, const std::function<void(const WaveStrip::Span&)>& visit) {
        visit({1, 10, 12, QStringLiteral("一句")});
    };
    strip.setSource(source);
    const tirelle::speech::SpeechSpans speech = {{9.5, 11, 1}, {12.6, 14, 1}};
    const std::vector<double> cuts = {13};
    strip.setSpeech(&speech);
    strip.setCuts(&cuts);
    strip.show();
    std::optional<double> got;
    connect(&strip, &WaveStrip::edgeDragged, [&](qint64, bool, double seconds) { got = seconds; });
    drag(&strip, strip.xAt(end ? 12 : 10), strip.xAt(to),
         shift ? Qt::ShiftModifier : Qt::NoModifier);
    QVERIFY(got.has_value());
    QVERIFY2(std::abs(*got - lands) < 0.006, qPrintable(QString::number(*got)));
}

void SpeechStripTest::snapAllIsOneStepOntoTheSpeech() {
    if (!open("speech/speech-20db.mp4")) QSKIP("no test media (run scripts/make-test-media)");
    auto& form = *fixture->form;
    QCOMPARE(form.Peaks->speech(), PeakLoader::Speech::Found);
    QCOMPARE(form.SpeechLabel->text(),
             QStringLiteral("已找到语音 %1 段").arg(form.Peaks->speechSpans().size()));
    // Every line of the film, its edges 0.25 s off as hand timing leaves them.
    std::vector<std::pair<double, double>> truth;
    std::ifstream spans(testMedia("speech/speech-20db.spans").toStdString());
    for (double start, end; spans >> start >> end;) truth.emplace_back(start, end);
    QVERIFY(truth.size() > 20);
    std::vector<std::array<std::string, 3>> rows;
    for (std::size_t i = 0; i < truth.size(); ++i) {
        const double off = i % 2 ? 0.25 : -0.25;
        rows.push_back({tirelle::SecondsToTimeCode(truth[i].first + off),
                        tirelle::SecondsToTimeCode(truth[i].second - off), "line"});
    }
    fixture->addRows(rows);
    const auto before = rowTimes();

    trigger("SnapAllItem");
    QCOMPARE(status(), QStringLiteral("已对齐 %1 条字幕，0 条附近没有语音").arg(truth.size()));
    std::size_t near = 0;
    const auto after = rowTimes();
    for (std::size_t i = 0; i < truth.size(); ++i)
        near += (std::abs(after[i].first - truth[i].first) <= 0.1) +
                (std::abs(after[i].second - truth[i].second) <= 0.1);
    QVERIFY2(near >= truth.size() * 2 * 9 / 10, qPrintable(QString::number(near)));
    QCOMPARE(QString::fromStdString(form.UndoHistory.undoLabel()), QStringLiteral("对齐语音"));
    form.UndoItemClick();
    QCOMPARE(rowTimes(), before);

    // Opened again: the same speech, from the cache.
    const auto found = form.Peaks->speechSpans();
    open("speech/speech-20db.mp4");
    QCOMPARE(form.Peaks->fromCache(), true);
    QVERIFY(form.Peaks->speechSpans() == found);
}

void SpeechStripTest::commandsWithoutSpeechOrCutsSayWhy_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("item");
    QTest::addColumn<QString>("says");
    QTest::newRow("no audio, all") << "noaudio.mp4"
                                   << "SnapAllItem"
                                   << "没有语音可对齐（此视频没有音轨）";
    QTest::newRow("no audio, current") << "noaudio.mp4"
                                       << "SnapCurrentItem"
                                       << "没有语音可对齐（此视频没有音轨）";
    QTest::newRow("not a video, speech") << "unplayable.mp4"
                                         << "SnapAllItem"
                                         << "没有语音可对齐（无法读取音频：";
    QTest::newRow("not a video, cuts") << "unplayable.mp4"
                                       << "AlignCutsItem"
                                       << "没有镜头可对齐（无法读取视频画面：";
    QTest::newRow("still picture") << "still.png"
                                   << "AlignCutsItem"
                                   << "没有镜头可对齐（此文件只有一幅静止画面）";
}

void SpeechStripTest::commandsWithoutSpeechOrCutsSayWhy() {
    QFETCH(QString, file);
    QFETCH(QString, item);
    QFETCH(QString, says);
    if (!open(file.toStdString())) QSKIP("no test media (run scripts/make-test-media)");
    fixture->addRows({{"00:00:00,500", "00:00:01,500", "一句"}});
    const auto before = rowTimes();
    const std::string step = fixture->form->UndoHistory.undoLabel();
    trigger(item.toLatin1().constData());
    QVERIFY2(status().startsWith(says), qPrintable(status()));
    QCOMPARE(rowTimes(), before);
    QCOMPARE(fixture->form->UndoHistory.undoLabel(), step);  // no step of its own
}

void SpeechStripTest::captureLandsOnSpeechAndCuts() {
    if (!open("shots.mp4")) QSKIP("no test media (run scripts/make-test-media)");
    auto& form = *fixture->form;
    QCOMPARE(form.Cuts->state(), CutLoader::State::Ready);
    QVERIFY(form.Cuts->cuts().times.size() > 1);
    const double cut = form.Cuts->cuts().times[1];
    const double near = cut + 3 * form.Cuts->cuts().frameDuration();
    fixture->player->setPosition(near);

    QCOMPARE(form.SpeechCaptureAction->isChecked(), false);  // off: times as taken
    QCOMPARE(form.CutCaptureAction->isEnabled(), false);
    form.CaptureStep();
    QCOMPARE(form.Edit2->text(), form.Edit_TimePos->text());

    form.SpeechCaptureAction->trigger();
    form.CutCaptureAction->trigger();
    form.CaptureStep();
    QCOMPARE(form.Edit2->text(), timeText(cut));
    form.SpeechCaptureAction->trigger();  // off again: the cut no longer pulls
    form.CaptureStep();
    QCOMPARE(form.Edit2->text(), form.Edit_TimePos->text());

    if (!open("speech/speech-13db-music.mp4")) QSKIP("no speech media");
    const auto& spans = form.Peaks->speechSpans();
    QVERIFY(spans.size() > 3);
    // An offset with no other speech edge within the window of a time 0.2 s after it.
    std::size_t i = 0;
    while (i + 1 < spans.size() && spans[i + 1].start < spans[i].end + 0.8) ++i;
    QVERIFY(i + 1 < spans.size());
    fixture->player->setPosition(spans[i].end + 0.2);
    form.SpeechCaptureAction->trigger();
    form.CaptureStep();
    QCOMPARE(form.Edit2->text(), timeText(spans[i].end));
}

void SpeechStripTest::cancelStopsTheWork() {
    const QString film = testMedia("speech/speech-7db.mp4");
    if (film.isEmpty()) QSKIP("no test media (run scripts/make-test-media)");
    fixture = std::make_unique<FormFixture>();
    auto& form = *fixture->form;
    fixture->dialogs.fileAnswers = {film};
    form.N4Click();
    QVERIFY(!form.Work->isHidden());
    form.Work->cancelButton()->click();
    QCOMPARE(form.Peaks->state(), PeakLoader::State::Cancelled);
    QCOMPARE(form.Cuts->state(), CutLoader::State::Cancelled);
    QCOMPARE(form.SpeechLabel->text(), QStringLiteral("未能检测语音：已取消"));
    QVERIFY(form.Work->isHidden());
    trigger("SnapAllItem");
    QCOMPARE(status(), QStringLiteral("没有语音可对齐（已取消）"));
}

TIRELLE_TEST_MAIN(SpeechStripTest)
#include "speechstrip_test.moc"
