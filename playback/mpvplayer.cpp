// The libmpv player's making and its view: the core's options, the picture with its error text
// and transport bar, and the player's place on the screen.

#include "playback/mpvplayer.h"

#include <mpv/client.h>

#include <QGuiApplication>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QStackedLayout>
#include <QVBoxLayout>
#include <charconv>
#include <cstdlib>
#include <memory>
#include <string>

#include "playback/mpvcore.h"
#include "playback/mpvplayer_detail.h"
#include "playback/mpvview.h"
#include "playback/transportbar.h"

namespace tirelle::playback {

using namespace mpvdetail;

namespace {

MpvCore::Options coreOptions(const MpvPlayer::Options& options) {
    MpvCore::Options list = {
        {"idle", "yes"},
        {"keep-open", "yes"},  // at the end the last frame stays, paused
        {"hr-seek", "yes"},
        {"volume", "50"},
        {"speed", "1.0"},
        {"audio-pitch-correction", "yes"},  // faster or slower, the voices keep their pitch
        {"pause", "no"},
        {"config", "no"},
        {"load-scripts", "no"},
        {"ytdl", "no"},
        {"osc", "no"},
        {"osd-level", "0"},
        {"input-default-bindings", "no"},
        {"input-vo-keyboard", "no"},
        {"terminal", "no"},
        // Subtitles are the program's own business: no subtitle file found next to the video.
        {"sub-auto", "no"},
        {"audio-client-name", "Tirelle"},
        // The picture is drawn on the GUI thread; it must never wait there for a frame's time.
        {"video-timing-offset", "0"},
    };
    list.emplace_back("vo", options.headless ? "null" : "libmpv");
    if (options.headless || !options.audio) list.emplace_back("ao", "null");
    return list;
}

}  // namespace

std::string mpvdetail::numberText(double value) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

MpvPlayer::Options MpvPlayer::Options::forPlatform() {
    Options options;
    const QString platform = QGuiApplication::platformName();
    const char* forced = std::getenv("TIRELLE_PLAYER_HEADLESS");
    options.headless = platform == QLatin1String("offscreen") ||
                       platform == QLatin1String("minimal") || (forced && forced[0] == '1');
    return options;
}

MpvPlayer::MpvPlayer(QWidget* parent) : MpvPlayer(parent, Options::forPlatform()) {}

MpvPlayer::MpvPlayer(QWidget* parent, Options options)
    : Player(parent),
      options_(options),
      core_(std::make_unique<MpvCore>(coreOptions(options))),
      clock_(options.extrapolate) {
    setObjectName(QStringLiteral("WMP1"));
    core_->observe(kPause, "pause", MPV_FORMAT_FLAG);
    core_->observe(kEof, "eof-reached", MPV_FORMAT_FLAG);
    core_->observe(kIdle, "idle-active", MPV_FORMAT_FLAG);
    core_->observe(kTimePos, "time-pos", MPV_FORMAT_DOUBLE);
    core_->observe(kDuration, "duration", MPV_FORMAT_DOUBLE);
    core_->observe(kContainerFps, "container-fps", MPV_FORMAT_DOUBLE);
    core_->observe(kMeasuredFps, "estimated-vf-fps", MPV_FORMAT_DOUBLE);
    core_->requestLog("error");
    buildView(parent);
    core_->setWakeup(&MpvPlayer::onWakeup, this);
}

MpvPlayer::~MpvPlayer() {
    // The view holds the render context, which has to go before the core.
    delete view_.data();
    core_->setWakeup(nullptr, nullptr);
}

void MpvPlayer::buildView(QWidget* parent) {
    auto* root = new QWidget(parent);
    root->setObjectName(QStringLiteral("WMP1View"));
    auto* area = new QWidget(root);
    area->setObjectName(QStringLiteral("videoArea"));
    QPalette black = area->palette();
    black.setColor(QPalette::Window, Qt::black);
    black.setColor(QPalette::WindowText, Qt::white);
    area->setPalette(black);
    area->setAutoFillBackground(true);

    QWidget* picture = nullptr;
    if (options_.headless) {
        picture = new QWidget(area);
        picture->setObjectName(QStringLiteral("videoView"));
    } else {
        picture_ = new MpvView(core_->handle(), area);
        picture = picture_;
        connect(picture_, &MpvView::ready, this, [this] {
            if (loadQueued_) {
                loadNow();
            } else if (facts_.started || facts_.loading) {
                // A new render context (the view moved to another window). Freeing the old one
                // switched the video track off; switch it on again for the file that plays on
                // (through "no": the core still counts the track as chosen).
                try {
                    core_->setString("vid", "no");
                    core_->setString("vid", "auto");
                } catch (const PlayerError& error) {
                    showError(QString::fromStdString(error.what()));
                }
            }
        });
        connect(picture_, &MpvView::failed, this, &MpvPlayer::showError);
    }
    error_ = new QLabel(area);
    error_->setObjectName(QStringLiteral("errorLabel"));
    error_->setAlignment(Qt::AlignCenter);
    error_->setWordWrap(true);
    stack_ = new QStackedLayout(area);
    stack_->addWidget(picture);
    stack_->addWidget(error_);

    area->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(area, &QWidget::customContextMenuRequested, this, [this, area](const QPoint& at) {
        QMenu* menu = makeContextMenu(area);
        menu->setAttribute(Qt::WA_DeleteOnClose);
        menu->popup(area->mapToGlobal(at));
    });
    // Escape leaves full screen, a double click on the picture enters or leaves it.
    root->installEventFilter(this);
    area->installEventFilter(this);
    if (picture != nullptr) picture->installEventFilter(this);
    area_ = area;

    bar_ = new TransportBar(root);
    connect(bar_, &TransportBar::volumeChosen, this, &MpvPlayer::setVolume);
    connect(bar_, &TransportBar::muteToggled, this, &MpvPlayer::setMuted);
    connect(bar_, &TransportBar::speedChosen, this, &MpvPlayer::setSpeed);
    connect(bar_, &TransportBar::playClicked, this, &MpvPlayer::play);
    connect(bar_, &TransportBar::pauseClicked, this, &MpvPlayer::pause);
    connect(bar_, &TransportBar::stopClicked, this, &MpvPlayer::stop);
    connect(bar_, &TransportBar::seekRequested, this, &MpvPlayer::setCurrentPosition);

    auto* layout = new QVBoxLayout(root);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(area, 1);
    layout->addWidget(bar_);
    root->resize(584, 306);
    view_ = root;
}

QWidget* MpvPlayer::widget() {
    return view_.data();
}

void MpvPlayer::showInBounds(const QRect& bounds) {
    if (!view_) return;
    view_->setGeometry(bounds);
    if (QLayout* layout = view_->layout()) layout->activate();
    if (picture_) picture_->update();
}
QString MpvPlayer::errorText() const {
    return view_ ? error_->text() : QString();
}

void MpvPlayer::showError(const QString& text) {
    if (!view_) return;
    error_->setText(text);
    stack_->setCurrentIndex(text.isEmpty() ? 0 : 1);
}

double MpvPlayer::now() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - epoch_).count();
}

}  // namespace tirelle::playback
