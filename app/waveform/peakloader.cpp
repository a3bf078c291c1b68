#include "app/waveform/peakloader.h"

#include <QFile>
#include <QMetaObject>
#include <algorithm>

#include "playback/mediamodule.h"
#include "speech/analysis.h"
#include "speech/cache.h"
#include "waveform/decoder.h"
#include "waveform/peakcache.h"

namespace tirelle::app {

using waveform::Peak;

struct PeakLoader::Job : WorkerJob {
    quint64 generation = 0;
    std::string path;
    speech::AnalyseFunction analyse = nullptr;       // nothing: why in `analysisMissing`
    std::string analysisMissing;
    waveform::DecodePeaksFunction decode = nullptr;  // nothing: why in `decoderMissing`
    std::string decoderMissing;
};

PeakLoader::PeakLoader(std::filesystem::path cacheFolder, int threads, QObject* parent)
    : QObject(parent), cacheFolder_(std::move(cacheFolder)), threads_(threads) {}

PeakLoader::~PeakLoader() = default;

void PeakLoader::clear() {
    workers_.stop();
    workers_.reap();
    ++generation_;
    peaks_.clear();
    peaks_.shrink_to_fit();
    known_ = 0;
    duration_ = 0;
    fromCache_ = false;
    audio_ = false;
    message_.clear();
    state_ = State::Idle;
    spans_.clear();
    speech_ = Speech::Idle;
    speechMessage_.clear();
    emit stateChanged();
    emit speechChanged();
}

void PeakLoader::cancel() {
    if (state_ != State::Loading) return;
    workers_.stop();
    ++generation_;  // what the stopped job still sends is dropped
    state_ = State::Cancelled;
    message_.clear();
    emit stateChanged();
    setSpeech(Speech::Unavailable, QStringLiteral("已取消"));
}

void PeakLoader::setSpeech(Speech speech, QString message) {
    speech_ = speech;
    speechMessage_ = std::move(message);
    emit speechChanged();
}

void PeakLoader::load(const QString& path) {
    clear();
    auto job = std::make_shared<Job>();
    job->generation = generation_;
    job->path = QFile::encodeName(path).toStdString();
    // The decoder lives in the media module with the player, which has mostly loaded it for
    // the same video already; looked up here, as the module's loader wants the GUI thread. A
    // file in the cache needs no decoder.
    job->analyse = reinterpret_cast<speech::AnalyseFunction>(
        playback::FindInMediaModule(speech::kAnalyseSymbol, job->analysisMissing));
    if (!job->analyse)
        job->decode = reinterpret_cast<waveform::DecodePeaksFunction>(
            playback::FindInMediaModule(waveform::kDecodePeaksSymbol, job->decoderMissing));
    state_ = State::Loading;
    emit stateChanged();
    setSpeech(Speech::Detecting, {});
    workers_.start(job, [this](std::shared_ptr<Job> job) { run(std::move(job)); });
}

double PeakLoader::progress() const {
    if (state_ == State::Ready) return 1;
    if (peaks_.empty()) return 0;
    return std::min(1.0, static_cast<double>(known_) / static_cast<double>(peaks_.size()));
}

// --- on the worker thread: nothing here touches the loader's members except through queued
// calls, which the loader drops when they belong to an old generation.

namespace {

using SpeechState = PeakLoader::Speech;

QString SpeechFailure(speech::SpeechStatus status, const std::string& why) {
    switch (status) {
        case speech::SpeechStatus::NoAudio:
            return QStringLiteral("此视频没有音轨");
        case speech::SpeechStatus::Cancelled:
            return QStringLiteral("已取消");
        default:
            return QStringLiteral("无法读取音频：%1").arg(QString::fromStdString(why));
    }
}

}  // namespace

void PeakLoader::run(std::shared_ptr<Job> job) {
    const quint64 generation = job->generation;
    auto post = [this, job](auto&& call) {
        if (!job->cancel) QMetaObject::invokeMethod(this, std::forward<decltype(call)>(call), Qt::QueuedConnection);
    };
    auto postSpeech = [&](SpeechState state, speech::SpeechSpans spans, QString message) {
        post([this, generation, state, spans = std::move(spans), message = std::move(message)]() mutable {
            speechDone(generation, state, std::move(spans), std::move(message));
        });
    };
    const waveform::PeakCache cache(cacheFolder_);
    const speech::SpeechCache speechCache(cacheFolder_);
    const auto key = waveform::KeyForFile(job->path);
    if (key && !cacheFolder_.empty()) {
        // Both or neither: spans without peaks, or peaks cached before speech was looked for,
        // need the decoding all the same.
        auto cached = cache.load(*key);
        auto spans = cached ? speechCache.load(*key) : std::nullopt;
        if (cached && spans) {
            const std::size_t bins = cached->size();
            post([this, generation, bins] { audioFound(generation, bins / double(waveform::kBinsPerSecond), bins, true); });
            post([this, generation, peaks = std::move(*cached)]() mutable { addPeaks(generation, 0, std::move(peaks)); });
            const SpeechState found = spans->empty() ? SpeechState::NoSpeech : SpeechState::Found;
            postSpeech(found, std::move(*spans), {});
            post([this, generation] { finish(generation, State::Ready, {}); });
            job->done = true;
            return;
        }
    }

    if (!job->analyse && !job->decode) {
        const QString message = QString::fromStdString("The audio decoder cannot be loaded: " + job->decoderMissing);
        postSpeech(SpeechState::Unavailable, {}, QStringLiteral("无法载入语音检测：%1").arg(message));
        post([this, generation, message] { finish(generation, State::Failed, message); });
        job->done = true;
        return;
    }

    std::vector<Peak> all;  // the whole result, for the cache
    waveform::PeakSink sink;
    sink.started = [&](const waveform::AudioInfo& info) {
        all.assign(info.bins, Peak{});
        post([this, generation, duration = info.duration, bins = info.bins] {
            audioFound(generation, duration, bins, false);
        });
    };
    sink.peaks = [&](std::size_t first, std::span<const Peak> peaks) {
        if (all.size() < first + peaks.size()) all.resize(first + peaks.size());
        std::copy(peaks.begin(), peaks.end(), all.begin() + static_cast<std::ptrdiff_t>(first));
        post([this, generation, first, chunk = std::vector<Peak>(peaks.begin(), peaks.end())]() mutable {
            addPeaks(generation, first, std::move(chunk));
        });
    };
    waveform::DecodeOptions options;
    options.threads = threads_;
    options.cancel = &job->cancel;
    waveform::DecodeResult result;
    if (job->analyse) {
        speech::AudioAnalysis analysis = job->analyse(job->path, sink, options);
        result = std::move(analysis.decode);
        // Decided before the spans are moved into the call.
        const SpeechState found = analysis.spans.empty() ? SpeechState::NoSpeech : SpeechState::Found;
        switch (analysis.status) {
            case speech::SpeechStatus::Found:
            case speech::SpeechStatus::NoSpeech:
                if (key && result.status == waveform::DecodeStatus::Complete)
                    speechCache.store(*key, analysis.spans);
                postSpeech(found, std::move(analysis.spans), {});
                break;
            case speech::SpeechStatus::Partial:
                postSpeech(found, std::move(analysis.spans), QStringLiteral("音频未能全部解码，只检测了能读出的部分"));
                break;
            case speech::SpeechStatus::Cancelled:
                break;
            case speech::SpeechStatus::NoAudio:
            case speech::SpeechStatus::Failed:
                postSpeech(SpeechState::Unavailable, {}, SpeechFailure(analysis.status, analysis.message));
                break;
        }
    } else {
        postSpeech(SpeechState::Unavailable, {},
                   QStringLiteral("无法载入语音检测：%1").arg(QString::fromStdString(job->analysisMissing)));
        result = job->decode(job->path, sink, options);
    }

    switch (result.status) {
        case waveform::DecodeStatus::Complete:
            if (key) cache.store(*key, all);
            post([this, generation] { finish(generation, State::Ready, {}); });
            break;
        case waveform::DecodeStatus::Incomplete:  // shown as it is, decoded again next time
            post([this, generation] { finish(generation, State::Ready, {}); });
            break;
        case waveform::DecodeStatus::Cancelled:
            break;
        case waveform::DecodeStatus::NoAudio:
            post([this, generation] { finish(generation, State::NoAudio, {}); });
            break;
        case waveform::DecodeStatus::Failed:
            post([this, generation, message = QString::fromStdString(result.message)] {
                finish(generation, State::Failed, message);
            });
            break;
    }
    job->done = true;
}

// --- back on the GUI thread

void PeakLoader::audioFound(quint64 generation, double duration, std::size_t bins, bool cached) {
    if (generation != generation_) return;
    duration_ = duration;
    fromCache_ = cached;
    audio_ = true;
    // A cached file's peaks come next, all of them at once, and are moved in whole.
    if (!cached) peaks_.assign(bins, Peak{});
    known_ = 0;
    emit stateChanged();
}

void PeakLoader::addPeaks(quint64 generation, std::size_t first, std::vector<Peak> peaks) {
    if (generation != generation_ || peaks.empty()) return;
    if (first == 0 && peaks_.empty()) {
        peaks_ = std::move(peaks);  // the whole file from the cache: no copy
        known_ = peaks_.size();
        emit peaksArrived(0, static_cast<qsizetype>(peaks_.size()));
        return;
    }
    const std::size_t count = peaks.size();
    if (peaks_.size() < first + count) peaks_.resize(first + count);
    std::copy(peaks.begin(), peaks.end(), peaks_.begin() + static_cast<std::ptrdiff_t>(first));
    known_ += count;
    emit peaksArrived(static_cast<qsizetype>(first), static_cast<qsizetype>(count));
}

void PeakLoader::speechDone(quint64 generation, Speech speech, speech::SpeechSpans spans, QString message) {
    if (generation != generation_) return;
    spans_ = std::move(spans);
    setSpeech(speech, std::move(message));
}

void PeakLoader::finish(quint64 generation, State state, QString message) {
    if (generation != generation_) return;
    state_ = state;
    message_ = std::move(message);
    workers_.reap();
    emit stateChanged();
}

}  // namespace tirelle::app
