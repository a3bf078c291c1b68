// The main window with the real player and its real picture (OpenGL through Mesa, under
// xvfb-run): opening the test video through the file command shows moving pictures in the video
// pane, and the player keeps filling the pane when the window and its splitters change.
// The grabbed window is saved as build/artefacts/mainwindow_video.png.

#include <QDir>
#include <QImage>
#include <QOpenGLWidget>
#include <QSet>
#include <QSignalSpy>
#include <QtTest>

#include "app/srtform.h"
#include "app/widgets.h"
#include "playback/mpvplayer.h"
#include "tests/support/formfixture.h"
#include "tests/support/testmain.h"

using tirelle::testing::FormFixture;

namespace {

// Distinct colours among the pixels of a grid over the image.
int colours(const QImage& image) {
    QSet<QRgb> seen;
    for (int y = 0; y < image.height(); y += 3)
        for (int x = 0; x < image.width(); x += 3) seen.insert(image.pixel(x, y) & 0xF0F0F0);
    return int(seen.size());
}

QString artefact(const QString& name) {
    QDir dir(QString::fromStdString(tirelle::testing::testDataFolder().string()) + "/../artefacts");
    dir.mkpath(QStringLiteral("."));
    return dir.absoluteFilePath(name);
}

}  // namespace

class MainWindowVideoTest : public QObject {
    Q_OBJECT
private slots:
    void openedVideoPlaysInThePane();
};

void MainWindowVideoTest::openedVideoPlaysInThePane() {
    const QString video = tirelle::testing::testVideo();
    if (video.isEmpty()) QSKIP("no test video (run scripts/make-test-media)");
    FormFixture fixture({}, tirelle::testing::realPlayer());
    auto& form = *fixture.form;
    form.resize(1100, 750);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QSignalSpy states(form.WMP1, &tirelle::playback::Player::PlayStateChange);

    fixture.dialogs.fileAnswers = {video};
    form.N4Click();
    QCOMPARE(form.SpButtonE->isDown(), true);
    QTRY_VERIFY_WITH_TIMEOUT(
        states.contains(QVariantList{QVariant::fromValue(tirelle::playback::Playing)}), 15000);
    QTRY_VERIFY_WITH_TIMEOUT(form.WMP1->currentPosition() > 1.0, 15000);
    QCOMPARE(form.WMP1->widget()->geometry(), form.Panel4->rect());

    auto* gl = form.WMP1->widget()->findChild<QOpenGLWidget*>();
    QVERIFY(gl);
    QImage frame;
    QTRY_VERIFY_WITH_TIMEOUT((frame = gl->grabFramebuffer(), colours(frame) > 8), 10000);
    QVERIFY(form.grab().save(artefact(QStringLiteral("mainwindow_video.png"))));

    // Smaller window, splitter moves: the player still fills the pane.
    form.resize(800, 600);
    QTRY_COMPARE(form.WMP1->widget()->geometry(), form.Panel4->rect());
    form.Splitter2->moveTo(100);
    QCOMPARE(form.WMP1->widget()->geometry(), form.Panel4->rect());
    form.Splitter1->moveTo(250);
    QCOMPARE(form.WMP1->widget()->geometry(), form.Panel4->rect());
}

TIRELLE_TEST_MAIN(MainWindowVideoTest)
#include "mainwindow_video_xvfb_test.moc"
