// What the libmpv core tells the player: its wakeups, the drain of its events on the GUI
// thread, and the state and bar they update.

#include <mpv/client.h>

#include <QMetaObject>
#include <QString>
#include <cmath>
#include <exception>
#include <optional>
#include <utility>

#include "playback/mpvcore.h"
#include "playback/mpvplayer.h"
#include "playback/mpvplayer_detail.h"
#include "playback/transportbar.h"

namespace tirelle::playback {

using namespace mpvdetail;

void MpvPlayer::onWakeup(void* context) {
    // Called on a core thread: only queue a drain on the GUI thread, one at a time.
    auto* player = static_cast<MpvPlayer*>(context);
    if (!player->drainQueued_.exchange(true))
        QMetaObject::invokeMethod(
            player, [player] { player->drainEvents(); }, Qt::QueuedConnection);
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
