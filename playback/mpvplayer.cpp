#include "playback/mpvplayer.h"

#include <mpv/client.h>

#include <QFile>
#include <QGuiApplication>
#include <QActionGroup>
#include <QBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QKeyEvent>
#include <QMetaObject>
#include <QStackedLayout>
#include <QVBoxLayout>
#include <algorithm>
#include <charconv>
#include <string>
#include <cmath>
#include <cstdlib>

#include "playback/mpvcore.h"
#include "playback/mpvview.h"
#include "playback/transportbar.h"

namespace tirelle::playback {

namespace {

// Tags of the observed properties.
enum Observed : unsigned long long { kPause = 1, kEof, kIdle, kTimePos, kDuration, kContainerFps, kMeasuredFps };

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

std::string numberText(double value) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

}  // namespace

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

void MpvPlayer::setVolume(int volume) {
    volume_ = std::clamp(volume, 0, 100);
    core_->setString("volume", std::to_string(volume_).c_str());
    if (view_) bar_->showAudio(volume_, muted_, speed_);
}

void MpvPlayer::setMuted(bool muted) {
    muted_ = muted;
    core_->setFlag("mute", muted);
    if (view_) bar_->showAudio(volume_, muted_, speed_);
}

void MpvPlayer::setSpeed(double speed) {
    if (!std::isfinite(speed)) return;
    const double clamped = std::clamp(speed, 0.5, 2.0);
    core_->setString("speed", numberText(clamped).c_str());
    speed_ = clamped;
    clock_.setRate(clamped, now());
    if (view_) bar_->showAudio(volume_, muted_, speed_);
}

void MpvPlayer::setFullScreen(bool on) {
    if (!view_ || on == fullScreen_) return;
    // The view stays where it is (moving it to a window of its own would cost the picture its
    // render context): everything else in its window is hidden and the window fills the screen.
    QWidget* window = view_->window();
    if (on) {
        hiddenForFullScreen_.clear();
        for (QWidget* inner = view_.data(); inner != window; inner = inner->parentWidget()) {
            for (QObject* child : inner->parentWidget()->children()) {
                auto* sibling = qobject_cast<QWidget*>(child);
                if (sibling && sibling != inner && !sibling->isWindow() && sibling->isVisible()) {
                    hiddenForFullScreen_.emplace_back(sibling);
                    sibling->hide();
                }
            }
        }
        stateBeforeFullScreen_ = window->windowState();
        window->setWindowState(stateBeforeFullScreen_ | Qt::WindowFullScreen);
    } else {
        window->setWindowState(stateBeforeFullScreen_ & ~Qt::WindowFullScreen);
        for (const QPointer<QWidget>& widget : hiddenForFullScreen_)
            if (widget) widget->show();
        hiddenForFullScreen_.clear();
    }
    fullScreen_ = on;
}

bool MpvPlayer::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && fullScreen_ &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        setFullScreen(false);
        return true;
    }
    if (event->type() == QEvent::MouseButtonDblClick && watched != view_.data() && facts_.started) {
        setFullScreen(!fullScreen_);
        return true;
    }
    return Player::eventFilter(watched, event);
}

