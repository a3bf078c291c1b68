#include "app/syncjob.h"

#include <QMetaObject>
#include <QPointer>

#include "speech/load.h"
#include "sync/storesync.h"

namespace tirelle::app {

SyncJob::SyncJob(QObject* parent) : QObject(parent) {}

SyncJob::~SyncJob() {
    cancel();
    join();
}

void SyncJob::join() {
    if (worker_.joinable()) worker_.join();
}

void SyncJob::cancel() {
    if (cancel_) cancel_->store(true);
    ++generation_;  // whatever is on its way is dropped
    running_ = false;
}

void SyncJob::start(SyncInput input, std::function<void(SyncResult)> done) {
    cancel();
    join();  // a cancelled worker stops within a block of decoding
    cancel_ = std::make_shared<std::atomic<bool>>(false);
    running_ = true;
    const quint64 generation = ++generation_;
    QPointer<SyncJob> self(this);
    worker_ = std::thread([self, generation, cancel = cancel_, input = std::move(input),
                           done = std::move(done)]() mutable {
        SyncResult result = Run(input, *cancel);
        if (cancel->load()) return;
        // The job outlives its worker (the destructor joins), so the pointer is good here; the
        // queued call is dropped with the job if it goes before the call runs.
        QMetaObject::invokeMethod(
            self.data(),
            [self, generation, result = std::move(result), done = std::move(done)]() mutable {
                if (!self || generation != self->generation_) return;
                self->running_ = false;
                done(std::move(result));
            },
            Qt::QueuedConnection);
    });
}

namespace {

QString SpeechProblem(const speech::LoadedSpeech& loaded) {
    switch (loaded.status) {
        case speech::SpeechStatus::NoAudio:
            return QStringLiteral("此视频没有音轨，无法同步到语音");
        case speech::SpeechStatus::Partial:
            return QStringLiteral("此视频的音频没能读到结尾，无法同步到语音");
        default:
            return QStringLiteral("无法读取此视频的音频：") + QString::fromStdString(loaded.message);
    }
}

}  // namespace

SyncResult SyncJob::Run(const SyncInput& input, const std::atomic<bool>& cancel) {
    SyncResult result;
    if (input.wantSpeech) {
        waveform::DecodeOptions options;
        options.cancel = &cancel;
        speech::LoadedSpeech loaded = speech::LoadSpeech(input.video, input.cacheFolder,
                                                         input.analyse, input.missing, {}, options);
        if (loaded.status == speech::SpeechStatus::Cancelled || cancel.load()) return result;
        if (loaded.status != speech::SpeechStatus::Found &&
            loaded.status != speech::SpeechStatus::NoSpeech) {
            result.message = SpeechProblem(loaded);
            return result;
        }
        result.spans = std::move(loaded.spans);
    }
    try {
        const std::vector<sync::Interval> targets =
            input.reference ? *input.reference : sync::SpeechIntervals(result.spans);
        result.alignment = sync::Align(input.subtitles, targets, input.options);
        result.ok = true;
    } catch (const std::exception& error) {
        result.message = QString::fromUtf8(error.what());
    }
    return result;
}

}  // namespace tirelle::app
