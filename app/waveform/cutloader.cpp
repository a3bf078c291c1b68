#include "app/waveform/cutloader.h"

#include <QFile>
#include <QMetaObject>
#include <atomic>
#include <cmath>
#include <thread>

#include "playback/mediamodule.h"
#include "shots/cutcache.h"
#include "shots/detection.h"

namespace tirelle::app {

struct CutLoader::Job : WorkerJob {
    quint64 generation = 0;
    std::string path;
    shots::DetectCutsFunction detect = nullptr;  // nothing: why in `missing`
    std::string missing;
};

namespace {

QString Why(const shots::StoredCuts& result) {
    const QString detail = QString::fromStdString(result.message);
    switch (result.status) {
        case shots::DetectStatus::NoVideo:
            return QStringLiteral("此文件没有视频画面");
        case shots::DetectStatus::StillPicture:
            return QStringLiteral("此文件只有一幅静止画面");
        case shots::DetectStatus::VariableFrameRate:
            return QStringLiteral("视频帧率不固定，无法按帧找镜头");
        case shots::DetectStatus::Damaged:
            return QStringLiteral("视频数据有损坏，找到的镜头不可靠：%1").arg(detail);
        default:
            return QStringLiteral("无法读取视频画面：%1").arg(detail);
    }
}

}  // namespace

CutLoader::CutLoader(std::filesystem::path cacheFolder, int threads, QObject* parent)
    : QObject(parent), cacheFolder_(std::move(cacheFolder)), threads_(threads) {}

CutLoader::~CutLoader() = default;

void CutLoader::clear() {
    workers_.stop();
    workers_.reap();
    ++generation_;
    cuts_ = {};
    message_.clear();
    fromCache_ = false;
    progress_ = 0;
    state_ = State::Idle;
    emit stateChanged();
}

void CutLoader::cancel() {
    if (state_ != State::Detecting) return;
    workers_.stop();
    ++generation_;
    state_ = State::Cancelled;
    emit stateChanged();
}

void CutLoader::load(const QString& path) {
    clear();
    auto job = std::make_shared<Job>();
    job->generation = generation_;
    job->path = QFile::encodeName(path).toStdString();
    // Looked up here: the module's loader wants the GUI thread.
    job->detect = reinterpret_cast<shots::DetectCutsFunction>(
        playback::FindInMediaModule(shots::kDetectCutsSymbol, job->missing));
    state_ = State::Detecting;
    emit stateChanged();
    workers_.start(job, [this](std::shared_ptr<Job> job) { run(std::move(job)); });
}

// --- on the worker thread: only queued calls reach the loader, dropped when stale.

void CutLoader::run(std::shared_ptr<Job> job) {
    const quint64 generation = job->generation;
    auto post = [this, job](auto&& call) {
        if (!job->cancel)
            QMetaObject::invokeMethod(this, std::forward<decltype(call)>(call),
                                      Qt::QueuedConnection);
    };
    auto done = [&](shots::StoredCuts result, bool cached) {
        const bool complete = result.status == shots::DetectStatus::Complete;
        post([this, generation, complete, cached, cuts = std::move(result.cuts),
              message = complete ? QString() : Why(result)]() mutable {
            finish(generation, complete ? State::Ready : State::Unavailable, std::move(cuts),
                   std::move(message), cached);
        });
        job->done = true;
    };
    const shots::CutCache cache(cacheFolder_);
    const auto key = waveform::KeyForFile(job->path);
    if (key && !cacheFolder_.empty())
        if (auto stored = cache.load(*key)) return done(std::move(*stored), true);
    if (!job->detect) {
        post([this, generation, message = QString::fromStdString(job->missing)] {
            finish(generation, State::Unavailable, {},
                   QStringLiteral("无法载入镜头检测：%1").arg(message), false);
        });
        job->done = true;
        return;
    }
    shots::DetectOptions options;
    options.threads = threads_;
    options.cancel = &job->cancel;
    int shown = -1;  // whole percent last sent: the GUI hears of each at most once
    options.progress = [&](double share) {
        const int percent = static_cast<int>(std::floor(share * 100));
        if (percent == shown) return;
        shown = percent;
        post([this, generation, share] { moved(generation, share); });
    };
    const shots::DetectResult result = job->detect(job->path, options);
    if (result.status == shots::DetectStatus::Cancelled) {
        job->done = true;
        return;
    }
    shots::StoredCuts stored{result.status, result.message, result.cuts};
    if (key && !cacheFolder_.empty()) cache.store(*key, stored);
    done(std::move(stored), false);
}

// --- back on the GUI thread

void CutLoader::moved(quint64 generation, double share) {
    if (generation != generation_) return;
    progress_ = share;
    emit progressChanged();
}

void CutLoader::finish(quint64 generation, State state, shots::ShotCuts cuts, QString message,
                       bool cached) {
    if (generation != generation_) return;
    state_ = state;
    cuts_ = std::move(cuts);
    message_ = std::move(message);
    fromCache_ = cached;
    workers_.reap();
    emit stateChanged();
}

}  // namespace tirelle::app
