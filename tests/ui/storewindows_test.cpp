// The windows over the whole store: the sync page laid over a reference file (offset, frame-rate
// ratio, a break) as one undo step and its refusals; 简繁转换 on both code pages with the
// converted copy beside a save; the timing checks marked, listed, kept up to date and fixed.

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QRadioButton>
#include <QtTest>
#include <cmath>
#include <random>

#include "app/checkspanel.h"
#include "app/checkwatcher.h"
#include "app/chineseform.h"
#include "app/srtform.h"
#include "app/toolform.h"
#include "app/ui/textcodec.h"
#include "base/timecode.h"
#include "tests/support/encodedtext.h"
#include "tests/support/formfixture.h"
#include "tests/support/tempfolder.h"
#include "tests/support/testmain.h"

using tirelle::CodePage;
using tirelle::testing::Encoded;
using tirelle::testing::FormFixture;

namespace {

// 40 lines of 1 to 4 s with pauses of 0.3 to 3 s, as a correctly timed file has them (ms).
std::vector<std::pair<int, int>> ReferenceTimes() {
    std::mt19937 random(7);
    std::vector<std::pair<int, int>> times;
    int at = 2000;
    for (int i = 0; i < 40; ++i) {
        const int length = 1000 + static_cast<int>(random() % 3000);
        times.push_back({at, at + length});
        at += length + 300 + static_cast<int>(random() % 2700);
    }
    return times;
}

std::string Srt(const std::vector<std::pair<int, int>>& times) {
    std::string file;
    for (std::size_t i = 0; i < times.size(); ++i)
        file += std::to_string(i + 1) + "\r\n" + tirelle::MillisecondsToTime(times[i].first) +
                " --> " + tirelle::MillisecondsToTime(times[i].second) + "\r\nline\r\n\r\n";
    return file;
}

QString Path(const std::filesystem::path& file) {
    return QString::fromStdString(file.string());
}

}  // namespace

class StoreWindowsTest : public QObject {
    Q_OBJECT
private slots:
    void init() { fixture = std::make_unique<FormFixture>(); }
    void cleanup() {
        fixture.reset();
        tirelle::ui::setCodePage(CodePage(CodePage::Kind::Utf8));
    }

    void syncToReference_data();
    void syncToReference();
    void syncToSpeechOfAFilm();
    void syncRefusals_data();
    void syncRefusals();
    void chineseConversionAndCopy_data();
    void chineseConversionAndCopy();
    void checksFollowEveryChange();

private:
    std::unique_ptr<FormFixture> fixture;
};

void StoreWindowsTest::syncToReference_data() {
    // The file's times are the reference's moved: subtitle = (reference - offset) / ratio, the
    // second half of the lines moved `jump` seconds more (a cut in the other release).
    QTest::addColumn<double>("offset");
    QTest::addColumn<double>("ratio");
    QTest::addColumn<double>("jump");
    QTest::newRow("late by 4.25 s") << -4.25 << 1.0 << 0.0;
    QTest::newRow("25 against 23.976, late") << -1.5 << 25 / 23.976 << 0.0;
    QTest::newRow("a break of 30 s") << -3.0 << 1.0 << 30.0;
}

void StoreWindowsTest::syncToReference() {
    QFETCH(double, offset);
    QFETCH(double, ratio);
    QFETCH(double, jump);
    const auto reference = ReferenceTimes();
    std::vector<std::array<std::string, 3>> rows;
    for (std::size_t i = 0; i < reference.size(); ++i) {
        const double moved = (i >= reference.size() / 2 ? jump : 0) - offset;
        const auto at = [&](int ms) {
            return tirelle::MillisecondsToTime(static_cast<int>(std::lround((ms / 1000.0 + moved) / ratio * 1000)));
        };
        rows.push_back({at(reference[i].first), at(reference[i].second), "line"});
    }
    fixture->addRows(rows);
    const auto file = fixture->folder.write("reference.srt", Srt(reference));
    auto* tools = fixture->form->toolForm();
    tools->SyncReferenceButton->setChecked(true);
    tools->Edit9->setText(Path(file));
    tools->show();
    tools->BitBtn7Click();
    QTRY_VERIFY(!tools->syncRunning());
    QCOMPARE(fixture->dialogs.log, QStringList{"notice: ok"});
    QCOMPARE(fixture->form->UndoHistory.undoLabel(), std::string("音频同步"));
    QVERIFY(fixture->form->statusBar()->currentMessage().startsWith(QStringLiteral("偏移 ")));
    for (int row = 0; row < fixture->form->Sub.rowCount(); ++row) {
        const auto& record = fixture->form->Sub.rowAt(row);
        const auto& truth = reference[static_cast<std::size_t>(row)];
        QVERIFY2(std::abs(record.SubSort * 1000 - truth.first) <= 1, record.STime.c_str());
        QVERIFY2(std::abs(record.SubSortEnd * 1000 - truth.second) <= 1, record.ETime.c_str());
    }
    fixture->form->UndoItemClick();  // one step takes it all back
    QCOMPARE(fixture->form->Sub.rowAt(0).STime, rows[0][0]);
}

