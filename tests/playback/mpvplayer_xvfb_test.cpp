// The libmpv player with its real picture: OpenGL through Mesa under xvfb-run. Saves the
// grabbed frames as PNG files next to the test media (build/artefacts).

#include <QDir>
#include <QImage>
#include <QOpenGLContext>
#include <QOpenGLWidget>
#include <QSet>
#include <QTest>
#include <QVBoxLayout>
#include <clocale>
#include <memory>

#include "playback/mpvplayer.h"
#include "playback/mpvview.h"
#include "tests/support/tempfolder.h"

using tirelle::playback::MpvPlayer;

namespace {

// Share of pixels that are not black, and the number of distinct colours, sampled on a grid.
struct Picture {
    double lit = 0;
    int colours = 0;
};

Picture look(const QImage& image) {
    Picture picture;
    QSet<QRgb> colours;
    int samples = 0, lit = 0;
    for (int y = 0; y < image.height(); y += 4) {
        for (int x = 0; x < image.width(); x += 4) {
            const QRgb pixel = image.pixel(x, y);
            ++samples;
            if (qRed(pixel) + qGreen(pixel) + qBlue(pixel) > 48) ++lit;
            colours.insert(pixel & 0xF0F0F0);
        }
    }
    picture.lit = samples ? double(lit) / samples : 0;
    picture.colours = int(colours.size());
    return picture;
}

QString artefact(const QString& name) {
    const auto folder = tirelle::testing::testDataFolder();
    QDir dir(QString::fromStdString(folder.string()) + QStringLiteral("/../artefacts"));
    dir.mkpath(QStringLiteral("."));
    return dir.absoluteFilePath(name);
}

}  // namespace

class MpvPlayerXvfbTest : public QObject {
    Q_OBJECT
private:
    QString video;
    std::unique_ptr<QWidget> window;
    MpvPlayer* player = nullptr;  // owned by the window
    QList<int> states;

    QOpenGLWidget* view() const {
        return player->widget()->findChild<QOpenGLWidget*>(QStringLiteral("videoView"));
    }
    // Waits until the view shows more than a black frame and saves it.
    void expectPicture(const QString& file) {
        QOpenGLWidget* gl = view();
        QVERIFY(gl);
        QImage frame;
        Picture picture;
        QTRY_VERIFY_WITH_TIMEOUT((frame = gl->grabFramebuffer(), picture = look(frame),
                                  picture.lit > 0.3 && picture.colours > 8),
                                 10000);
        QVERIFY2(frame.save(artefact(file)), qPrintable(artefact(file)));
        qInfo("%s: %dx%d, %.0f%% lit, %d colours", qPrintable(file), frame.width(), frame.height(),
              picture.lit * 100, picture.colours);
    }

private slots:
    void initTestCase() {
        std::setlocale(LC_NUMERIC, "C");
        const auto folder = tirelle::testing::testDataFolder();
        QVERIFY2(!folder.empty(), "TIRELLE_TESTDATA is not set");
        video = QString::fromStdString((folder / "test.mp4").string());
        QVERIFY2(QFile::exists(video), qPrintable(video + " is missing: run make-test-media"));
    }

    void playsThePictureInAWindow() {
        window = std::make_unique<QWidget>();
        window->resize(640, 420);
        player = new MpvPlayer(window.get(), MpvPlayer::Options{.audio = false});
        QVERIFY(!player->headless());
        connect(player, &MpvPlayer::PlayStateChange, [this](int state) { states.append(state); });
        auto* layout = new QVBoxLayout(window.get());
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(player->widget());
        // Set before the window is shown: the file waits for the render context.
        player->setUrl(video);
        QCOMPARE(states, QList<int>{});
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        QTRY_COMPARE_WITH_TIMEOUT(states, QList<int>{3}, 10000);
        QTRY_VERIFY(player->currentPosition() > 1.0);
        expectPicture(QStringLiteral("mpvplayer_frame.png"));
        // The whole player with its bar, for a look by eye.
        QVERIFY(player->widget()->grab().save(artefact(QStringLiteral("mpvplayer_window.png"))));
    }

    void picturePlaysOnInAnotherWindow() {
        // A new top-level window gives the view a new GL context and a second initializeGL.
        QVERIFY(player);
        auto other = std::make_unique<QWidget>();
        other->resize(500, 360);
        auto* layout = new QVBoxLayout(other.get());
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(player->widget());
        other->show();
        QVERIFY(QTest::qWaitForWindowExposed(other.get()));
        const double before = player->currentPosition();
        QTRY_VERIFY(player->currentPosition() > before + 0.5);
        expectPicture(QStringLiteral("mpvplayer_frame_moved.png"));
        QCOMPARE(states, QList<int>{3});
        window.reset();  // deletes the player; the view goes with it
        QVERIFY(other->findChildren<QOpenGLWidget*>().isEmpty());
    }

    void goingPlayerLeavesNothingThatCallsItsView() {
        // The view's GL context outlives the view's own destructor (the GL widget base frees
        // it): by then nothing of it may still be connected to the half-destroyed view.
        auto host = std::make_unique<QWidget>();
        host->resize(320, 240);
        auto* own = new MpvPlayer(host.get(), MpvPlayer::Options{.audio = false});
        auto* layout = new QVBoxLayout(host.get());
        layout->addWidget(own->widget());
        host->show();
        QVERIFY(QTest::qWaitForWindowExposed(host.get()));
        auto* picture = own->widget()->findChild<tirelle::playback::MpvView*>();
        QVERIFY(picture);
        QTRY_VERIFY(picture->hasRenderContext());
        QOpenGLContext* context = picture->context();
        bool viewStillConnected = false;
        connect(context, &QOpenGLContext::aboutToBeDestroyed, context, [&] {
            viewStillConnected =
                QObject::disconnect(context, &QOpenGLContext::aboutToBeDestroyed, picture, nullptr);
        });
        delete own;
        QCOMPARE(viewStillConnected, false);
    }
};

QTEST_MAIN(MpvPlayerXvfbTest)
#include "mpvplayer_xvfb_test.moc"