QMenu* MpvPlayer::makeContextMenu(QWidget* parent) {
    auto* menu = new QMenu(parent);
    menu->setObjectName(QStringLiteral("playerMenu"));
    const bool loaded = facts_.started;
    auto item = [&](QMenu* into, const QString& caption, auto&& act) {
        QAction* action = into->addAction(caption);
        connect(action, &QAction::triggered, this, std::forward<decltype(act)>(act));
        return action;
    };
    item(menu, QStringLiteral("播放"), [this] { play(); })->setEnabled(loaded && reported_ != Playing);
    item(menu, QStringLiteral("暂停"), [this] { pause(); })->setEnabled(loaded && reported_ == Playing);
    item(menu, QStringLiteral("停止"), [this] { stop(); })->setEnabled(loaded);
    menu->addSeparator();

    QMenu* volume = menu->addMenu(QStringLiteral("音量"));
    QAction* mute = item(volume, QStringLiteral("静音"), [this](bool on) { setMuted(on); });
    mute->setCheckable(true);
    mute->setChecked(muted_);
    volume->addSeparator();
    auto* levels = new QActionGroup(volume);
    for (int level : {100, 75, 50, 25, 10}) {
        QAction* action = item(volume, QString::number(level), [this, level] { setVolume(level); });
        action->setCheckable(true);
        action->setChecked(level == volume_);
        levels->addAction(action);
    }

    QMenu* speed = menu->addMenu(QStringLiteral("速度"));
    auto* speeds = new QActionGroup(speed);
    for (double value : TransportBar::kSpeeds) {
        QAction* action = item(speed, TransportBar::speedText(value), [this, value] { setSpeed(value); });
        action->setCheckable(true);
        action->setChecked(value == speed_);
        speeds->addAction(action);
    }
    menu->addSeparator();
    QAction* full = item(menu, QStringLiteral("全屏"), [this](bool on) { setFullScreen(on); });
    full->setCheckable(true);
    full->setChecked(fullScreen_);
    return menu;
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

// --- operations

void MpvPlayer::setUrl(const QString& path) {
    url_ = path;
    seekAfterLoad_.reset();
    showError(QString());
    if (path.isEmpty()) {
        loadQueued_ = false;
        core_->command({"stop"});
        return;
    }
    if (!options_.headless && !(picture_ && picture_->hasRenderContext())) {
        // The core cannot open a file for the picture before the render context exists.
        loadQueued_ = true;
        return;
    }
    loadNow();
}

void MpvPlayer::loadNow() {
    loadQueued_ = false;
    const QByteArray file = QFile::encodeName(url_);
    // Automatic start: a file always begins playing unless a pause is asked for meanwhile.
    core_->setFlag("pause", false);
    facts_.paused = false;
    facts_.stopped = false;
    core_->command({"loadfile", file.constData(), "replace"});
    loadRequested_ = true;
    // The old file is gone for the program from here on: position 0, no seeks into it.
    facts_.loading = true;
    facts_.started = false;
    dropSeeks();
    clock_.reset();
    duration_ = 0;
    refreshBar();
}

void MpvPlayer::play() {
    if (!facts_.started && !facts_.loading) return;  // nothing to play
    if (facts_.started && facts_.eof && !seekedSinceEnd_) {
        // Played to the end: play starts again from the beginning. A seek asked for since (a
        // range replay: seek, then play) is where playback goes on instead, also while the
        // core still reports the end because that seek has not been made yet.
        setCurrentPosition(0);
    }
    facts_.eof = false;  // the seek moves away from the end
    core_->setFlag("pause", false);
    facts_.paused = false;
    facts_.stopped = false;
    updateState();
}

void MpvPlayer::pause() {
    if (!facts_.started && !facts_.loading) return;
    core_->setFlag("pause", true);
    facts_.paused = true;
    facts_.stopped = false;
    updateState();
}

void MpvPlayer::pauseAtEnd() {
    try {
        core_->setFlag("pause", true);
    } catch (const PlayerError&) {
        return;  // the state stays "paused" through the end flag all the same
    }
    facts_.paused = true;
}

void MpvPlayer::stop() {
    if (!facts_.started) return;
    core_->setFlag("pause", true);
    facts_.paused = true;
    facts_.stopped = true;
    setCurrentPosition(0);
    updateState();
}

double MpvPlayer::currentPosition() const {
    return clock_.read(now());
}

void MpvPlayer::setCurrentPosition(double seconds) {
    // A negative absolute seek would count from the end of the file.
    const double target = std::isfinite(seconds) && seconds > 0 ? seconds : 0;
    if (facts_.loading && !facts_.started) {
        seekAfterLoad_ = target;
        return;
    }
    if (!facts_.started) return;  // nothing loaded
    issueSeek(target);
}

double MpvPlayer::frameRate() const {
    if (containerFps_ > 0) return containerFps_;
    return measuredFps_ > 0 ? measuredFps_ : 0.0;
}

void MpvPlayer::issueSeek(double target) {
    seekedSinceEnd_ = true;
    const PendingSeek seek{currentPosition(), target};
    // One seek at a time: the core merges seeks that follow each other closely into one
    // restart, and then the restarts could not be told apart. Later ones wait their turn.
    if (inFlight_)
        waiting_.push_back(seek);
    else
        startSeek(seek);
    clock_.hold(target);
    refreshBar();
}

void MpvPlayer::startSeek(const PendingSeek& seek) {
    const std::string text = numberText(seek.to);
    core_->command({"seek", text.c_str(), "absolute+exact"});
    inFlight_ = seek;
}

void MpvPlayer::finishSeek() {
    if (!inFlight_) return;
    std::vector<PendingSeek> done{*inFlight_};
    inFlight_.reset();
    if (!waiting_.empty()) {
        // Only the latest waiting seek is made; those before it are passed over and done.
        const PendingSeek next = waiting_.back();
        waiting_.pop_back();
        done.insert(done.end(), waiting_.begin(), waiting_.end());
        waiting_.clear();
        try {
            startSeek(next);
        } catch (const PlayerError&) {
            done.push_back(next);  // reported all the same: the position reads its target
        }
    }
    // The last seek is done; the frame it landed on tells when playback has moved on.
    if (!inFlight_) clock_.seekDone(core_->doubleProperty("time-pos"));
    for (const PendingSeek& seek : done) deliver([&] { emit PositionChange(seek.from, seek.to); });
}

void MpvPlayer::dropSeeks() {
    inFlight_.reset();
    waiting_.clear();
}

// --- events

void MpvPlayer::onWakeup(void* context) {
    // Called on a core thread: only queue a drain on the GUI thread, one at a time.
    auto* player = static_cast<MpvPlayer*>(context);
    if (!player->drainQueued_.exchange(true))
        QMetaObject::invokeMethod(
            player, [player] { player->drainEvents(); }, Qt::QueuedConnection);
}

template <typename Emit>
void MpvPlayer::deliver(Emit&& emitEvent) {
    if (drainDepth_ == 0) {
        emitEvent();
        return;
    }
    try {
        emitEvent();
    } catch (...) {
        if (!handlerFailure_) handlerFailure_ = std::current_exception();
    }
}

void MpvPlayer::drainEvents() {
    drainQueued_ = false;  // a wakeup from now on queues the next drain
    ++drainDepth_;
    for (;;) {
        const mpv_event* event = mpv_wait_event(core_->handle(), 0);
        if (event->event_id == MPV_EVENT_NONE) break;
        // A handler may run a nested event loop that drains again, which invalidates the
        // event: handleEvent reads everything it needs before it emits.
        handleEvent(*event);
    }
    --drainDepth_;
    refreshBar();
    if (drainDepth_ == 0 && handlerFailure_)
        std::rethrow_exception(std::exchange(handlerFailure_, {}));
}

void MpvPlayer::handleEvent(const mpv_event& event) {
    switch (event.event_id) {
        case MPV_EVENT_PROPERTY_CHANGE: {
            const auto* property = static_cast<const mpv_event_property*>(event.data);
            const bool isFlag = property->format == MPV_FORMAT_FLAG;
            const bool isDouble = property->format == MPV_FORMAT_DOUBLE;
            const bool flag = isFlag && *static_cast<const int*>(property->data) != 0;
            const double number = isDouble ? *static_cast<const double*>(property->data) : 0;
            switch (event.reply_userdata) {
                case kPause:
                    facts_.paused = flag;
                    break;
                case kEof:
                    facts_.eof = flag;
                    if (flag) seekedSinceEnd_ = false;
                    // The core stops at the end but stays unpaused, so that a seek back would
                    // play on; the end is a pause here, and a seek back keeps it paused.
                    if (flag && !facts_.paused) pauseAtEnd();
                    break;
                case kIdle:
                    facts_.idle = flag;
                    break;
                case kTimePos:
                    if (isDouble) clock_.update(number, now());
                    break;
                case kDuration:
                    duration_ = number;
                    clock_.setDuration(number);
                    break;
                case kContainerFps:
                    containerFps_ = isDouble && std::isfinite(number) ? number : 0;
                    break;
                case kMeasuredFps:
                    measuredFps_ = isDouble && std::isfinite(number) ? number : 0;
                    break;
                default:
                    break;
            }
            updateState();
            break;
        }
        case MPV_EVENT_START_FILE:
            loadRequested_ = false;
            facts_.loading = true;
            facts_.started = false;
            facts_.eof = false;
            dropSeeks();
            clock_.reset();
            duration_ = 0;
            containerFps_ = 0;
            measuredFps_ = 0;
            seekedSinceEnd_ = false;
            lastLogError_.clear();
            break;
        case MPV_EVENT_PLAYBACK_RESTART:
            if (facts_.loading) {
                // The file plays: this restart is its start, not the end of a seek. A seek
                // asked for while it was being opened is made now.
                facts_.loading = false;
                facts_.started = true;
                // Every opened file that plays says so, also when the one it replaced played:
                // the program counts on that report to run its timer again.
                updateState(true);
                if (seekAfterLoad_) issueSeek(*std::exchange(seekAfterLoad_, std::nullopt));
                break;
            }
            updateState();
            finishSeek();
            break;
        case MPV_EVENT_END_FILE: {
            const auto* end = static_cast<const mpv_event_end_file*>(event.data);
            const bool failed = end->reason == MPV_END_FILE_REASON_ERROR;
            const int error = end->error;
            dropSeeks();
            if (loadRequested_) break;  // replaced by the file on its way
            facts_.loading = false;
            facts_.started = false;
            clock_.reset();
            duration_ = 0;
            if (failed) {
                const QString reason = lastLogError_.isEmpty()
                                           ? QString::fromUtf8(mpv_error_string(error))
                                           : lastLogError_;
                showError(QStringLiteral("无法播放此文件：%1\n%2").arg(url_, reason));
            }
            updateState();
            break;
        }
        case MPV_EVENT_LOG_MESSAGE: {
            const auto* message = static_cast<const mpv_event_log_message*>(event.data);
            lastLogError_ = QString::fromUtf8(message->text).trimmed();
            break;
        }
        default:
            break;
    }
}

void MpvPlayer::updateState(bool announcePlaying) {
    const std::optional<PlayState> state = mapPlayState(facts_);
    if (!state) return;
    clock_.setRunning(*state == Playing, now());
    if (*state == reported_ && !(announcePlaying && *state == Playing)) return;
    reported_ = *state;
    refreshBar();
    const auto value = static_cast<PlayState>(reported_);
    deliver([&] { emit PlayStateChange(value); });
}

void MpvPlayer::refreshBar() {
    if (!view_) return;
    bar_->setMediaLoaded(facts_.started);
    bar_->showTimes(currentPosition(), duration_);
}

}  // namespace tirelle::playback