void StoreWindowsTest::syncToSpeechOfAFilm() {
    // A film with known speech and its subtitles timed to it, made 6 s late: the speech is
    // found on the worker (decoded by the media module) and the file laid back over it.
    const auto film = tirelle::testing::testDataFolder() / "speech" / "speech-20db.mp4";
    if (!std::filesystem::exists(film)) QSKIP("no test films (scripts/make-test-media)");
    tirelle::testing::TempFolder cache;
    qputenv("XDG_CACHE_HOME", QByteArray::fromStdString(cache.path().string()));
    fixture.reset();  // the next one's dialogs stay installed
    fixture = std::make_unique<FormFixture>();
    auto& form = *fixture->form;
    form.OpenSubtitleFile(Path(std::filesystem::path(film).replace_extension(".srt")));
    std::vector<double> truth;
    for (int row = 0; row < form.Sub.rowCount(); ++row) truth.push_back(form.Sub.rowAt(row).SubSort);
    QVERIFY(form.fileSteps().shift(6.0));
    fixture->player->setUrl(Path(film));
    auto* tools = form.toolForm();
    tools->SyncSpeechButton->setChecked(true);
    tools->show();
    // The button cancels the work under way, whose result never arrives (one "ok" below).
    tools->BitBtn7Click();
    QVERIFY(tools->syncRunning());
    QCOMPARE(tools->BitBtn7->text(), QStringLiteral("取消"));
    tools->BitBtn7Click();
    QVERIFY(!tools->syncRunning());
    QCOMPARE(tools->BitBtn7->text(), QStringLiteral("开始处理"));
    tools->BitBtn7Click();
    QTRY_VERIFY_WITH_TIMEOUT(!tools->syncRunning(), 60000);
    qunsetenv("XDG_CACHE_HOME");
    QCOMPARE(fixture->dialogs.log, QStringList{"notice: ok"});
    std::size_t near = 0;
    for (int row = 0; row < form.Sub.rowCount(); ++row)
        near += std::abs(form.Sub.rowAt(row).SubSort - truth[static_cast<std::size_t>(row)]) <= 0.1;
    QVERIFY2(near * 10 >= truth.size() * 9, qPrintable(QString("%1 of %2").arg(near).arg(truth.size())));
}

void StoreWindowsTest::syncRefusals_data() {
    QTest::addColumn<bool>("speech");
    QTest::addColumn<QString>("reference");  // a file's contents; "-": no file chosen
    QTest::addColumn<QString>("shown");
    QTest::newRow("speech without a video")
        << true << "" << "notice: 请先打开带音轨的视频文件：同步到语音需要影片的声音";
    QTest::newRow("no reference chosen") << false << "-" << "notice: 请先选择参考字幕文件";
    QTest::newRow("reference without blocks") << false << "no blocks\r\n" << "error: 参考字幕中没有字幕.";
}

void StoreWindowsTest::syncRefusals() {
    QFETCH(bool, speech);
    QFETCH(QString, reference);
    QFETCH(QString, shown);
    fixture->addRows({{"00:00:03,000", "00:00:04,000", "a"}});
    auto* tools = fixture->form->toolForm();
    (speech ? tools->SyncSpeechButton : tools->SyncReferenceButton)->setChecked(true);
    if (reference != "-")
        tools->Edit9->setText(Path(fixture->folder.write("ref.srt", reference.toStdString())));
    tools->show();
    tools->BitBtn7Click();
    QCOMPARE(fixture->dialogs.log, QStringList{shown});
    QVERIFY(!tools->syncRunning());
    QVERIFY(tools->isVisible());
    QCOMPARE(fixture->form->Sub.rowAt(0).STime, std::string("00:00:03,000"));
}

