// Opening a video and keeping the player fitted to the video pane, with the player double.

#include <QLineEdit>
#include <QtTest>

#include "app/srtform.h"
#include "app/widgets.h"
#include "tests/support/formfixture.h"
#include "tests/support/testmain.h"

using tirelle::testing::FormFixture;

class VideoTest : public QObject {
    Q_OBJECT
private slots:
    void init() {
        fixture = std::make_unique<FormFixture>();
        fixture->player->calls.clear();
    }
    void cleanup() { fixture.reset(); }

    void openSetsTheUrlAndCaptureMode();
    void cancelledOpenChangesNothing();
    void openWhileCapturingKeepsCapture();
    void openDuringRangePreview();
    void playerFillsThePaneAfterResizes();
    void anotherVideoAfterAFailedTickTicksAgain();

private:
    std::unique_ptr<FormFixture> fixture;
};

void VideoTest::openSetsTheUrlAndCaptureMode() {
    auto& form = *fixture->form;
    fixture->dialogs.fileAnswers = {QStringLiteral("/videos/片子.mp4")};
    form.N4Click();
    QCOMPARE(fixture->dialogs.lastFileDialog.name, QStringLiteral("OpenDialog1"));
    QVERIFY(fixture->dialogs.lastFileDialog.filters.isEmpty());  // every file is listed
    QCOMPARE(fixture->player->url(), QStringLiteral("/videos/片子.mp4"));
    QCOMPARE(form.SpButtonE->isDown(), true);
    // The player starts by itself: no play call from the program.
    QCOMPARE(fixture->playerCalls(), QStringList{"url /videos/片子.mp4"});
    QCOMPARE(form.OpenDialog1.fileName, QStringLiteral("/videos/片子.mp4"));
}

void VideoTest::cancelledOpenChangesNothing() {
    auto& form = *fixture->form;
    fixture->dialogs.fileAnswers = {std::nullopt};
    form.N4Click();
    QCOMPARE(fixture->player->url(), QString());
    QCOMPARE(form.SpButtonE->isDown(), false);
    QCOMPARE(fixture->playerCalls(), QStringList{});
}

void VideoTest::openWhileCapturingKeepsCapture() {
    auto& form = *fixture->form;
    form.SpButtonE->setDown(true);
    fixture->dialogs.fileAnswers = {QStringLiteral("/v.mp4")};
    form.N4Click();
    QCOMPARE(form.SpButtonE->isDown(), true);
    QCOMPARE(fixture->playerCalls(), QStringList{"url /v.mp4"});
}

void VideoTest::openDuringRangePreview() {
    auto& form = *fixture->form;
    form.show();
    form.Edit1->setText("00:00:01,000");
    QTest::mouseClick(form.SpeedButton4, Qt::LeftButton);  // range preview: ">" disabled
    fixture->player->calls.clear();
    fixture->dialogs.fileAnswers = {QStringLiteral("/v.mp4")};
    form.N4Click();
    // "-->" goes up without its handler (no seek, no pause); ">" is down though still disabled.
    QCOMPARE(form.SpeedButton4->isDown(), false);
    QCOMPARE(form.SpButtonE->isDown(), true);
    QCOMPARE(form.SpButtonE->isEnabled(), false);
    QCOMPARE(fixture->playerCalls(), QStringList{"url /v.mp4"});
}

void VideoTest::playerFillsThePaneAfterResizes() {
    auto& form = *fixture->form;
    form.resize(1000, 700);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    for (const QSize size : {QSize(1200, 800), QSize(700, 500), QSize(640, 480)}) {
        form.resize(size);
        QTRY_COMPARE(form.WMP1->widget()->geometry(), form.Panel4->rect());
        QCOMPARE(fixture->player->bounds(), form.Panel4->rect());
    }
    form.Splitter1->moveTo(150);
    QCOMPARE(fixture->player->bounds(), form.Panel4->rect());
    form.Splitter2->moveTo(60);
    QCOMPARE(fixture->player->bounds(), form.Panel4->rect());
}

void VideoTest::anotherVideoAfterAFailedTickTicksAgain() {
    auto& form = *fixture->form;
    fixture->dialogs.fileAnswers = {QStringLiteral("/a.mp4")};
    form.N4Click();
    // A failed tick leaves the timer off while the video plays on.
    fixture->player->failOn(QStringLiteral("position"), QStringLiteral("the player is gone"));
    QTRY_COMPARE(fixture->dialogs.errors.size(), 1);
    QCOMPARE(form.Timer2->enabled(), false);
    fixture->player->clearFailures();
    // The next video reports that it plays, and that switches the timer on again.
    fixture->dialogs.fileAnswers = {QStringLiteral("/b.mp4")};
    form.N4Click();
    QCOMPARE(form.Timer2->enabled(), true);
}

TIRELLE_TEST_MAIN(VideoTest)
#include "video_test.moc"
