// From a video alone to a stored subtitle, with the real player (headless: no video or audio
// output): open the video, let it play for four seconds, type a text, insert it; the row in DB.mdb
// carries the captured times.

#include <QElapsedTimer>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

#include "app/srtform.h"
#include "app/widgets.h"
#include "playback/mpvplayer.h"
#include "store/connection.h"
#include "store/dataset.h"
#include "base/timecode.h"
#include "tests/support/formfixture.h"
#include "tests/support/testmain.h"

using tirelle::testing::FormFixture;

class EndToEndTest : public QObject {
    Q_OBJECT
private slots:
    void captureAndInsertWhilePlaying();
};

void EndToEndTest::captureAndInsertWhilePlaying() {
    const QString video = tirelle::testing::testVideo();
    if (video.isEmpty()) QSKIP("no test video (run scripts/make-test-media)");
    FormFixture fixture({}, tirelle::testing::realPlayer());
    auto& form = *fixture.form;
    form.show();
    QSignalSpy states(form.WMP1, &tirelle::playback::Player::PlayStateChange);
    QElapsedTimer playing;
    connect(form.WMP1, &tirelle::playback::Player::PlayStateChange, this, [&](int state) {
        if (state == 3 && !playing.isValid()) playing.start();
    });

    fixture.dialogs.fileAnswers = {video};
    form.N4Click();
    QTRY_VERIFY_WITH_TIMEOUT(playing.isValid(), 15000);
    // Past the lead time, so the start is not clamped at 0.
    QTRY_VERIFY_WITH_TIMEOUT(playing.elapsed() >= 4000, 8000);

    form.Memo1->setPlainText(QStringLiteral("第一句"));
    QTRY_VERIFY(!form.Edit2->text().isEmpty());  // the capture step has run
    const double elapsed = playing.elapsed() / 1000.0;
    QTest::mouseClick(form.BitBtn3, Qt::LeftButton);
    QCOMPARE(fixture.dialogs.log, QStringList{"open OpenDialog1"});  // no notice, no error

    tirelle::store::Connection store;
    store.open(fixture.folder.path());
    tirelle::store::Dataset rows;
    rows.setConnection(&store);
    rows.setCommandText("select * from Sub order by SubSort");
    rows.open();
    QCOMPARE(rows.recordCount(), 1);
    const double start = rows.fieldByName("SubSort").asFloat();
    const double end = rows.fieldByName("SubSortEnd").asFloat();
    QCOMPARE(QString::fromStdString(rows.fieldByName("SubText").asString()),
             QStringLiteral("第一句"));
    QVERIFY2(std::abs(end - elapsed) <= 0.2,
             qPrintable(QString("end %1, played %2 s").arg(end).arg(elapsed)));
    QVERIFY2(std::abs((end - start) - 3.0) <= 0.1,
             qPrintable(QString("start %1, end %2").arg(start).arg(end)));
}

TIRELLE_TEST_MAIN(EndToEndTest)
#include "endtoend_test.moc"