void StoreWindowsTest::chineseConversionAndCopy_data() {
    QTest::addColumn<bool>("gbk");
    QTest::addColumn<QString>("conversion");
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");
    QTest::addColumn<QString>("copyName");
    QTest::newRow("UTF-8, Taiwan wording") << false << "s2twp" << "头发和软件" << "頭髮和軟體" << "ep.cht.srt";
    QTest::newRow("GBK, Traditional") << true << "s2t" << "干杯" << "乾杯" << "ep.cht.srt";
    QTest::newRow("GBK, to Simplified") << true << "t2s" << "頭髮" << "头发" << "ep.chs.srt";
}

void StoreWindowsTest::chineseConversionAndCopy() {
    QFETCH(bool, gbk);
    QFETCH(QString, conversion);
    QFETCH(QString, from);
    QFETCH(QString, to);
    QFETCH(QString, copyName);
    const auto bytes = [&](const QString& text) {
        return gbk ? Encoded(text.toStdString(), "GBK") : text.toStdString();
    };
    if (gbk) {
        fixture.reset();
        tirelle::ui::setCodePage(CodePage(CodePage::Kind::Gbk));
        fixture = std::make_unique<FormFixture>();
    }
    fixture->addRows({{"00:00:01,000", "00:00:02,000", bytes(from)}, {"00:00:03,000", "00:00:04,000", "OK"}});
    auto& dialog = *fixture->form->chineseForm();
    dialog.ConversionBox->setCurrentIndex(dialog.ConversionBox->findData(conversion));
    dialog.StartButtonClick();
    QCOMPARE(fixture->form->Sub.rowAt(0).SubText, bytes(to));
    QCOMPARE(fixture->form->Sub.rowAt(1).SubText, std::string("OK"));
    QCOMPARE(fixture->form->statusBar()->currentMessage(), QStringLiteral("已转换 1 条字幕"));
    QCOMPARE(fixture->form->UndoHistory.undoLabel(), std::string("简繁转换"));

    // With the choice on, a save writes the converted copy beside the file; the store stays.
    fixture->form->UndoItemClick();
    dialog.CopyCheck->setChecked(true);
    const auto saved = fixture->folder.file("ep.srt");
    fixture->dialogs.fileAnswers = {Path(saved)};
    fixture->form->N9Click();
    const std::string original = tirelle::testing::TempFolder::read(saved);
    QCOMPARE(fixture->form->Sub.rowAt(0).SubText, bytes(from));
    std::string expected = original;
    expected.replace(expected.find(bytes(from)), bytes(from).size(), bytes(to));
    QCOMPARE(tirelle::testing::TempFolder::read(fixture->folder.file(copyName.toStdString())), expected);
}

void StoreWindowsTest::checksFollowEveryChange() {
    // fansub: shortest 0.5 s, 16 characters per s (a wide character counts 1, others 0.5), no
    // least gap.
    fixture->addRows({{"00:00:01,000", "00:00:03,000", "overlaps the next"},
                      {"00:00:02,500", "00:00:04,000", "fine"},
                      {"00:00:05,000", "00:00:05,300", "太短了的字幕"}});
    auto& form = *fixture->form;
    auto& panel = *form.ChecksPanel;
    form.ChecksItemClick();
    QCOMPARE(form.Checks->settings().frameRate, fixture->player->frameRate());  // the video's
    QTRY_COMPARE(panel.listedCount(), 3);
    const auto kind = [](tirelle::checks::ProblemKind k) { return tirelle::app::ProblemLabel(k); };
    using K = tirelle::checks::ProblemKind;
    QCOMPARE(panel.listedRow(0), (QStringList{"1", "00:00:01,000", kind(K::Overlap), "0.5"}));
    QCOMPARE(panel.listedRow(1), (QStringList{"3", "00:00:05,000", kind(K::Short), "0.3"}));
    QCOMPARE(panel.listedRow(2), (QStringList{"3", "00:00:05,000", kind(K::ReadingSpeed), "20"}));
    QCOMPARE(form.CheckCount->text(), QStringLiteral("3 个时间问题"));
    const std::int64_t first = form.Sub.rowAt(0).aid;
    QCOMPARE(form.Checks->marksOf(first), kind(K::Overlap) + QStringLiteral("：0.5"));

    // One edit re-checks the row and its neighbour.
    form.PostEdgeTime(first, true, 2.5);
    QCOMPARE(form.Checks->marksOf(first), QString());
    QCOMPARE(form.CheckCount->text(), QStringLiteral("2 个时间问题"));

    // A double-click goes to the row and seeks there.
    fixture->player->setUrl("film.mkv");
    QTRY_COMPARE(panel.listedCount(), 2);
    panel.ProblemListDblClick(0);
    QCOMPARE(form.Sub.currentRow(), 2);
    QCOMPARE(fixture->player->currentPosition(), 5.0);

    // 修复 lengthens the short one to 0.5 s, which is slow enough; one undo takes it back.
    panel.FixButtonClick();
    QCOMPARE(form.Sub.rowAt(2).ETime, std::string("00:00:05,500"));
    QCOMPARE(form.UndoHistory.undoLabel(), std::string("修复时间问题"));
    QTRY_COMPARE(panel.listedCount(), 0);
    QCOMPARE(form.CheckCount->text(), QString());
    form.UndoItemClick();
    QCOMPARE(form.CheckCount->text(), QStringLiteral("2 个时间问题"));

    // Another profile checks every row again: netflix-en allows 20 characters per second.
    panel.ProfileBox->setCurrentText("netflix-en");
    const std::int64_t shortRow = form.Sub.rowAt(2).aid;
    QCOMPARE(form.Checks->marksOf(shortRow), kind(K::Short) + QStringLiteral("：0.3"));

    // A new row is checked once posted, without a requery: the short row now overlaps it.
    form.Sub.append();
    form.Sub.fieldByName("STime").setAsString("00:00:05,200");
    form.Sub.fieldByName("ETime").setAsString("00:00:06,000");
    form.Sub.post();
    QCOMPARE(form.Checks->marksOf(shortRow),
             kind(K::Short) + QStringLiteral("：0.3\n") + kind(K::Overlap) + QStringLiteral("：0.1"));

    // A walk of the cursor with the list's updates suspended (the preview does one on every
    // seek) checks nothing again; a change made during one is checked when they resume.
    QSignalSpy rechecks(form.Checks, &tirelle::app::CheckWatcher::problemsChanged);
    {
        tirelle::store::SuspendedUpdates hidden(form.Sub);
        form.Sub.last();
        form.Sub.first();
    }
    QCOMPARE(rechecks.count(), 0);
    {
        tirelle::store::SuspendedUpdates hidden(form.Sub);
        QVERIFY(form.Sub.locate("aid", shortRow));
        form.Sub.edit();
        form.Sub.fieldByName("ETime").setAsString("00:00:05,100");
        form.Sub.post();
    }
    const QString alone = kind(K::Short) + QStringLiteral("：0.1\n") + kind(K::ReadingSpeed) + QStringLiteral("：60");
    QCOMPARE(form.Checks->marksOf(shortRow), alone);

    // A delete re-checks the rows either side: with the row it overlapped gone, the short row
    // keeps only its own problems.
    form.Sub.append();
    form.Sub.fieldByName("STime").setAsString("00:00:05,050");
    form.Sub.fieldByName("ETime").setAsString("00:00:05,150");
    form.Sub.post();
    const std::int64_t extra = form.Sub.rowAt(form.Sub.currentRow()).aid;
    QVERIFY(form.Checks->marksOf(shortRow).contains(kind(K::Overlap)));
    QVERIFY(form.Sub.locate("aid", extra));
    form.Sub.remove();
    QCOMPARE(form.Checks->marksOf(shortRow), alone);
    QCOMPARE(form.Checks->checker().rowCount(), static_cast<std::size_t>(form.Sub.rowCount()));
}

TIRELLE_TEST_MAIN(StoreWindowsTest)
#include "storewindows_test.moc"
